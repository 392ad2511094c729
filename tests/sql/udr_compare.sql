-- The UDR module against the legacy module in one database: every function
-- over generated inputs, counting the rows where the two differ (the legacy
-- functions are declared as LEGACY_<name>). Then SQL NULL in each argument
-- of every UDR function, which gives NULL.
set list on;

-- 40,000 generated numbers spread over 0 to 199,999 (every fifth, with
-- all five remainders mod 5 taken in turn), from which every input is made.
create table n (i integer not null);
commit;
set term ^;
execute block as
declare k integer = 0;
begin
  while (k < 40000) do begin insert into n values (:k * 5 + mod(:k * 3, 5)); k = k + 1; end
end^
set term ;^
commit;

-- DP values: a dense sweep across the whole date range with every kind of
-- fraction, and a sparse one out to 2^70 days either side of day 0 (the
-- calendar functions give out-of-range values their own answers).
create view dp_wide (dp) as
  select (i - 100000) * 36.987654321 + i / 7.0e0 from n
  union all
  select iif(mod(i, 2) = 0, 1, -1) * power(2e0, mod(i, 71)) * (1 + i / 1.0e7) from n where i < 20000;
create view dp_dates (dp) as
  select -693593.0e0 + i * 18.0 + i / 11.0e0 from n;

select iif(dp2day(dp) is distinct from legacy_dp2day(dp), 'DP2DAY ', '')
       || iif(dp2month(dp) is distinct from legacy_dp2month(dp), 'DP2MONTH ', '')
       || iif(dp2year(dp) is distinct from legacy_dp2year(dp), 'DP2YEAR ', '')
       || iif(dp2dow(dp) is distinct from legacy_dp2dow(dp), 'DP2DOW ', '')
       || iif(dpdow(dp, '135') is distinct from legacy_dpdow(dp, '135'), 'DPDOW ', '')
       || iif(dpdow(dp, '') is distinct from legacy_dpdow(dp, ''), 'DPDOW_EMPTY ', '')
       || iif(dp2t(dp) is distinct from legacy_dp2t(dp), 'DP2T ', '') as failing,
       count(*) as dp_values
  from dp_wide group by 1 order by 1;

select iif(dp2d(dp) is distinct from legacy_dp2d(dp), 'DP2D ', '')
       || iif(dp2ts(dp) is distinct from legacy_dp2ts(dp), 'DP2TS ', '')
       || iif(dp2t(dp) is distinct from legacy_dp2t(dp), 'DP2T ', '') as failing,
       count(*) as dp_date_values
  from dp_dates group by 1 order by 1;

-- Dates from 0001-01-01 on (18 days a step), times of day with 1/10000
-- seconds, and timestamps from the two together.
select iif(d2dp(dateadd(i * 18 day to date '0001-01-01'))
         is distinct from legacy_d2dp(dateadd(i * 18 day to date '0001-01-01')), 'D2DP ', '')
       || iif(t2dp(time '00:00:00' + mod(i * 4321.0001e0, 86400))
         is distinct from legacy_t2dp(time '00:00:00' + mod(i * 4321.0001e0, 86400)), 'T2DP ', '')
       || iif(ts2dp(dateadd(i * 18 day to timestamp '0001-01-01 00:00:00') + mod(i * 4321.0001e0, 86400) / 86400)
         is distinct from
         legacy_ts2dp(dateadd(i * 18 day to timestamp '0001-01-01 00:00:00') + mod(i * 4321.0001e0, 86400) / 86400), 'TS2DP ', '') as failing,
       count(*) as date_time_values
  from n group by 1 order by 1;

-- Texts and masks made of the mask language's characters and letters, and
-- code-page-1250 text of every byte but the five the code page leaves out.
create view text_pairs (txt, mask) as
  select substring('abAB*?%_#[]{},\x' from mod(i, 17) + 1 for mod(i / 17, 5)) ||
         substring('aXbYc' from mod(i / 85, 5) + 1 for 2),
         substring('*?a[a-c]{b,c}%_#\x$41' from mod(i / 7, 22) + 1 for mod(i / 154, 9)) ||
         substring('*a?' from mod(i / 1386, 3) + 1 for 1)
  from n;
select iif(match(txt, mask) is distinct from legacy_match(txt, mask), 'MATCH ', '') as failing,
       count(*) as match_pairs, sum(iif(match(txt, mask) = 1, 1, 0)) as matching
  from text_pairs group by 1 order by 1;

