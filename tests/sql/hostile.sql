-- Hostile input in the real engine: what users pass every function by
-- mistake or malice. NULLs (also through declarations with the NULL keyword,
-- so that null addresses really arrive), empty and 32 KiB strings, masks
-- nested thousands deep, pathological masks, the extreme doubles SQL can
-- make, timestamps at the ends of the server's range, empty and huge BLOBs.
-- Every call must return, with the result shown; the last line proves the
-- engine is still up. Statements the engine itself refuses (it has no NaN
-- or infinity, and it checks the range of TIMESTAMP results) show its error.
set list on;

-- legacy-only: it declares functions of the legacy module with the NULL keyword
-- Every function that takes arguments, declared again under another name
-- with NULL on each argument: a NULL then arrives as a null address.
DECLARE EXTERNAL FUNCTION D2DP_N DATE NULL
  RETURNS DOUBLE PRECISION BY VALUE ENTRY_POINT 'D2DP' MODULE_NAME 'vantor';
DECLARE EXTERNAL FUNCTION DP2D_N DOUBLE PRECISION NULL
  RETURNS DATE BY VALUE ENTRY_POINT 'DP2D' MODULE_NAME 'vantor';
DECLARE EXTERNAL FUNCTION T2DP_N TIME NULL
  RETURNS DOUBLE PRECISION BY VALUE ENTRY_POINT 'T2DP' MODULE_NAME 'vantor';
DECLARE EXTERNAL FUNCTION DP2T_N DOUBLE PRECISION NULL
  RETURNS TIME BY VALUE ENTRY_POINT 'DP2T' MODULE_NAME 'vantor';
DECLARE EXTERNAL FUNCTION TS2DP_N TIMESTAMP NULL
  RETURNS DOUBLE PRECISION BY VALUE ENTRY_POINT 'TS2DP' MODULE_NAME 'vantor';
DECLARE EXTERNAL FUNCTION DP2TS_N DOUBLE PRECISION NULL
  RETURNS TIMESTAMP ENTRY_POINT 'DP2TS' MODULE_NAME 'vantor';
DECLARE EXTERNAL FUNCTION DP2Day_N DOUBLE PRECISION NULL
  RETURNS SMALLINT BY VALUE ENTRY_POINT 'DP2Day' MODULE_NAME 'vantor';
DECLARE EXTERNAL FUNCTION DP2Month_N DOUBLE PRECISION NULL
  RETURNS SMALLINT BY VALUE ENTRY_POINT 'DP2Month' MODULE_NAME 'vantor';
DECLARE EXTERNAL FUNCTION DP2Year_N DOUBLE PRECISION NULL
  RETURNS SMALLINT BY VALUE ENTRY_POINT 'DP2Year' MODULE_NAME 'vantor';
DECLARE EXTERNAL FUNCTION DP2DOW_N DOUBLE PRECISION NULL
  RETURNS SMALLINT BY VALUE ENTRY_POINT 'DP2DOW' MODULE_NAME 'vantor';
DECLARE EXTERNAL FUNCTION DPDOW_N DOUBLE PRECISION NULL, CSTRING(32765) NULL
  RETURNS SMALLINT BY VALUE ENTRY_POINT 'DPDOW' MODULE_NAME 'vantor';
DECLARE EXTERNAL FUNCTION MATCH_N CSTRING(32765) NULL, CSTRING(32765) NULL
  RETURNS SMALLINT BY VALUE ENTRY_POINT 'Match' MODULE_NAME 'vantor';
DECLARE EXTERNAL FUNCTION IIF_D_N SMALLINT NULL, DATE NULL, DATE NULL
  RETURNS DATE ENTRY_POINT 'IIF_D' MODULE_NAME 'vantor';
DECLARE EXTERNAL FUNCTION IIF_T_N SMALLINT NULL, TIME NULL, TIME NULL
  RETURNS TIME ENTRY_POINT 'IIF_T' MODULE_NAME 'vantor';
DECLARE EXTERNAL FUNCTION IIF_TS_N SMALLINT NULL, TIMESTAMP NULL, TIMESTAMP NULL
  RETURNS TIMESTAMP ENTRY_POINT 'IIF_TS' MODULE_NAME 'vantor';
DECLARE EXTERNAL FUNCTION IIF_S_N SMALLINT NULL, CSTRING(32767) NULL, CSTRING(32767) NULL
  RETURNS CSTRING(32767) ENTRY_POINT 'IIF_S' MODULE_NAME 'vantor';
