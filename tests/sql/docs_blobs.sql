-- The examples of docs/blobs.md, block by block. A unit test
-- (tests/unit/docs_test.cpp) checks that every SQL block of the guide is here
-- and that the output the guide shows is the output recorded below.
set list on;

select blob2so(cast(x'0500000009000000' || x'050000000A000000' || x'050000000B000000'
                    || x'0400000001000000' || x'05000000FDFFFFFF' as blob), 5, 10)
         as two_of_five,
       blob2so(cast(x'0500000000000000' || x'0500000000' as blob), 5, 1)
         as tail_is_no_record,
       blob2so(cast(x'' as blob), 5, 1)   as empty_blob,
       blob2so(cast(null as blob), 5, 1)  as null_blob
  from rdb$database;

set term ^;
create function blob_record (record_key integer, record_value integer)
  returns varchar(8) character set octets
as
  declare function le4 (n integer) returns varchar(4) character set octets as
  begin
    return ascii_char(bin_and(n, 255)) || ascii_char(bin_and(bin_shr(n, 8), 255))
        || ascii_char(bin_and(bin_shr(n, 16), 255)) || ascii_char(bin_and(bin_shr(n, 24), 255));
  end
begin
  return le4(record_key) || le4(record_value);
end^
set term ;^

select blob_record(5, -3) as record from rdb$database;

create table stock (item integer, movements blob sub_type binary);
insert into stock values (1, cast(x'' as blob));
update stock set movements = movements || blob_record(5, 9) where item = 1;
update stock set movements = movements || blob_record(5, -3) where item = 1;
update stock set movements = movements || blob_record(4, 1) where item = 1;
create table movements (item integer, warehouse integer, quantity integer);
insert into movements values (2, 5, 12);
insert into movements values (2, 5, 3);
insert into movements values (2, 7, 1);
insert into stock select item, list(blob_record(warehouse, quantity), '') from movements group by item;
commit;

select item, octet_length(movements) as bytes, blob2so(movements, 5, 10) as below_10_in_5
  from stock order by item;

with recursive sixteen (n) as
  (select 0 from rdb$database union all select n + 1 from sixteen where n < 15),
full_blob (b) as
  (select list(blob_record(5, 1), '') from sixteen a, sixteen b, sixteen c, sixteen d)
select octet_length(b)                         as bytes,
       blob2so(b, 5, 2)                        as all_records,
       blob2so(b || blob_record(5, 0), 5, 1)   as record_65537_ignored
  from full_blob;

select blob2i(cast(x'01000080' as blob))          as min_plus_one,
       blob2i(cast(x'2A000000FFFFFFFF' as blob))  as first_of_two,
       blob2i(cast(x'FFEE' as blob))              as two_bytes,
       blob2i(cast(x'' as blob))                  as empty_blob,
       blob2i(cast(null as blob))                 as null_blob
  from rdb$database;
