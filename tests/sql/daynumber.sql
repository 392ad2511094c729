-- Day-number conversions in the real engine. The engine's own date
-- arithmetic is the independent check. A set of cases is grouped by the
-- functions that fail: one group, FAILING empty, holds every case.
set list on;

-- Worked values.
select d2dp(date '2000-01-01') as d2dp_2000, d2dp(date '1858-11-17') as d2dp_day0,
       t2dp(time '12:00') as t2dp_noon, ts2dp(timestamp '2000-01-01 18:00') as ts2dp,
       dp2d(36526.75) as dp2d, dp2t(36526.75) as dp2t, dp2ts(36526.75) as dp2ts,
       dp2d(0.99999999) as dp2d_cut, dp2d(1.0) as dp2d_one
  from rdb$database;

-- Before 1899-12-30: the day is the integer part toward zero, the time that
-- of the fraction's magnitude.
select ts2dp(timestamp '1899-12-29 06:00') as ts2dp_before, dp2d(-0.75) as dp2d_neg,
       dp2t(-0.75) as dp2t_neg, dp2ts(-0.75) as dp2ts_neg from rdb$database;

-- Near midnight: held at the last time of the same day.
select dp2t(0.9999999999) as t1, dp2t(0.99999999999) as t2, dp2ts(36526.99999999999) as ts
  from rdb$database;

-- 100,000 dates from 0001-01-01 to 9999-12-31: D2DP is the engine's
-- difference of dates, and DP2D undoes it.
with recursive digits(n) as (select 0 from rdb$database union all select n + 1 from digits where n < 9),
  nums(n) as (select a.n + 10 * b.n + 100 * c.n + 1000 * d.n + 10000 * e.n
                from digits a cross join digits b cross join digits c cross join digits d cross join digits e),
  dates(dt) as (select dateadd(n * 36 + mod(n, 37) day to date '0001-01-01') from nums)
select iif(d2dp(dt) = dt - date '1899-12-30', '', 'D2DP ') || iif(dp2d(d2dp(dt)) = dt, '', 'DP2D') as failing,
       count(*) as dates, min(dt) as first_date, max(dt) as last_date
  from dates group by 1 order by 1;

-- 100,000 timestamps between DP days 0 and 131071 with varied times:
-- TS2DP agrees with the engine's own difference of timestamps, and DP2TS
-- gives the timestamp back exactly.
with recursive digits(n) as (select 0 from rdb$database union all select n + 1 from digits where n < 9),
  nums(n) as (select a.n + 10 * b.n + 100 * c.n + 1000 * d.n + 10000 * e.n
                from digits a cross join digits b cross join digits c cross join digits d cross join digits e),
  stamps(ts) as (select dateadd(mod(n * 7919, 86400000) millisecond to
                        cast(dateadd(mod(n * 104729, 131072) day to date '1899-12-30') as timestamp))
                   from nums)
select iif(abs(ts2dp(ts) - (ts - timestamp '1899-12-30 00:00')) < 1e-9, '', 'TS2DP ')
       || iif(dp2ts(ts2dp(ts)) = ts, '', 'DP2TS ') || iif(dp2d(ts2dp(ts)) = cast(ts as date), '', 'DP2D ')
       || iif(dp2t(ts2dp(ts)) = cast(ts as time), '', 'DP2T') as failing,
       count(*) as timestamps, min(ts) as first_timestamp
  from stamps group by 1 order by 1;

-- Every time of day to the millisecond goes through T2DP and back.
with recursive digits(n) as (select 0 from rdb$database union all select n + 1 from digits where n < 9),
  nums(n) as (select a.n + 10 * b.n + 100 * c.n + 1000 * d.n + 10000 * e.n
                from digits a cross join digits b cross join digits c cross join digits d cross join digits e),
  times(t) as (select dateadd(n * 863 millisecond to time '00:00') from nums)
select iif(dp2t(t2dp(t)) = t, '', 'DP2T ')
       || iif(abs(t2dp(t) - datediff(millisecond from time '00:00' to t) / 86400000e0) < 1e-15, '', 'T2DP') as failing,
       count(*) as times, min(t) as first_time
  from times group by 1 order by 1;

-- The server reads DP2TS's result from the argument it passed.
select dp2ts(d2dp(date '2024-02-29') + 0.5) as leap_noon from rdb$database;