DECLARE EXTERNAL FUNCTION IIF_I_N SMALLINT NULL, INTEGER NULL, INTEGER NULL
  RETURNS INTEGER ENTRY_POINT 'IIF_I' MODULE_NAME 'vantor';
DECLARE EXTERNAL FUNCTION IIF_DP_N SMALLINT NULL, DOUBLE PRECISION NULL, DOUBLE PRECISION NULL
  RETURNS DOUBLE PRECISION ENTRY_POINT 'IIF_DP' MODULE_NAME 'vantor';
DECLARE EXTERNAL FUNCTION DivDP_N DOUBLE PRECISION NULL, DOUBLE PRECISION NULL
  RETURNS DOUBLE PRECISION BY VALUE ENTRY_POINT 'DivDP' MODULE_NAME 'vantor';
DECLARE EXTERNAL FUNCTION BLOB2I_N BLOB NULL
  RETURNS INTEGER BY VALUE ENTRY_POINT 'BLOB2I' MODULE_NAME 'vantor';
DECLARE EXTERNAL FUNCTION BLOB2SO_N BLOB NULL, INTEGER NULL, INTEGER NULL
  RETURNS INTEGER BY VALUE ENTRY_POINT 'BLOB2SO' MODULE_NAME 'vantor';
commit;

-- Null addresses. A function whose result is the address of an argument
-- (DP2TS, the IIFs) hands a null address back, which the engine reads as
-- NULL; every other one gives the value it gives for zero or empty input.
select d2dp_n(null) as d2dp, dp2d_n(null) as dp2d, t2dp_n(null) as t2dp, dp2t_n(null) as dp2t,
       ts2dp_n(null) as ts2dp, dp2ts_n(null) as dp2ts
  from rdb$database;
select dp2day_n(null) as dp2day, dp2month_n(null) as dp2month, dp2year_n(null) as dp2year,
       dp2dow_n(null) as dp2dow, dpdow_n(null, null) as dpdow_both, dpdow_n(1.0, null) as dpdow_list,
       dpdow_n(null, '1234567') as dpdow_value
  from rdb$database;
select match_n(null, null) as match_both, match_n(null, '*') as match_text, match_n('a', null) as match_mask,
       alc(null) as alc
  from rdb$database;
select iif_d_n(null, date '2000-01-01', date '2000-01-02') as iif_d_cond,
       iif_d_n(1, null, date '2000-01-02') as iif_d_first,
       iif_t_n(null, time '01:00', time '02:00') as iif_t_cond,
       iif_t_n(0, time '01:00', null) as iif_t_second,
       iif_ts_n(null, timestamp '2000-01-01 01:00', timestamp '2000-01-01 02:00') as iif_ts_cond,
       iif_ts_n(1, null, null) as iif_ts_both,
       iif_s_n(null, 'one', 'two') as iif_s_cond, iif_s_n(1, null, 'two') as iif_s_first,
       iif_i_n(null, 1, 2) as iif_i_cond, iif_i_n(-1, 1, null) as iif_i_second,
       iif_dp_n(null, 1.5, 2.5) as iif_dp_cond, iif_dp_n(1, null, 2.5) as iif_dp_first
  from rdb$database;
select divdp_n(null, 2) as divdp_dividend, divdp_n(1, null) as divdp_divisor, divdp_n(null, null) as divdp_both,
       blob2i_n(null) as blob2i, blob2so_n(null, 1, 2) as blob2so_blob,
       blob2so_n(cast(x'0100000000000000' as blob), null, 2) as blob2so_key,
       blob2so_n(cast(x'0100000000000000' as blob), 1, null) as blob2so_limit
  from rdb$database;
-- end legacy-only

-- NULL through the standard declarations (no NULL keyword): the engine
-- passes its own stand-in value, never a null address.
select dp2d(null) as dp2d, dp2day(null) as dp2day, dpdow(null, null) as dpdow, match(null, null) as match,
       divdp(null, null) as divdp, iif_i(null, 1, 2) as iif_i, blob2i(null) as blob2i, blob2so(null, null, null) as blob2so
  from rdb$database;

-- Empty strings.
select match('', '') as empty_empty, match('', '*') as empty_star, match('a', '') as a_empty,
       match('', '{}') as empty_group, match('', '[]') as empty_set,
       dpdow(45292.0, '') as dpdow_empty, char_length(alc('')) as alc_length,
       iif_s(1, '', 'x') as iif_s_empty, char_length(iif_s(0, 'x', '')) as iif_s_second_length
  from rdb$database;