create view byte_texts (txt) as
  select cast(ascii_char(mod(i, 255) + 1) || ascii_char(mod(i / 255, 255) + 1) ||
              rpad('', mod(i, 7), ascii_char(mod(i * 7, 255) + 1)) as varchar(10) character set octets)
  from n
  where mod(i, 255) + 1 not in (129, 131, 136, 144, 152)
    and mod(i / 255, 255) + 1 not in (129, 131, 136, 144, 152)
    and mod(i * 7, 255) + 1 not in (129, 131, 136, 144, 152);
select iif(cast(alc(cast(txt as varchar(10) character set win1250)) as varchar(10) character set octets)
         is distinct from
         cast(legacy_alc(cast(txt as varchar(10) character set win1250)) as varchar(10) character set octets), 'ALC ', '') as failing,
       count(*) as alc_texts
  from byte_texts group by 1 order by 1;

-- The IIF functions with conditions -2 to 2, and DivDP over dividends and
-- divisors that include zeros of both signs and quotients near the ends of
-- the double range.
select iif(iif_i(mod(i, 5) - 2, i, -i) is distinct from legacy_iif_i(mod(i, 5) - 2, i, -i), 'IIF_I ', '')
       || iif(iif_dp(mod(i, 5) - 2, i / 3.0e0, -i / 7.0e0)
         is distinct from legacy_iif_dp(mod(i, 5) - 2, i / 3.0e0, -i / 7.0e0), 'IIF_DP ', '')
       || iif(iif_d(mod(i, 5) - 2, dateadd(i day to date '1900-01-01'), date '2000-01-01')
         is distinct from legacy_iif_d(mod(i, 5) - 2, dateadd(i day to date '1900-01-01'), date '2000-01-01'), 'IIF_D ', '')
       || iif(iif_t(mod(i, 5) - 2, time '00:00:00' + mod(i, 86400), time '12:34:56.7891')
         is distinct from legacy_iif_t(mod(i, 5) - 2, time '00:00:00' + mod(i, 86400), time '12:34:56.7891'), 'IIF_T ', '')
       || iif(iif_ts(mod(i, 5) - 2, timestamp '2000-01-01 00:00:00' + i / 7.0e0, timestamp '0001-01-01 00:00:00.0001')
         is distinct from
         legacy_iif_ts(mod(i, 5) - 2, timestamp '2000-01-01 00:00:00' + i / 7.0e0, timestamp '0001-01-01 00:00:00.0001'), 'IIF_TS ', '')
       || iif(iif_s(mod(i, 5) - 2, 'first' || i, 'second') is distinct from legacy_iif_s(mod(i, 5) - 2, 'first' || i, 'second'), 'IIF_S ', '') as failing,
       count(*) as iif_rows
  from n group by 1 order by 1;

select iif(divdp(a, b) is distinct from legacy_divdp(a, b), 'DIVDP ', '') as failing,
       count(*) as divdp_pairs, sum(iif(divdp(a, b) = 0, 1, 0)) as zero_quotients
  from (select (i - 100000) * 1.0e-3 * power(10e0, mod(i, 17) * 18 - 150) as a,
               iif(mod(i, 13) = 0, iif(mod(i, 2) = 0, 0e0, -0e0),
                   (mod(i, 9973) - 4986) * power(10e0, mod(i, 11) * 10 - 50)) as b
          from n) group by 1 order by 1;

-- BLOBs of 0 to 4103 bytes built from 8-byte records (key and value as
-- little-endian integers), some with a stray tail, and two longer than the
-- 524288 bytes BLOB2SO reads.
create table blobs (id integer, b blob sub_type binary);
commit;
set term ^;
execute block as
declare i integer = 0;
declare j integer;
declare bytes varchar(4104) character set octets;
declare rec varchar(8) character set octets;
declare b blob sub_type binary;
begin
  while (i < 300) do begin
    bytes = '';
    j = 0;
    while (j < mod(i * 37, 513)) do begin
      rec = cast(x'01000000' as varchar(4) character set octets);
      if (mod(i + j, 3) = 0) then rec = cast(x'02000000' as varchar(4) character set octets);
      rec = rec || ascii_char(mod(i * j, 256)) || ascii_char(mod(j, 256)) || ascii_char(0) || ascii_char(iif(mod(j, 5) = 0, 128, 0));
      bytes = bytes || rec;
      j = j + 1;
    end
    if (mod(i, 4) = 1) then bytes = bytes || 'xyz';
    insert into blobs values (:i, cast(:bytes as blob sub_type binary));
    i = i + 1;
  end
  -- 64 bytes doubled 13 times: 524288 bytes, then one more group of records
  -- that BLOB2SO leaves unread.
  b = cast(cast(x'0100000005000000010000000A000000020000000100000001000000FFFFFFFF0100000007000000020000000000008001000000030000000100000009000000' as varchar(64) character set octets) as blob sub_type binary);
  j = 0;
  while (j < 13) do begin b = b || b; j = j + 1; end
  b = b || cast(x'01000000000000000100000000000000' as varchar(16) character set octets);
  insert into blobs values (1000, :b);
  insert into blobs values (1001, :b || 'tail');
