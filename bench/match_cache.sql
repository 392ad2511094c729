-- What the UDR Match gains by keeping the last compiled mask: per-row cost
-- of a mask with groups and sets (which must be compiled) through the UDR
-- module with the same mask on every row (compiled once, kept) and with two
-- masks of identical meaning taking turns (compiled on every row), beside
-- the legacy module, which compiles on every row either way, so that its
-- two figures give the cost of the alternation itself:
--   scripts/fbrun.sh --udr --build build/x86_64 bench/match_cache.sql
--   scripts/fbrun.sh --udr --engine fb4 --build build/x86_64 bench/match_cache.sql
-- Each query sums Match over 200,000 codes; the cost per row is its time
-- less that of summing the bare column, in microseconds, the best of three.
set list off;
set width fn 26;

create table t (i integer not null, code varchar(20));
commit;
set term ^;
execute block as
declare i integer = 0;
begin
  while (i < 200000) do begin
    insert into t values (:i, decode(mod(:i, 5), 0, 'ORD', 1, 'CRN', 'INV') || '-' || (2015 + mod(:i, 12)) || '-'
                              || lpad(mod(:i * 7907, 1000000), 6, '0'));
    i = i + 1;
  end
end^

create procedure per_row_cost (fn varchar(26)) returns (us double precision, matched integer) as
declare run integer = 0;
declare t0 timestamp;
declare x double precision;
declare best integer = 2147483647;
declare base integer = 2147483647;
declare took integer;
begin
  while (run < 3) do begin
    t0 = cast('now' as timestamp);
    select sum(i) from t into :x;
    took = datediff(millisecond from t0 to cast('now' as timestamp));
    if (took < base) then base = took;
    t0 = cast('now' as timestamp);
    if (fn = 'UDR, one mask') then
      select sum(match(code, '{INV;ORD}-[4:09]-*')) from t into :matched;
    if (fn = 'UDR, two masks in turn') then
      select sum(match(code, iif(bin_and(i, 1) = 0, cast('{INV;ORD}-[4:09]-*' as varchar(20)), cast('{INV;ORD}-[4:09]-**' as varchar(20))))) from t
        into :matched;
    if (fn = 'legacy, one mask') then
      select sum(legacy_match(code, '{INV;ORD}-[4:09]-*')) from t into :matched;
    if (fn = 'legacy, two masks in turn') then
      select sum(legacy_match(code, iif(bin_and(i, 1) = 0, cast('{INV;ORD}-[4:09]-*' as varchar(20)), cast('{INV;ORD}-[4:09]-**' as varchar(20))))) from t
        into :matched;
    took = datediff(millisecond from t0 to cast('now' as timestamp));
    if (took < best) then best = took;
    run = run + 1;
  end
  us = (best - base) * 1000.0e0 / 200000;
  suspend;
end^
set term ;^
commit;

select cast('UDR, one mask' as varchar(26)) as fn, cast(us as numeric(6, 2)) as us_per_row, matched
  from per_row_cost('UDR, one mask')
union all
select 'UDR, two masks in turn', cast(us as numeric(6, 2)), matched from per_row_cost('UDR, two masks in turn')
union all
select 'legacy, one mask', cast(us as numeric(6, 2)), matched from per_row_cost('legacy, one mask')
union all
select 'legacy, two masks in turn', cast(us as numeric(6, 2)), matched from per_row_cost('legacy, two masks in turn');
