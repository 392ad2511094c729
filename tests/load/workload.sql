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
       sum(datediff(day from date '1800-01-01' to dp2d(dp))) as dp2d_days,
       sum(datediff(day from date '1800-01-01' to iif_d(mod(n, 3) - 1, dt, dp2d(dp)))) as chosen_dates,
       sum(datediff(millisecond from time '00:00' to iif_t(mod(n, 5) - 2, tm, dp2t(dp)))) as chosen_times,
       sum(datediff(millisecond from timestamp '1800-01-01 00:00' to iif_ts(mod(n, 2), ts, dp2ts(dp))))
         as chosen_timestamps
  from inputs;

-- The calendar fields, the weekday filter, the mask engine, lower-casing,
-- choice, division, the clock and the BLOB readers.
with recursive digits(n) as (select 0 from rdb$database union all select n + 1 from digits where n < 9),
  nums(n) as (select a.n + 10 * b.n + 100 * c.n + 1000 * d.n
                from digits a cross join digits b cross join digits c cross join digits d),
  inputs(n, dp, code, word) as (
    select n, (mod(n * 2654435761, 4294967291) - 1500000000) / 1024e0,
           trim(trailing from 'INV-' || (2000 + mod(n, 30)) || '-' || lpad(mod(n * 7919, 1000000), 6, '0')
                              || iif(mod(n, 7) = 0, 'x', ' ')),
           cast(iif(mod(n, 3) = 0, x'C1C8CCD8D9', 'MiXeD') || n as varchar(40))
      from nums)
select count(*) as rows_,
       sum(dp2year(dp)) as years, sum(dp2month(dp)) as months, sum(dp2day(dp)) as days,
       sum(dp2dow(dp)) as weekdays, sum(dpdow(dp, '135')) as mon_wed_fri,
       sum(match(code, 'INV-####-[6:09]')) as plain_codes,
       sum(match(code, '{INV;ORD}-20[2:09]-*{x;0}')) as grouped_codes,
       sum(match(code, '*2*0*2*1*x')) as runs,
       list(distinct alc(word)) is not null as lowered,
       sum(char_length(alc(word))) as lowered_length,
       sum(iif_i(mod(n, 3) - 1, n, -n)) as chosen_ints,
       sum(iif_dp(mod(n, 2), dp, -dp)) as chosen_doubles,
       sum(char_length(iif_s(mod(n, 5) - 2, code, word))) as chosen_strings,
       sum(divdp(dp, mod(n, 13) - 6)) as quotients,
       count(now()) as clock_reads,
       sum(blob2i(cast(code as blob))) as blob_ints,
       sum(blob2so(cast(x'050000000900000005000000F0FFFFFF04000000' || code as blob), 5, mod(n, 20))) as blob_counts
  from inputs;