end^
set term ;^
commit;

select iif(blob2i(b) is distinct from legacy_blob2i(b), 'BLOB2I ', '')
       || iif(blob2so(b, 1, 100) is distinct from legacy_blob2so(b, 1, 100), 'BLOB2SO ', '')
       || iif(blob2so(b, 2, 0) is distinct from legacy_blob2so(b, 2, 0), 'BLOB2SO_NEGATIVE ', '') as failing,
       count(*) as blobs, max(octet_length(b)) as longest
  from blobs group by 1 order by 1;
-- The long BLOB's 64-byte group holds four records of key 1 with a value
-- below 8, and BLOB2SO reads 8192 groups of it: 32768.
select blob2so(b, 1, 8) as long_count, legacy_blob2so(b, 1, 8) as legacy_long_count
  from blobs where id = 1000;

-- Now: one reading of each module, taken in the same statement, a moment
-- apart.
select abs(datediff(millisecond from legacy_now() to now())) < 1000 as now_agrees from rdb$database;

-- SQL NULL in any argument gives NULL, for every function.
select count(*) as null_cases,
       sum(iif(v is null, 0, 1)) as non_null_results
  from (
    select d2dp(null) as v from rdb$database union all
    select dp2d(null) from rdb$database union all
    select t2dp(null) from rdb$database union all
    select dp2t(null) from rdb$database union all
    select ts2dp(null) from rdb$database union all
    select dp2ts(null) from rdb$database union all
    select dp2day(null) from rdb$database union all
    select dp2month(null) from rdb$database union all
    select dp2year(null) from rdb$database union all
    select dp2dow(null) from rdb$database union all
    select dpdow(null, '1') from rdb$database union all
    select dpdow(1, null) from rdb$database union all
    select match(null, '*') from rdb$database union all
    select match('a', null) from rdb$database union all
    select alc(null) from rdb$database union all
    select iif_d(null, date '2000-01-01', date '2000-01-02') from rdb$database union all
    select iif_d(1, null, date '2000-01-02') from rdb$database union all
    select iif_d(1, date '2000-01-01', null) from rdb$database union all
    select iif_t(null, time '01:00', time '02:00') from rdb$database union all
    select iif_t(1, null, time '02:00') from rdb$database union all
    select iif_t(0, time '01:00', null) from rdb$database union all
    select iif_ts(null, timestamp '2000-01-01', timestamp '2000-01-02') from rdb$database union all
    select iif_ts(1, null, timestamp '2000-01-02') from rdb$database union all
    select iif_ts(0, timestamp '2000-01-01', null) from rdb$database union all
    select iif_s(null, 'a', 'b') from rdb$database union all
    select iif_s(1, null, 'b') from rdb$database union all
    select iif_s(1, 'a', null) from rdb$database union all
    select iif_i(null, 1, 2) from rdb$database union all
    select iif_i(1, null, 2) from rdb$database union all
    select iif_i(1, 1, null) from rdb$database union all
    select iif_dp(null, 1, 2) from rdb$database union all
    select iif_dp(1, null, 2) from rdb$database union all
    select iif_dp(1, 1, null) from rdb$database union all
    select divdp(null, 2) from rdb$database union all
    select divdp(1, null) from rdb$database union all
    select divdp(null, 0) from rdb$database union all
    select blob2i(null) from rdb$database union all
    select blob2so(null, 1, 2) from rdb$database union all
    select blob2so(cast(x'0100000000000000' as blob sub_type binary), null, 2) from rdb$database union all
    select blob2so(cast(x'0100000000000000' as blob sub_type binary), 1, null) from rdb$database);

-- The adapters follow the declaration: the same entry points declared with
-- other lengths, CHAR and other character sets give the legacy results.
create function match_20 (t varchar(20) character set none, mask varchar(20) character set none)
  returns smallint external name 'vantor_udr!Match' engine udr;
create function match_char (t char(24) character set win1250, mask varchar(30) character set utf8)
  returns smallint external name 'vantor_udr!Match' engine udr;
