-- Generated from src/frame/functions.toml by `python3 scripts/functions.py write`: the README's
-- examples, one statement each. A unit test (tests/unit/docs_test.cpp)
-- checks that the README shows the result printed below.
set list on;

select D2DP(DATE '2000-01-01') from rdb$database;
select DP2D(36526.75) from rdb$database;
select T2DP(TIME '18:00') from rdb$database;
select DP2T(36526.75) from rdb$database;
select TS2DP(TIMESTAMP '2000-01-01 18:00') from rdb$database;
select DP2TS(36526.75 + 1.5) from rdb$database;
select DP2Day(36585) from rdb$database;
select DP2Month(36585) from rdb$database;
select DP2Year(36526.75) from rdb$database;
select DP2DOW(0) from rdb$database;
select DPDOW(D2DP(DATE '2024-01-01'), '135') from rdb$database;
select DATEDIFF(MILLISECOND FROM LOCALTIMESTAMP TO Now()) < 1000 from rdb$database;
select Match('INV-2024-000123', 'INV-####*') from rdb$database;
select ALC('Hello, WORLD') from rdb$database;
select IIF_D(1, DATE '2000-01-01', DATE '2024-02-29') from rdb$database;
select IIF_T(0, TIME '08:00', TIME '17:30') from rdb$database;
select IIF_TS(-1, TIMESTAMP '2000-01-01 12:00', TIMESTAMP '2024-02-29 18:00') from rdb$database;
select IIF_S(1, 'yes', 'no') from rdb$database;
select IIF_I(NULL, 10, 20) from rdb$database;
select IIF_DP(32767, 1.5, 2.5) from rdb$database;
select DivDP(7, 0) from rdb$database;
select BLOB2I(CAST(x'01000080' AS BLOB)) from rdb$database;
select BLOB2SO(CAST(x'0500000009000000050000000A000000' AS BLOB), 5, 10) from rdb$database;