-- 32 KiB strings: the longest strings SQL holds (32765 characters, in block
-- variables: a table row cannot hold three of them).
set term ^;
execute block returns (self smallint, star smallint, no_b smallint, every_char smallint,
                       one_short smallint, optional_chars smallint, empty_stars smallint,
                       alc_lowers boolean, alc_length integer, iif_s_length integer, iif_s_same boolean) as
  declare a32765 varchar(32765);
  declare capitals varchar(32765);
begin
  a32765 = rpad('', 32765, 'a');
  capitals = rpad('', 32765, 'A');
  self = match(a32765, a32765);
  star = match(a32765, '*');
  no_b = match(a32765, '%b');
  every_char = match(a32765, rpad('', 32765, '?'));
  one_short = match(a32765, rpad('', 32764, '?'));
  optional_chars = match(a32765, rpad('', 32765, '_'));
  empty_stars = match('', rpad('', 32765, '*'));
  alc_lowers = alc(capitals) = lower(capitals);
  alc_length = char_length(alc(capitals));
  iif_s_length = char_length(iif_s(1, capitals, ''));
  iif_s_same = iif_s(1, capitals, '') = capitals;
  suspend;
end^
set term ;^
-- legacy-only: a weekday list of 32 KiB takes the legacy declaration (the UDR one takes 255 characters)
-- A weekday list of 32765 characters: only its digits count.
select dpdow_n(45298.0, rpad('', 32764, '0') || '7') as sunday_list_end,
       dpdow_n(45297.0, rpad('', 32764, '0') || '7') as saturday,
       dpdow_n(45298.0, rpad('', 32764, '0')) as zeros_only
  from rdb$database;
-- end legacy-only

