-- UDR calls against their floors, their legacy counterparts and the
-- declared length of their texts, side by side in one engine and database:
--   scripts/fbrun.sh --udr --build build/x86_64 bench/udr_lengths.sql
--   scripts/fbrun.sh --udr --engine fb4 --build build/x86_64 bench/udr_lengths.sql
--   scripts/fbrun.sh --udr bench/udr_lengths.sql             (i386 engine)
-- (the build made with -DVANTOR_BENCH=ON, for libvantor_floor_udr.so).
-- Each query counts 100,000 rows of a table whose CODE is 15 to 20 bytes;
-- each query runs three times with isql's statistics on; the cost per row
-- is the median CPU time of a query less that of the bare count. A FLOOR_ function is the do-nothing
-- UDR routine declared with the same shape as the function beside it.
set list off;
set width query 48;

create function match_255 (t varchar(255) character set none, mask varchar(255) character set none)
  returns smallint external name 'vantor_udr!Match' engine udr;
create function match_20 (t varchar(20) character set none, mask varchar(20) character set none)
  returns smallint external name 'vantor_udr!Match' engine udr;
create function match_32765 (t varchar(32765) character set none, mask varchar(32765) character set none)
  returns smallint external name 'vantor_udr!Match' engine udr;
create function match_1024 (t varchar(1024) character set none, mask varchar(1024) character set none)
  returns smallint external name 'vantor_udr!Match' engine udr;
create function match_8191 (t varchar(8191) character set none, mask varchar(8191) character set none)
  returns smallint external name 'vantor_udr!Match' engine udr;
create function floor_match_1024 (t varchar(1024) character set none, mask varchar(1024) character set none)
  returns smallint external name 'vantor_floor_udr!Floor' engine udr;
create function floor_match_8191 (t varchar(8191) character set none, mask varchar(8191) character set none)
  returns smallint external name 'vantor_floor_udr!Floor' engine udr;
create function floor_match_20 (t varchar(20) character set none, mask varchar(20) character set none)
  returns smallint external name 'vantor_floor_udr!Floor' engine udr;
create function floor_match_255 (t varchar(255) character set none, mask varchar(255) character set none)
  returns smallint external name 'vantor_floor_udr!Floor' engine udr;
create function floor_match_32765 (t varchar(32765) character set none, mask varchar(32765) character set none)
  returns smallint external name 'vantor_floor_udr!Floor' engine udr;
create function alc_255 (t varchar(255) character set win1250)
  returns varchar(255) character set win1250 external name 'vantor_udr!ALC' engine udr;
create function alc_32765 (t varchar(32765) character set win1250)
  returns varchar(32765) character set win1250 external name 'vantor_udr!ALC' engine udr;
create function floor_alc_255 (t varchar(255) character set win1250)
  returns varchar(255) character set win1250 external name 'vantor_floor_udr!Floor' engine udr;
create function floor_alc_32765 (t varchar(32765) character set win1250)
  returns varchar(32765) character set win1250 external name 'vantor_floor_udr!Floor' engine udr;
create function floor_d2dp (d date) returns double precision external name 'vantor_floor_udr!Floor' engine udr;
create function floor_dp2si (dp double precision) returns smallint external name 'vantor_floor_udr!Floor' engine udr;
create function floor_iif_i (c smallint, a integer, b integer) returns integer
  external name 'vantor_floor_udr!Floor' engine udr;
create function floor_div (a double precision, b double precision) returns double precision
  external name 'vantor_floor_udr!Floor' engine udr;
commit;

create table t (i integer not null, code varchar(20), d date, dp double precision, x double precision);
commit;
set term ^;
execute block as
declare i integer = 0;
begin
  while (i < 100000) do begin
    insert into t values (:i, decode(mod(:i, 5), 0, 'ORD', 1, 'CRN', 'INV') || '-' || (2015 + mod(:i, 12)) || '-'
                          || lpad(mod(:i * 7907, 1000000), mod(:i, 6) + 1, '0'),
                          dateadd(mod(:i * 7919, 73049) day to date '1900-01-01'), 2 + mod(:i * 7919, 73049),
                          1 + mod(:i * 16807, 1000) / 10e0);
    i = i + 1;
  end
end^

