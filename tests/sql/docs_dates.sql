-- The examples of docs/dates.md, block by block. A unit test
-- (tests/unit/docs_test.cpp) checks that every SQL block of the guide is here
-- and that the output the guide shows is the output recorded below.
set list on;

select d2dp(date '2000-01-01')                 as date_to_dp,
       t2dp(time '18:00')                      as time_to_dp,
       ts2dp(timestamp '2000-01-01 18:00')     as timestamp_to_dp,
       dp2d(36526.75)                          as dp_to_date,
       dp2t(36526.75)                          as dp_to_time,
       dp2ts(36526.75)                         as dp_to_timestamp
  from rdb$database;

select dp2ts(ts2dp(timestamp '2024-02-28 22:00') + 1.5)           as plus_36_hours,
       dp2ts(ts2dp(timestamp '2024-02-28 22:00') + 90 / 1440e0)    as plus_90_minutes,
       (ts2dp(timestamp '2024-03-01 06:30') - ts2dp(timestamp '2024-02-28 22:00')) * 24
                                                                   as hours_between,
       round((ts2dp(timestamp '2024-03-01 06:30') - ts2dp(timestamp '2024-02-28 22:00')) * 1440)
                                                                   as minutes_between,
       dp2d(ts2dp(timestamp '2024-02-28 22:00') + 7)               as a_week_later,
       d2dp(date '2024-03-01') - d2dp(date '2024-02-01')           as days_in_february
  from rdb$database;

select 90 / 1440    as integer_quotient,
       90 / 1440e0  as day_fraction
  from rdb$database;

create table shifts (started double precision, ended double precision);
insert into shifts values (ts2dp(timestamp '2024-02-28 22:00'), ts2dp(timestamp '2024-02-29 06:00'));
insert into shifts values (ts2dp(timestamp '2024-02-29 06:00'), ts2dp(timestamp '2024-02-29 14:30'));
insert into shifts values (ts2dp(timestamp '2024-02-29 14:30'), ts2dp(timestamp '2024-02-29 22:00'));
commit;

select dp2d(started) as shift_day, count(*) as shifts,
       round(sum(ended - started) * 24, 6) as hours
  from shifts
 where started >= d2dp(date '2024-02-28')
 group by 1 order by 1;

select dp2t(t2dp(time '12:34:56.7891'))                         as time_round_trip,
       dp2ts(ts2dp(timestamp '2258-11-09 23:59:59.9999'))       as last_exact_day,
       dp2ts(ts2dp(timestamp '2559-04-13 08:39:17.1982'))       as one_unit_low,
       dp2d(0.99999999)                                         as day_is_cut_off
  from rdb$database;

select ts2dp(timestamp '1899-12-29 06:00')                     as dp,
       dp2d(-0.75)                                             as day_toward_zero,
       dp2t(-0.75)                                             as time_of_magnitude,
       dp2ts(-0.75)                                            as timestamp_back,
       dp2ts(d2dp(date '1815-06-18'))                          as whole_day,
       dp2d(floor(-0.75)) || ' ' || dp2t(-0.75 - floor(-0.75)) as split_with_floor
  from rdb$database;

select dp2t(0.9999999999)       as time_held,
       dp2ts(0.99999999999999)  as timestamp_held,
       dp2d(0.9999999999)       as date_cut_off,
       dp2day(0.9999999999)     as calendar_day_rounded,
       dp2dow(0.9999999999)     as weekday_rounded
  from rdb$database;

select dp2year(36585) as y, dp2month(36585) as m, dp2day(36585) as d,
       dp2dow(36585) as weekday,
       dp2year(2958465) || '-' || dp2month(2958465) || '-' || dp2day(2958465) as last_day_of_9999,
       dp2day(-0.75) as day_before_epoch
  from rdb$database;

select dp2year(-693593) as year_1, dp2dow(-693593) as weekday_of_year_1,
       dp2year(-693594) as year_0, dp2dow(-693594) as weekday_before,
       dp2year(1e300) as year_far_out, dp2year(20000000) as year_56658
  from rdb$database;

select dpdow(d2dp(date '2024-01-01'), '135')        as monday_in_135,
       dpdow(d2dp(date '2024-01-06'), '135')        as saturday_in_135,
       dpdow(d2dp(date '2024-01-06'), '67')         as saturday_in_67,
       dpdow(d2dp(date '2024-01-05'), '1,2,3,4,5')  as friday_working,
       dpdow(d2dp(date '2024-01-06'), '')           as empty_list,
       dpdow(d2dp(date '2024-01-06'), '0')          as zero_list,
       dpdow(d2dp(date '2024-01-06'), null)         as null_list,
       dpdow(d2dp(date '2024-01-01'), '00')         as double_zero
  from rdb$database;

with recursive week (n) as
  (select 0 from rdb$database union all select n + 1 from week where n < 6)
select dp2d(d2dp(date '2024-01-01') + n) as working_day
  from week
 where dpdow(d2dp(date '2024-01-01') + n, '12345') = 1
 order by 1;

select datediff(millisecond from localtimestamp to now()) < 1000 as is_local_time,
       mod(extract(millisecond from now()) * 10, 10)             as tenth_of_millisecond
  from rdb$database;
