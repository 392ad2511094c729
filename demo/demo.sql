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

-- Wildcard matching: a mask covers the whole text.
select match('INV-2024-000123', 'INV-####*')         as "INV-####*",
       match('xxabcxx', '*abc*')                     as "*abc*",
       match('ORD-2024-x', '{INV;ORD}-[4:09]-*')     as "{INV;ORD}-[4:09]-*",
       match('ABC', 'abc')                           as "case-sensitive",
       match(null, '*')                              as "NULL reads as empty"
  from rdb$database;

-- Text and scalar functions.

-- BLOB readers.