set term ;^
commit;
set list on;
select count(*) as warm from t;
set stats on;
select count(*) from t;
select count(*) from t where legacy_match(code, 'INV-####*') = 1;
select count(*) from t where floor_match_20(code, 'INV-####*') = 1;
select count(*) from t where match_20(code, 'INV-####*') = 1;
select count(*) from t where floor_match_255(code, 'INV-####*') = 1;
select count(*) from t where match_255(code, 'INV-####*') = 1;
select count(*) from t where floor_match_1024(code, 'INV-####*') = 1;
select count(*) from t where match_1024(code, 'INV-####*') = 1;
select count(*) from t where floor_match_8191(code, 'INV-####*') = 1;
select count(*) from t where match_8191(code, 'INV-####*') = 1;
select count(*) from t where floor_match_32765(code, 'INV-####*') = 1;
select count(*) from t where match_32765(code, 'INV-####*') = 1;
select count(*) from t where code like 'INV-____%';
select count(*) from t where legacy_alc(code) = 'x';
select count(*) from t where floor_alc_255(code) = 'x';
select count(*) from t where alc_255(code) = 'x';
select count(*) from t where floor_alc_32765(code) = 'x';
select count(*) from t where alc_32765(code) = 'x';
select count(*) from t where lower(code) = 'x';
select count(*) from t where legacy_d2dp(d) = -1;
select count(*) from t where floor_d2dp(d) = -1;
select count(*) from t where d2dp(d) = -1;
select count(*) from t where legacy_dp2year(dp) = 2000;
select count(*) from t where floor_dp2si(dp) = 2000;
select count(*) from t where dp2year(dp) = 2000;
select count(*) from t where legacy_iif_i(1, i, 0) = -1;
select count(*) from t where floor_iif_i(1, i, 0) = -1;
select count(*) from t where iif_i(1, i, 0) = -1;
select count(*) from t where legacy_divdp(dp, x) = -1;
select count(*) from t where floor_div(dp, x) = -1;
select count(*) from t where divdp(dp, x) = -1;
select count(*) from t;
select count(*) from t where legacy_match(code, 'INV-####*') = 1;
select count(*) from t where floor_match_20(code, 'INV-####*') = 1;
select count(*) from t where match_20(code, 'INV-####*') = 1;
select count(*) from t where floor_match_255(code, 'INV-####*') = 1;
select count(*) from t where match_255(code, 'INV-####*') = 1;
select count(*) from t where floor_match_1024(code, 'INV-####*') = 1;
select count(*) from t where match_1024(code, 'INV-####*') = 1;
select count(*) from t where floor_match_8191(code, 'INV-####*') = 1;
select count(*) from t where match_8191(code, 'INV-####*') = 1;
select count(*) from t where floor_match_32765(code, 'INV-####*') = 1;
select count(*) from t where match_32765(code, 'INV-####*') = 1;
select count(*) from t where code like 'INV-____%';
select count(*) from t where legacy_alc(code) = 'x';
select count(*) from t where floor_alc_255(code) = 'x';
select count(*) from t where alc_255(code) = 'x';
select count(*) from t where floor_alc_32765(code) = 'x';
select count(*) from t where alc_32765(code) = 'x';
select count(*) from t where lower(code) = 'x';
select count(*) from t where legacy_d2dp(d) = -1;
select count(*) from t where floor_d2dp(d) = -1;
select count(*) from t where d2dp(d) = -1;
select count(*) from t where legacy_dp2year(dp) = 2000;
select count(*) from t where floor_dp2si(dp) = 2000;
select count(*) from t where dp2year(dp) = 2000;
select count(*) from t where legacy_iif_i(1, i, 0) = -1;
select count(*) from t where floor_iif_i(1, i, 0) = -1;
select count(*) from t where iif_i(1, i, 0) = -1;
select count(*) from t where legacy_divdp(dp, x) = -1;
select count(*) from t where floor_div(dp, x) = -1;
select count(*) from t where divdp(dp, x) = -1;
select count(*) from t;
select count(*) from t where legacy_match(code, 'INV-####*') = 1;
select count(*) from t where floor_match_20(code, 'INV-####*') = 1;
select count(*) from t where match_20(code, 'INV-####*') = 1;
select count(*) from t where floor_match_255(code, 'INV-####*') = 1;
select count(*) from t where match_255(code, 'INV-####*') = 1;
select count(*) from t where floor_match_1024(code, 'INV-####*') = 1;
select count(*) from t where match_1024(code, 'INV-####*') = 1;
select count(*) from t where floor_match_8191(code, 'INV-####*') = 1;
select count(*) from t where match_8191(code, 'INV-####*') = 1;
select count(*) from t where floor_match_32765(code, 'INV-####*') = 1;
select count(*) from t where match_32765(code, 'INV-####*') = 1;
select count(*) from t where code like 'INV-____%';
select count(*) from t where legacy_alc(code) = 'x';
select count(*) from t where floor_alc_255(code) = 'x';
select count(*) from t where alc_255(code) = 'x';
select count(*) from t where floor_alc_32765(code) = 'x';
select count(*) from t where alc_32765(code) = 'x';
select count(*) from t where lower(code) = 'x';
select count(*) from t where legacy_d2dp(d) = -1;
select count(*) from t where floor_d2dp(d) = -1;
select count(*) from t where d2dp(d) = -1;
select count(*) from t where legacy_dp2year(dp) = 2000;
select count(*) from t where floor_dp2si(dp) = 2000;
select count(*) from t where dp2year(dp) = 2000;
select count(*) from t where legacy_iif_i(1, i, 0) = -1;
select count(*) from t where floor_iif_i(1, i, 0) = -1;
select count(*) from t where iif_i(1, i, 0) = -1;
select count(*) from t where legacy_divdp(dp, x) = -1;
select count(*) from t where floor_div(dp, x) = -1;
select count(*) from t where divdp(dp, x) = -1;
