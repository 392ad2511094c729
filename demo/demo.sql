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

-- Wildcard matching.

-- Text and scalar functions.

-- BLOB readers. The records (5, 9), (5, 10), (5, 11), (4, 1), (5, -3) as
-- 8-byte little-endian (key, value) pairs: two have the key 5 and a value
-- below 10.
select blob2i(cast(x'01000080' as blob))    as "BLOB2I(01 00 00 80)",
       blob2so(cast(x'0500000009000000' || x'050000000A000000' || x'050000000B000000'
                    || x'0400000001000000' || x'05000000FDFFFFFF' as blob), 5, 10)
                                             as "BLOB2SO(records, 5, 10)"
  from rdb$database;