-- Masks nested thousands deep, and unclosed ones.
select match('a', rpad('', 16000, '{') || 'a' || rpad('', 16000, '}')) as groups_16000,
       match('b', rpad('', 16000, '{') || 'a' || rpad('', 16000, '}')) as groups_16000_b,
       match('a', rpad('', 4998, '{x;') || 'a' || rpad('', 1666, '}')) as alternatives_1666,
       match('', rpad('', 32765, '{')) as unclosed_groups_empty, match('a', rpad('', 32765, '{')) as unclosed_groups_a,
       match('', rpad('', 32765, '[')) as unclosed_sets, match('x', rpad('', 32765, '\')) as backslashes,
       match('}', rpad('', 32765, '}')) as closers, match(rpad('', 16382, ']'), rpad('', 32764, '\]')) as escaped
  from rdb$database;

-- Pathological masks over texts of up to 32765 characters: each must come
-- back (QUICK: under 30 s, a hang guard wide enough for an emulated engine).
set term ^;
execute block returns (id integer, text_length integer, mask_length integer, matched smallint, quick smallint) as
  declare txt varchar(32765);
  declare mask varchar(32765);
  declare started timestamp;
begin
  id = 1;
  while (id <= 9) do begin
    txt = rpad('', 32765, 'a');
    if (id = 1) then mask = rpad('', 32000, '*a') || 'b';
    if (id = 2) then mask = rpad('', 16000, '%');
    if (id = 3) then begin txt = rpad('', 15999, 'a'); mask = rpad('', 16000, '%'); end
    if (id = 4) then mask = rpad('', 20000, '_*') || 'b';
    if (id = 5) then mask = rpad('', 30000, '[*:a]') || 'b';
    if (id = 6) then mask = rpad('', 30000, '{a;aa}*') || 'b';
    if (id = 7) then mask = '*' || rpad('', 30000, '{a;*}') || 'b';
    if (id = 8) then mask = rpad('', 30000, '[%:a]_') || '?';
    if (id = 9) then begin txt = rpad('', 32765, 'ab'); mask = rpad('', 32000, '*{ab;ba}') || 'c'; end
    text_length = char_length(txt);
    mask_length = char_length(mask);
    started = cast('now' as timestamp);
    matched = match(txt, mask);
    quick = iif(datediff(millisecond from started to cast('now' as timestamp)) < 30000, 1, 0);
    suspend;
    id = id + 1;
  end
end^
set term ;^

-- SQL cannot make a NaN or an infinity: each attempt is refused by the
-- engine before any function sees it.
select cast('NaN' as double precision) from rdb$database;
select cast('Infinity' as double precision) from rdb$database;
select cast(1e308 as double precision) * 10 from rdb$database;
select exp(1000) from rdb$database;

-- The extreme finite doubles it can make, through every function of a DP.
create table extremes (id integer, dp double precision);
commit;
insert into extremes values (1, 1.7976931348623157e308);
insert into extremes values (2, -1.7976931348623157e308);
insert into extremes values (3, 1e-300 / 1e20);
insert into extremes values (4, -1e-300 / 1e8);
insert into extremes values (5, 2147483648.0);
insert into extremes values (6, -2147483648.0);
insert into extremes values (7, 9.223372036854775808e18);
insert into extremes values (8, -9.223372036854775808e18);
insert into extremes values (9, 1e15);
insert into extremes values (10, -693594.25);
commit;
select id, dp, dp2t(dp) as dp2t, dp2day(dp) as d, dp2month(dp) as m, dp2year(dp) as y,
       dp2dow(dp) as dow, dpdow(dp, '1234567') as dpdow_week, dpdow(dp, '0') as dpdow_zero,
       divdp(dp, 1e300) as divdp_small, divdp(1e-300, dp) as divdp_inverse, iif_dp(1, dp, 0) = dp as iif_dp_same
  from extremes order by id;
-- DP2D where its day is one the server has, and where it is not (the
-- engine refuses the date).
select id, dp2d(dp) as dp2d from extremes where id in (1, 2, 3, 4, 7, 8) order by id;
select dp2d(dp) from extremes where id = 5;
select dp2d(dp) from extremes where id = 10;
-- A quotient beyond the doubles: the engine refuses the infinite result.
select divdp(1.7976931348623157e308, 1e-300 / 1e8) from rdb$database;
-- DP2TS beyond the server's years: the engine refuses the timestamp.
select dp2ts(cast(1e15 as double precision)) from rdb$database;
select dp2ts(cast(-693594.25 as double precision)) from rdb$database;

-- Timestamps at the ends of the server's range, there and back.
select ts2dp(timestamp '0001-01-01 00:00:00.0000') as first_moment,
       ts2dp(timestamp '9999-12-31 23:59:59.9999') as last_moment,
       d2dp(date '0001-01-01') as first_day, d2dp(date '9999-12-31') as last_day,
       t2dp(time '23:59:59.9999') as last_time, dp2t(t2dp(time '23:59:59.9999')) as last_time_back,
       dp2ts(ts2dp(timestamp '0001-01-01 00:00:00.0000')) as first_back,
       dp2ts(ts2dp(timestamp '9999-12-31 23:59:59.9999')) as last_back,
       dp2d(d2dp(date '0001-01-01')) as first_day_back, dp2d(d2dp(date '9999-12-31')) as last_day_back,
       dp2year(ts2dp(timestamp '9999-12-31 23:59:59.9999')) as last_year,
       dp2dow(ts2dp(timestamp '9999-12-31 23:59:59.9999')) as last_dow,
       dp2year(ts2dp(timestamp '0001-01-01 00:00:00.0000')) as first_year,
       dp2dow(ts2dp(timestamp '0001-01-01 00:00:00.0000')) as first_dow,
       iif_ts(1, timestamp '0001-01-01 00:00:00.0000', timestamp '9999-12-31 23:59:59.9999') as iif_first,
       iif_ts(0, timestamp '0001-01-01 00:00:00.0000', timestamp '9999-12-31 23:59:59.9999') as iif_last
  from rdb$database;

-- Empty and huge BLOBs: 16 MiB of records (key 1, value 2), of which
-- BLOB2SO counts the first 65536; a 7-byte tail; an empty BLOB.
set term ^;
execute block returns (bytes bigint, first_integer integer, below_3 integer, below_2 integer,
                       key_2 integer, empty_first integer, empty_count integer) as
  declare b blob sub_type 0;
  declare i integer = 0;
begin
  b = cast(x'0100000002000000' as blob sub_type 0);
  while (i < 21) do begin
    b = b || b;
    i = i + 1;
  end
  b = b || cast(x'01000000020000' as blob sub_type 0);
  bytes = octet_length(b);
  first_integer = blob2i(b);
  below_3 = blob2so(b, 1, 3);
  below_2 = blob2so(b, 1, 2);
  key_2 = blob2so(b, 2, 2147483647);
  empty_first = blob2i(cast(x'' as blob sub_type 0));
  empty_count = blob2so(cast(x'' as blob sub_type 0), 0, 2147483647);
  suspend;
end^
set term ;^

select 'engine up' as status from rdb$database;
