-- Match in the real engine, for what only the engine shows: how values
-- arrive (NULL, the blanks of CHAR and VARCHAR, bytes above 127), a WHERE
-- clause over a table, and the longest texts and masks the declaration
-- passes. Each construct's cases are the unit tests'. No case may
-- fail.
set list on;

create table match_cases (txt varchar(200), mask varchar(200), expected smallint);
commit;
insert into match_cases values ('INV-2024-000123', 'INV-####*', 1);
insert into match_cases values ('INV-20x4-000123', 'INV-####*', 0);
insert into match_cases values ('ORD-2024-7', '{INV;ORD}-[4:09]-*', 1);
insert into match_cases values ('ORX-2024-7', '{INV;ORD}-[4:09]-*', 0);
insert into match_cases values ('  a  ', '  a  ', 1);
insert into match_cases values ('a  ', 'a', 0);
insert into match_cases values (' ' || ascii_char(9) || 'A\*S', '\s\t\$41\\\*\S', 1);
insert into match_cases values (ascii_char(232) || ascii_char(255), '[\$E0\$FF;!\$F0]\$FF', 1);
insert into match_cases values (ascii_char(240) || ascii_char(255), '[\$E0\$FF;!\$F0]\$FF', 0);
commit;

select count(*) as cases from match_cases;
-- The cases that fail (none).
select txt, mask, expected, match(txt, mask) as result
  from match_cases where match(txt, mask) is distinct from expected;

-- A NULL argument: the legacy module reads it as the empty string, the UDR
-- module returns NULL.
select match(null, '*') as null_text_star,
       match(null, '?') as null_text_any,
       match('', null) as empty_text_null_mask,
       match('a', null) as text_null_mask,
       match(null, null) as both_null
  from rdb$database;

-- A CHAR value keeps its padding blanks; a VARCHAR has none.
select match(cast('ab' as char(5)), 'ab') as char_exact,
       match(cast('ab' as char(5)), 'ab\s\s\s') as char_with_blanks,
       match(cast('ab' as varchar(5)), 'ab') as varchar_exact
  from rdb$database;

-- A WHERE clause over a table: which rows match.
select cast(list(txt, ',') as varchar(200)) as invoice_rows
  from (select txt from match_cases where match(txt, 'INV-*') = 1 order by txt);

-- The longest values the declaration passes (32,765 bytes): eight any-runs
-- and a deep group. The bound's edge, and the input that once ran into a
-- memory cap, are the examples of docs/masks.md (docs_masks.sql).
select match(rpad('', 32765, 'a'), '*a*a*a*a*a*a*a*a*b') as eight_runs_no_b,
       match(rpad('', 32764, 'a') || 'b', '*a*a*a*a*a*a*a*a*b') as eight_runs_b,
       match(rpad('', 32765, 'a'), rpad('', 32765, '?')) as longest_any,
       match('a', rpad('', 10000, '{') || 'a' || rpad('', 10000, '}')) as nested_10000
  from rdb$database;
