-- Calendar fields, weekday filter and Now in the real engine. The engine's
-- own calendar is the independent check: every mismatch count must be 0.
set list on;

-- Worked values.
select dp2day(0) as day_0, dp2month(0) as month_0, dp2year(0) as year_0, dp2dow(0) as dow_0,
       dp2day(36526.75) as day_2000, dp2month(36526.75) as month_2000,
       dp2year(36526.75) as year_2000, dp2dow(36526.75) as dow_2000,
       dp2day(2958465) as day_9999, dp2month(2958465) as month_9999,
       dp2year(2958465) as year_9999, dp2dow(2958465) as dow_9999
  from rdb$database;

-- Rounded to the millisecond first: the next day for the calendar, the same
-- day for DP2D. Negative values count toward zero.
select dp2day(0.9999999999) as day_almost_1, dp2dow(0.9999999999) as dow_almost_1,
       dp2d(0.9999999999) as dp2d_almost_1,
       dp2day(-0.75) as day_neg, dp2month(-0.75) as month_neg, dp2year(-0.75) as year_neg,
       dp2dow(-0.75) as dow_neg
  from rdb$database;

-- The first day, and before it.
select dp2year(-693593) as y_first, dp2month(-693593) as m_first, dp2day(-693593) as d_first,
       dp2dow(-693593) as dow_first, dp2year(-693593.5) as y_first_half,
       dp2day(-693593.5) as d_first_half, dp2dow(-693593.5) as dow_first_half,
       dp2year(-693594) as y_before, dp2month(-693594) as m_before, dp2day(-693594) as d_before,
       dp2dow(-693594) as dow_day_count_0, dp2dow(-693599) as dow_day_count_minus_5,
       dp2dow(-693600) as dow_day_count_minus_6
  from rdb$database;

-- Weekday lists: a week from Monday 2024-01-01 against each list.
with recursive week(n) as (select 0 from rdb$database union all select n + 1 from week where n < 6)
select cast(list(dpdow(d2dp(date '2024-01-01') + n, '135'), '') as varchar(7)) as mon_wed_fri,
       cast(list(dpdow(d2dp(date '2024-01-01') + n, '1,2,3,4,5'), '') as varchar(7)) as working_days,
       cast(list(dpdow(d2dp(date '2024-01-01') + n, ''), '') as varchar(7)) as empty_list,
       cast(list(dpdow(d2dp(date '2024-01-01') + n, '0'), '') as varchar(7)) as list_0,
       cast(list(dpdow(d2dp(date '2024-01-01') + n, '00'), '') as varchar(7)) as list_00,
       cast(list(dpdow(d2dp(date '2024-01-01') + n, '01'), '') as varchar(7)) as list_01,
       cast(list(dpdow(d2dp(date '2024-01-01') + n, null), '') as varchar(7)) as null_list
  from (select n from week order by n);

-- Before 0001-01-01 the weekday is written as an unsigned 16-bit number.
select dpdow(-693599, '65531') as dow_65531, dpdow(-693599, '1234567') as dow_not_1_to_7
  from rdb$database;

-- Now is the engine's local timestamp, within a second.
select abs(datediff(millisecond from localtimestamp to now())) < 1000 as now_is_local_timestamp,
       mod(extract(millisecond from now()) * 10, 10) = 0 as now_to_the_millisecond
  from rdb$database;
