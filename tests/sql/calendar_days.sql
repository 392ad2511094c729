-- The calendar functions against the engine's own calendar on every day
-- from 0001-01-01 to 9999-12-31 (3652059 days, about 18 million calls: the
-- slowest SQL test), in one pass: FIRST_FAILING_DAY is the first day on which
-- one of them disagrees, NULL when none does.
set list on;

-- Every day from 0001-01-01 to 9999-12-31: year, month and day agree with
-- EXTRACT, and the weekday with EXTRACT(WEEKDAY), where 0 is Sunday.
with recursive digits(n) as (select 0 from rdb$database union all select n + 1 from digits where n < 9),
  nums(n) as (select a.n + 10 * b.n + 100 * c.n + 1000 * d.n + 10000 * e.n + 100000 * f.n + 1000000 * g.n
                from digits a cross join digits b cross join digits c cross join digits d
                     cross join digits e cross join digits f cross join digits g
               where g.n <= 3),
  days(dt, dp) as (select dateadd(n day to date '0001-01-01'), n - 693593e0 from nums where n < 3652059)
select count(*) as days, min(dt) as first_day, max(dt) as last_day,
       min(iif(d2dp(dt) = dp and dp2year(dp) = extract(year from dt) and dp2month(dp) = extract(month from dt)
               and dp2day(dp) = extract(day from dt) and mod(dp2dow(dp), 7) = extract(weekday from dt),
               null, dt)) as first_failing_day
  from days;