create function alc_char (t char(12) character set win1250) returns char(12) character set win1250
  external name 'vantor_udr!ALC' engine udr;
create function alc_short (t varchar(20) character set win1250) returns varchar(5) character set win1250
  external name 'vantor_udr!ALC' engine udr;
create function iif_s_8 (c smallint, a varchar(8), b varchar(8)) returns varchar(8)
  external name 'vantor_udr!IIF_S' engine udr;
create function dpdow_1 (dp double precision, days varchar(1)) returns smallint
  external name 'vantor_udr!DPDOW' engine udr;
-- Declarations the functions cannot work with.
create function alc_utf8 (t varchar(20) character set utf8) returns varchar(20) character set utf8
  external name 'vantor_udr!ALC' engine udr;
create function d2dp_timestamp (d timestamp) returns double precision
  external name 'vantor_udr!D2DP' engine udr;
commit;

select count(*) as texts,
       sum(iif(match_20(t, m) = legacy_match(t, m), 0, 1)) as match_20_differs,
       sum(iif(match_char(t, m) = legacy_match(cast(t as char(24)), m), 0, 1)) as match_char_differs,
       sum(iif(iif_s_8(mod(i, 3) - 1, t, m) = legacy_iif_s(mod(i, 3) - 1, t, m), 0, 1)) as iif_s_8_differs,
       sum(iif(dpdow_1(i, mod(i, 8)) = legacy_dpdow(i, mod(i, 8)), 0, 1)) as dpdow_1_differs
  from (select i, left('INV-' || (i * 7907) || '-X', 8) as t,
               decode(mod(i, 4), 0, 'INV-####', 1, '*7*', 2, 'INV-*', '[2:09]*') as m
          from n);
select alc_char('ABC') as alc_char, char_length(alc_char('ABC')) as alc_char_length,
       alc_short('ABCDE') as alc_short_fits
  from rdb$database;
-- A result longer than its declared length is an error, never a cut result.
select alc_short('ABCDEF') as alc_short_too_long from rdb$database;
select iif_s_8(1, 'ABCDEFGH', 'X') as iif_s_fits from rdb$database;
select alc_utf8('ABC') from rdb$database;
select d2dp_timestamp(timestamp '2000-01-01 12:00') from rdb$database;

-- The texts as sql/vantor-udr.sql ships them: Match's text, ALC's and
-- IIF_S's texts and results 8000 bytes, Match's mask 1000. A text of the
-- declared length gives the legacy result; one byte more is the engine's
-- truncation error, never a cut or wrong result. Only blanks beyond the
-- declared length are dropped without an error (the engine's rule for any
-- text assigned to a shorter one), so the function sees the text without them.
select trim(a.rdb$function_name) || '.' || coalesce(trim(a.rdb$argument_name), 'result') as text_declared,
       f.rdb$character_length as characters
  from rdb$function_arguments a join rdb$fields f on f.rdb$field_name = a.rdb$field_source
 where a.rdb$function_name in ('MATCH', 'ALC', 'IIF_S') and f.rdb$field_type = 37
 order by a.rdb$function_name, a.rdb$argument_position;
select match(rpad('', 7999, 'a') || 'b', '*b') as match_text_8000,
       legacy_match(rpad('', 7999, 'a') || 'b', '*b') as legacy_text_8000,
       match(rpad('', 1000, 'a'), rpad('', 999, '?') || 'a') as match_mask_1000,
       char_length(alc(rpad('', 8000, 'A'))) as alc_8000,
       alc(rpad('', 8000, 'AB')) = lower(rpad('', 8000, 'AB')) as alc_8000_lower,
       char_length(iif_s(1, rpad('', 8000, 'x'), 'y')) as iif_s_a_8000,
       char_length(iif_s(0, 'x', rpad('', 8000, 'y'))) as iif_s_b_8000
  from rdb$database;
select match(rpad('', 8000, 'a') || 'b', '*b') as match_text_8001 from rdb$database;
select match('a', rpad('', 1000, '*') || 'a') as match_mask_1001 from rdb$database;
select alc(rpad('', 8001, 'A')) as alc_8001 from rdb$database;
select iif_s(1, rpad('', 8001, 'x'), 'y') as iif_s_a_8001 from rdb$database;
select iif_s(1, 'x', rpad('', 8001, 'y')) as iif_s_b_8001 from rdb$database;
select match(rpad('a', 8001), 'a[7999:]') as match_blanks_dropped,
       legacy_match(rpad('a', 8001), 'a[7999:]') as legacy_blanks_kept
  from rdb$database;

