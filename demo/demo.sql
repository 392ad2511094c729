-- vantor in a real engine: every function with its output.
set list on;

-- Dates, times and timestamps as DP day numbers (days since 1899-12-30),
-- on which SQL does plain arithmetic, and back.
select d2dp(date '2000-01-01')                  as "D2DP(2000-01-01)",
       dp2d(36526.75)                           as "DP2D(36526.75)",
       t2dp(time '18:00')                       as "T2DP(18:00)",
       dp2t(36526.75)                           as "DP2T(36526.75)",
       ts2dp(timestamp '2000-01-01 18:00')      as "TS2DP(2000-01-01 18:00)",
       dp2ts(ts2dp(timestamp '2000-01-01 18:00') + 1.5)
                                                as "DP2TS(... + 1.5 days)"
  from rdb$database;

-- Calendar fields, weekday filter, current timestamp.
select dp2year(36526.75)                       as "DP2Year(36526.75)",
       dp2month(36526.75)                      as "DP2Month(36526.75)",
       dp2day(36526.75)                        as "DP2Day(36526.75)",
       dp2dow(d2dp(date '2024-02-29'))         as "DP2DOW(2024-02-29)",
       dpdow(d2dp(date '2024-01-01'), '135')   as "DPDOW(a Monday, '135')",
       dpdow(d2dp(date '2024-01-06'), '135')   as "DPDOW(a Saturday, '135')",
       abs(datediff(millisecond from localtimestamp to now())) < 1000
                                               as "Now() is LOCALTIMESTAMP"
  from rdb$database;

-- Wildcard matching.

-- Text and scalar functions.

-- BLOB readers.
