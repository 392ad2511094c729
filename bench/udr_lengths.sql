-- UDR calls against their floors, their legacy counterparts and the
-- declared length of their texts, side by side in one engine and database:
--   scripts/fbrun.sh --udr --build build/x86_64 bench/udr_lengths.sql
--   scripts/fbrun.sh --udr --engine fb4 --build build/x86_64 bench/udr_lengths.sql
--   scripts/fbrun.sh --udr bench/udr_lengths.sql             (i386 engine)
-- (the build made with -DVANTOR_BENCH=ON, for libvantor_floor_udr.so).
-- Each query counts 100,000 rows of a table whose CODE is 15 to 20 bytes;
-- the cost per row is its time less that of the bare count, in
-- microseconds, the best of five runs. A FLOOR_ function is the do-nothing
-- UDR routine declared with the same shape as the function beside it.
set list off;
set width query 48;

create function match_255 (t varchar(255) character set none, mask varchar(255) character set none)
  returns smallint external name 'vantor_udr!Match' engine udr;
create function match_20 (t varchar(20) character set none, mask varchar(20) character set none)
  returns smallint external name 'vantor_udr!Match' engine udr;
create function match_32765 (t varchar(32765) character set none, mask varchar(32765) character set none)
  returns smallint external name 'vantor_udr!Match' engine udr;
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

create procedure per_row_cost (query varchar(300)) returns (us double precision) as
declare run integer = 0;
declare t0 timestamp;
declare n bigint;
declare best integer = 2147483647;
declare base integer = 2147483647;
declare took integer;
begin
  while (run < 5) do begin
    t0 = cast('now' as timestamp);
    select count(*) from t into :n;
    took = datediff(millisecond from t0 to cast('now' as timestamp));
    if (took < base) then base = took;
    t0 = cast('now' as timestamp);
    execute statement 'select count(*) from t where ' || query into :n;
    took = datediff(millisecond from t0 to cast('now' as timestamp));
    if (took < best) then best = took;
    run = run + 1;
  end
  us = (best - base) * 1000.0e0 / 100000;
  suspend;
end^
set term ;^
commit;

select cast(q.query as varchar(48)) as query, cast(c.us as numeric(6, 2)) as us_per_row
  from (select 1 k, 'legacy_match(code, ''INV-####*'') = 1' query from rdb$database
        union all select 2, 'floor_match_20(code, ''INV-####*'') = 1' from rdb$database
        union all select 3, 'match_20(code, ''INV-####*'') = 1' from rdb$database
        union all select 4, 'floor_match_255(code, ''INV-####*'') = 1' from rdb$database
        union all select 5, 'match_255(code, ''INV-####*'') = 1' from rdb$database
        union all select 6, 'floor_match_32765(code, ''INV-####*'') = 1' from rdb$database
        union all select 7, 'match_32765(code, ''INV-####*'') = 1' from rdb$database
        union all select 8, 'match(code, ''INV-####*'') = 1' from rdb$database
        union all select 9, 'code like ''INV-____%''' from rdb$database
        union all select 10, 'legacy_alc(code) = ''x''' from rdb$database
        union all select 11, 'floor_alc_255(code) = ''x''' from rdb$database
        union all select 12, 'alc_255(code) = ''x''' from rdb$database
        union all select 13, 'floor_alc_32765(code) = ''x''' from rdb$database
        union all select 14, 'alc_32765(code) = ''x''' from rdb$database
        union all select 15, 'alc(code) = ''x''' from rdb$database
        union all select 16, 'lower(code) = ''x''' from rdb$database
        union all select 17, 'legacy_d2dp(d) = -1' from rdb$database
        union all select 18, 'floor_d2dp(d) = -1' from rdb$database
        union all select 19, 'd2dp(d) = -1' from rdb$database
        union all select 20, 'legacy_dp2year(dp) = 2000' from rdb$database
        union all select 21, 'floor_dp2si(dp) = 2000' from rdb$database
        union all select 22, 'dp2year(dp) = 2000' from rdb$database
        union all select 23, 'legacy_iif_i(1, i, 0) = -1' from rdb$database
        union all select 24, 'floor_iif_i(1, i, 0) = -1' from rdb$database
        union all select 25, 'iif_i(1, i, 0) = -1' from rdb$database
        union all select 26, 'legacy_divdp(dp, x) = -1' from rdb$database
        union all select 27, 'floor_div(dp, x) = -1' from rdb$database
        union all select 28, 'divdp(dp, x) = -1' from rdb$database) q
  cross join lateral (select us from per_row_cost(q.query)) c
 order by q.k;
