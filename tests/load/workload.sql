-- One round of the concurrent load: every function over 20,000 rows of
-- fixed pseudo-random inputs, summarised so that any wrong bit in any row
-- changes the output.
set list on;
with recursive digits(n) as (select 0 from rdb$database union all select n + 1 from digits where n < 9),
  nums(n) as (select a.n + 10 * b.n + 100 * c.n + 1000 * d.n + 10000 * mod(e.n, 2)
                from digits a cross join digits b cross join digits c cross join digits d cross join digits e
               where e.n < 2),
  inputs(n, dt, tm, ts, dp) as (
    select n,
           dateadd(mod(n * 7919, 3000000) - 600000 day to date '1899-12-30'),
           dateadd(mod(n * 104729, 86400000) millisecond to time '00:00'),
           dateadd(mod(n * 15485863, 86400000) millisecond to
                   cast(dateadd(mod(n * 48611, 200000) day to date '1800-01-01') as timestamp)),
           (mod(n * 2654435761, 4294967291) - 2147483645) / 1024e0
      from nums)
select count(*) as rows_,
       sum(d2dp(dt)) as d2dp_sum,
       sum(iif(dp2d(d2dp(dt)) = dt, 0, 1)) as dp2d_bad,
       sum(t2dp(tm)) as t2dp_sum,
       sum(iif(dp2t(t2dp(tm)) = tm, 0, 1)) as dp2t_bad,
       sum(ts2dp(ts)) as ts2dp_sum,
       sum(datediff(millisecond from timestamp '1800-01-01 00:00' to dp2ts(dp))) as dp2ts_sum,
       sum(datediff(day from date '1800-01-01' to dp2d(dp))) as dp2d_days
  from inputs;
