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
       now()                                   as "Now()",
       abs(datediff(millisecond from localtimestamp to now())) < 1000
                                               as "Now() is LOCALTIMESTAMP"
  from rdb$database;

-- Wildcard matching: a mask covers the whole text.
select match('INV-2024-000123', 'INV-####*')         as "INV-####*",
       match('xxabcxx', '*abc*')                     as "*abc*",
       match('ORD-2024-x', '{INV;ORD}-[4:09]-*')     as "{INV;ORD}-[4:09]-*",
       match('ABC', 'abc')                           as "case-sensitive",
       match(null, '*')                              as "NULL reads as empty"
  from rdb$database;

-- Text and scalar functions.
-- Code-page-1250 lower-casing. The accented letters are given and shown as
-- their WIN1250 bytes: Á Č Ě Ř Ů (C1 C8 CC D8 D9) become á č ě ř ů
-- (E1 E8 EC F8 F9); Ä Ô (C4 D4) are not in the table and stay.
select alc('Hello, WORLD')                              as "ALC('Hello, WORLD')",
       cast(alc(cast(x'C1C8CCD8D9C4D4' as varchar(7))) as varchar(7) character set octets)
                                                        as "ALC(x'C1C8CCD8D9C4D4')"
  from rdb$database;
-- Choice by a SMALLINT condition, and division with a zero guard.
select iif_d(1, date '2000-01-01', date '2024-02-29')   as "IIF_D(1, ...)",
       iif_t(0, time '08:00', time '17:30')             as "IIF_T(0, ...)",
       iif_ts(-1, timestamp '2000-01-01 12:00', timestamp '2024-02-29 18:00')
                                                        as "IIF_TS(-1, ...)",
       iif_s(1, 'yes', 'no')                            as "IIF_S(1, 'yes', 'no')",
       iif_i(32767, 10, 20)                             as "IIF_I(32767, 10, 20)",
       iif_dp(0, 1.5, 2.5)                              as "IIF_DP(0, 1.5, 2.5)",
       divdp(7, 2)                                      as "DivDP(7, 2)",
       divdp(1, 0)                                      as "DivDP(1, 0)"
  from rdb$database;

-- BLOB readers. The records (5, 9), (5, 10), (5, 11), (4, 1), (5, -3) as
-- 8-byte little-endian (key, value) pairs: two have the key 5 and a value
-- below 10.
select blob2i(cast(x'01000080' as blob))    as "BLOB2I(01 00 00 80)",
       blob2so(cast(x'0500000009000000' || x'050000000A000000' || x'050000000B000000'
                    || x'0400000001000000' || x'05000000FDFFFFFF' as blob), 5, 10)
                                             as "BLOB2SO(records, 5, 10)"
  from rdb$database;