-- A function moved from a legacy declaration keeps what that declaration
-- gave for NULL: the rules after the routine's name say how each argument
-- took it (zero: as 0, '' or day 0; null: as a null address). Each pair is
-- the legacy declaration and the UDR one with its rules; a line below names
-- a case where the two differ.
declare external function lz_divdp double precision, double precision returns double precision by value
  entry_point 'DivDP' module_name 'vantor';
declare external function ln_divdp double precision null, double precision null returns double precision by value
  entry_point 'DivDP' module_name 'vantor';
declare external function ln_iif_i smallint null, integer null, integer null returns integer
  entry_point 'IIF_I' module_name 'vantor';
declare external function ln_dp2ts double precision null returns timestamp entry_point 'DP2TS' module_name 'vantor';
declare external function ln_dpdow double precision null, cstring(10) null returns smallint by value
  entry_point 'DPDOW' module_name 'vantor';
declare external function lz_alc cstring(10) character set win1250 returns cstring(10) character set win1250
  free_it entry_point 'ALC' module_name 'vantor';
declare external function lz_dp2dow double precision returns integer by value entry_point 'DP2DOW' module_name 'vantor';
create function mz_divdp (a double precision, b double precision) returns double precision
  external name 'vantor_udr!DivDP!legacy:zero,zero' engine udr;
create function mn_divdp (a double precision, b double precision) returns double precision
  external name 'vantor_udr!DivDP!legacy:null,null' engine udr;
create function mn_iif_i (c smallint, a integer, b integer) returns integer
  external name 'vantor_udr!IIF_I!legacy:null,null,null' engine udr;
create function mn_dp2ts (dp double precision) returns timestamp external name 'vantor_udr!DP2TS!legacy:null' engine udr;
create function mn_dpdow (dp double precision, days varchar(10)) returns smallint
  external name 'vantor_udr!DPDOW!legacy:null,null' engine udr;
create function mz_alc (t varchar(10) character set win1250) returns varchar(10) character set win1250
  external name 'vantor_udr!ALC!legacy:zero' engine udr;
create function mz_dp2dow (dp double precision) returns integer external name 'vantor_udr!DP2DOW!legacy:zero' engine udr;
create function mz_blob2so (b blob, k integer, l integer) returns integer
  external name 'vantor_udr!BLOB2SO!legacy:zero,zero,zero' engine udr;
-- Rules that do not fit the declaration are refused when it is called.
create function mx_d2dp (d date) returns double precision external name 'vantor_udr!D2DP!legacy:zero,zero' engine udr;
commit;
select c as legacy_rules_differ from (
  select 'divdp zero ' || k as c, mz_divdp(a, b) as u, lz_divdp(a, b) as l
    from (select i as k, decode(mod(i, 5), 0, null, 1, -5e0, 2, 0e0, 3, 3e0, -0e0) as a,
                 decode(mod(i / 5, 5), 0, null, 1, -5e0, 2, 0e0, 3, 2e0, -0e0) as b from n where i < 125)
  union all
  select 'divdp null ' || k, mn_divdp(a, b), ln_divdp(a, b)
    from (select i as k, decode(mod(i, 3), 0, null, 1, -5e0, 0e0) as a,
                 decode(mod(i / 3, 3), 0, null, 1, -5e0, 0e0) as b from n where i < 45)
  union all
  select 'iif_i ' || i, mn_iif_i(c, a, b), ln_iif_i(c, a, b)
    from (select i, decode(mod(i, 3), 0, null, 1, 1, -1) as c, decode(mod(i / 3, 2), 0, null, 7) as a,
                 decode(mod(i / 6, 2), 0, null, 9) as b from n where i < 60)
  union all
  select 'dp2ts', mn_dp2ts(null), ln_dp2ts(null) from rdb$database
  union all
  select 'dpdow ' || i, mn_dpdow(dp, days), ln_dpdow(dp, days)
    from (select i, decode(mod(i, 2), 0, null, 36526e0) as dp, decode(mod(i / 2, 3), 0, null, 1, '6', '1') as days
            from n where i < 30)
  union all
  select 'alc', mz_alc(null), lz_alc(null) from rdb$database
  union all
  select 'dp2dow', mz_dp2dow(null), lz_dp2dow(null) from rdb$database
  union all
  select 'blob2so', mz_blob2so(null, null, 1), legacy_blob2so(null, null, 1) from rdb$database)
 where u is distinct from l or cast(u as varchar(40)) is distinct from cast(l as varchar(40));
select mx_d2dp(date '2000-01-01') from rdb$database;

