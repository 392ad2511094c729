-- Lower-casing, conditional choice and guarded division in the real engine.
-- Code-page-1250 text is written as its bytes (x'..' literals) and ALC's
-- results are shown as bytes, so the statements and the output are ASCII.
set list on;

-- Every byte value 01 to FF: only A-Z and Š Ť Ž Ľ Á Č É Ě Í Ď Ň Ó Ř Ů Ú Ý
-- change; Ä Ô Ĺ Ŕ and every other byte stay.
select cast(alc(cast(x'0102030405060708090A0B0C0D0E0F101112131415161718191A1B1C1D1E1F202122232425262728292A2B2C2D2E2F303132333435363738393A3B3C3D3E3F404142434445464748494A4B4C4D4E4F505152535455565758595A5B5C5D5E5F606162636465666768696A6B6C6D6E6F707172737475767778797A7B7C7D7E7F808182838485868788898A8B8C8D8E8F909192939495969798999A9B9C9D9E9FA0A1A2A3A4A5A6A7A8A9AAABACADAEAFB0B1B2B3B4B5B6B7B8B9BABBBCBDBEBFC0C1C2C3C4C5C6C7C8C9CACBCCCDCECFD0D1D2D3D4D5D6D7D8D9DADBDCDDDEDFE0E1E2E3E4E5E6E7E8E9EAEBECEDEEEFF0F1F2F3F4F5F6F7F8F9FAFBFCFDFEFF' as varchar(255))) as varchar(255) character set octets) as alc_all_bytes
  from rdb$database;

-- Worked values: the neighbours of A-Z, Á Č Ě Ř Ů, and Ä Ô Ĺ Ŕ unchanged.
select alc('ABCXYZ') as alc_abc, alc('@[`{') as alc_neighbours,
       cast(alc(cast(x'C1C8CCD8D9' as varchar(5))) as varchar(5) character set octets) as alc_accented,
       cast(alc(cast(x'C4D4C5C0' as varchar(4))) as varchar(4) character set octets) as alc_unchanged,
       alc('') = '' and char_length(alc('')) = 0 as alc_empty,
       alc(null) is null as alc_null
  from rdb$database;

-- ALC's text is declared WIN1250: text in another character set (here
-- UTF-8 for Ž Ť Á) is converted to code page 1250, folded, and converted
-- back. The result as WIN1250 bytes and as UTF-8 bytes (ž ť á).
select cast(alc(cast(x'C5BDC5A4C381' as varchar(3) character set utf8)) as varchar(3) character set octets) as alc_from_utf8,
       cast(cast(alc(cast(x'C5BDC5A4C381' as varchar(3) character set utf8)) as varchar(3) character set utf8)
            as varchar(6) character set octets) as alc_as_utf8
  from rdb$database;

-- The longest text keeps its length and its terminator.
select char_length(alc(rpad('', 32767, 'AbC'))) as alc_longest_length,
       alc(rpad('', 32767, 'AbC')) = lower(rpad('', 32767, 'AbC')) as alc_longest_equals_lower
  from rdb$database;

-- 100,000 generated ASCII strings of 0 to 39 characters: ALC agrees with
-- the engine's LOWER on every one.
with recursive digits(n) as (select 0 from rdb$database union all select n + 1 from digits where n < 9),
  nums(n) as (select a.n + 10 * b.n + 100 * c.n + 1000 * d.n + 10000 * e.n
                from digits a cross join digits b cross join digits c cross join digits d cross join digits e),
  seeds(n, s) as (select n, ascii_char(32 + mod(n, 95)) || ascii_char(32 + mod(n * 7919, 95))
                            || ascii_char(32 + mod(n / 95, 95)) || ascii_char(32 + mod(n * 13, 95))
                            || ascii_char(65 + mod(n * 31, 26)) from nums),
  texts(t) as (select rpad('', mod(n, 40), s) from seeds)
select iif(alc(t) = lower(t), '', 'ALC_LOWER ') || iif(char_length(alc(t)) = char_length(t), '', 'ALC_LENGTH') as failing,
       count(*) as ascii_texts
  from texts group by 1 order by 1;

-- The IIF functions: a condition above 0 chooses the first value; 0, negative
-- conditions and NULL (passed as 0) the second.
select c, iif_i(c, 10, 20) as i, iif_d(c, date '2000-01-01', date '2024-02-29') as d,
       iif_t(c, time '08:00', time '23:59:59.9999') as t,
       iif_ts(c, timestamp '2000-01-01 12:00', timestamp '0001-01-01 00:00:00.0001') as ts,
       iif_s(c, 'first', 'second') as s, iif_dp(c, 1.5, -2.25e300) as dp
  from (select 1 as c from rdb$database union all select 0 from rdb$database
        union all select -1 from rdb$database union all select -32768 from rdb$database
        union all select 32767 from rdb$database union all select null from rdb$database);

-- IIF_S hands back the very bytes it was given.
select cast(iif_s(0, 'x', cast(x'C8E88A9E' as varchar(4))) as varchar(4) character set octets) as iif_s_bytes,
       char_length(iif_s(1, rpad('', 32767, 'x'), 'y')) as iif_s_longest
  from rdb$database;

-- legacy-only: BY VALUE arguments are legacy declarations
-- IIF_I, IIF_D and IIF_T declared with both values and the result BY VALUE
-- (in a database of their own; see text-byvalue.sh).
shell sh text-byvalue.sh;
-- end legacy-only

-- DivDP: the sign of a zero shows in atan2(z, -1), pi for +0 and -pi for -0.
select divdp(7, 2) as div_7_2, divdp(1, 0) as div_1_0,
       atan2(divdp(1, -cast(0 as double precision)), -1) as atan2_div_1_minus0,
       atan2(divdp(0, -5), -1) as atan2_div_0_minus5,
       divdp(-1e308, 1e308) as div_minus_one, divdp(1, 3) = 1e0 / 3 as div_1_3
  from rdb$database;

-- 100,000 pairs: DivDP against the engine's own division, and 0 for every
-- zero divisor. The i386 engine divides at extended precision and rounds
-- once to double, as DivDP does on both flavours, so they agree on every
-- pair. The amd64 engine divides in double precision directly, so there
-- the pairs whose extended quotient lies next to a halfway point between two
-- doubles differ in the last bit. N is cast to INTEGER: Firebird 4.0 widens
-- sums of BIGINT products to INT128, and INT128 with a double to DECFLOAT,
-- which would make A / B a decimal quotient. The pairs are grouped by the
-- checks that fail: FAILING empty holds the pairs that pass them all.
with recursive digits(n) as (select 0 from rdb$database union all select n + 1 from digits where n < 9),
  nums(n) as (select cast(a.n + 10 * b.n + 100 * c.n + 1000 * d.n + 10000 * e.n as integer)
                from digits a cross join digits b cross join digits c cross join digits d cross join digits e),
  pairs(a, b) as (select (n * 7919 - 400000e0) / 3, (mod(n * 104729, 99991) - 49995.5e0) * power(10, mod(n, 41) - 20)
                    from nums)
select iif(divdp(a, b) = a / b, '', 'QUOTIENT ') || iif(divdp(a, 0) = 0, '', 'ZERO_DIVISOR') as failing,
       count(*) as pairs
  from pairs group by 1 order by 1;

-- A quotient beyond the DOUBLE PRECISION range is infinite, which the
-- engine refuses as a UDF result.
select divdp(1e308, 1e-308) as div_overflow from rdb$database;
