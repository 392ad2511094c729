-- Per-row cost of a function through the UDR module and through the legacy
-- module, side by side in one engine and one database:
--   scripts/fbrun.sh --udr bench/udr_vs_legacy.sql        (i386 engine)
--   scripts/fbrun.sh --udr --build build/x86_64 bench/udr_vs_legacy.sql
-- Each query sums a function over 200,000 rows; the cost per row is its time
-- less that of the same query summing the bare column, in microseconds, the
-- best of three runs. RATIO is UDR over legacy.
set list off;
set width fn 10;

create table n (i integer not null);
commit;
set term ^;
execute block as
declare i integer = 0;
begin
  while (i < 200000) do begin insert into n values (:i); i = i + 1; end
end^

create procedure per_row_cost (fn varchar(10), udr smallint) returns (us double precision) as
declare run integer = 0;
declare t0 timestamp;
declare x double precision;
declare best integer = 2147483647;
declare base integer = 2147483647;
declare took integer;
begin
  while (run < 3) do begin
    t0 = cast('now' as timestamp);
    select sum(i) from n into :x;
    took = datediff(millisecond from t0 to cast('now' as timestamp));
    if (took < base) then base = took;
    t0 = cast('now' as timestamp);
    if (fn = 'IIF_I' and udr = 1) then select sum(iif_i(1, i, 0)) from n into :x;
    if (fn = 'IIF_I' and udr = 0) then select sum(legacy_iif_i(1, i, 0)) from n into :x;
    if (fn = 'DIVDP' and udr = 1) then select sum(divdp(i, 3)) from n into :x;
    if (fn = 'DIVDP' and udr = 0) then select sum(legacy_divdp(i, 3)) from n into :x;
    if (fn = 'DP2YEAR' and udr = 1) then select sum(dp2year(i)) from n into :x;
    if (fn = 'DP2YEAR' and udr = 0) then select sum(legacy_dp2year(i)) from n into :x;
    if (fn = 'D2DP' and udr = 1) then select sum(d2dp(date '2000-01-01')) from n into :x;
    if (fn = 'D2DP' and udr = 0) then select sum(legacy_d2dp(date '2000-01-01')) from n into :x;
    if (fn = 'MATCH' and udr = 1) then select sum(match('abcdef', 'a*f')) from n into :x;
    if (fn = 'MATCH' and udr = 0) then select sum(legacy_match('abcdef', 'a*f')) from n into :x;
    if (fn = 'ALC' and udr = 1) then select sum(char_length(alc('ABCDEF'))) from n into :x;
    if (fn = 'ALC' and udr = 0) then select sum(char_length(legacy_alc('ABCDEF'))) from n into :x;
    took = datediff(millisecond from t0 to cast('now' as timestamp));
    if (took < best) then best = took;
    run = run + 1;
  end
  us = (best - base) * 1000.0e0 / 200000;
  suspend;
end^
set term ;^
commit;

select cast('IIF_I' as varchar(10)) as fn, cast(l.us as numeric(6, 2)) as legacy_us,
       cast(u.us as numeric(6, 2)) as udr_us, cast(u.us / nullif(l.us, 0) as numeric(6, 2)) as ratio
  from per_row_cost('IIF_I', 0) l cross join per_row_cost('IIF_I', 1) u
union all
select cast('DIVDP' as varchar(10)) as fn, cast(l.us as numeric(6, 2)) as legacy_us,
       cast(u.us as numeric(6, 2)) as udr_us, cast(u.us / nullif(l.us, 0) as numeric(6, 2)) as ratio
  from per_row_cost('DIVDP', 0) l cross join per_row_cost('DIVDP', 1) u
union all
select cast('DP2YEAR' as varchar(10)) as fn, cast(l.us as numeric(6, 2)) as legacy_us,
       cast(u.us as numeric(6, 2)) as udr_us, cast(u.us / nullif(l.us, 0) as numeric(6, 2)) as ratio
  from per_row_cost('DP2YEAR', 0) l cross join per_row_cost('DP2YEAR', 1) u
union all
select cast('D2DP' as varchar(10)) as fn, cast(l.us as numeric(6, 2)) as legacy_us,
       cast(u.us as numeric(6, 2)) as udr_us, cast(u.us / nullif(l.us, 0) as numeric(6, 2)) as ratio
  from per_row_cost('D2DP', 0) l cross join per_row_cost('D2DP', 1) u
union all
select cast('MATCH' as varchar(10)) as fn, cast(l.us as numeric(6, 2)) as legacy_us,
       cast(u.us as numeric(6, 2)) as udr_us, cast(u.us / nullif(l.us, 0) as numeric(6, 2)) as ratio
  from per_row_cost('MATCH', 0) l cross join per_row_cost('MATCH', 1) u
union all
select cast('ALC' as varchar(10)) as fn, cast(l.us as numeric(6, 2)) as legacy_us,
       cast(u.us as numeric(6, 2)) as udr_us, cast(u.us / nullif(l.us, 0) as numeric(6, 2)) as ratio
  from per_row_cost('ALC', 0) l cross join per_row_cost('ALC', 1) u;
