-- Match in the real engine: masks over a table of texts, NULL and empty
-- values, the edge cases of each construct, and inputs that would hang an
-- exponential matcher. Every mismatch count must be 0.
set list on;

create table match_cases (txt varchar(200), mask varchar(200), expected smallint);
commit;
insert into match_cases values ('INV-2024-000123', 'INV-####*', 1);
insert into match_cases values ('INV-20x4-000123', 'INV-####*', 0);
insert into match_cases values ('ORD-2024-7', '{INV;ORD}-[4:09]-*', 1);
insert into match_cases values ('ORX-2024-7', '{INV;ORD}-[4:09]-*', 0);
insert into match_cases values ('', '', 1);
insert into match_cases values ('a', '', 0);
insert into match_cases values ('', '*', 1);
insert into match_cases values ('', '_', 1);
insert into match_cases values ('', '%', 0);
insert into match_cases values ('', '?', 0);
insert into match_cases values ('', '#', 0);
insert into match_cases values ('', 'a', 0);
insert into match_cases values (null, '*', 1);
insert into match_cases values (null, '', 1);
insert into match_cases values (null, '?', 0);
insert into match_cases values ('', null, 1);
insert into match_cases values ('a', null, 0);
insert into match_cases values (null, null, 1);
insert into match_cases values ('ABC', 'abc', 0);
insert into match_cases values ('abc', 'abc', 1);
insert into match_cases values ('xxabcxx', '*abc*', 1);
insert into match_cases values ('xxabcxx', 'abc*', 0);
insert into match_cases values ('  a  ', '  a  ', 1);
insert into match_cases values ('a  ', 'a', 0);
insert into match_cases values ('ab', 'a_b', 1);
insert into match_cases values ('axxb', 'a_b', 0);
insert into match_cases values ('ab', 'a%b', 0);
insert into match_cases values ('a1b', 'a#b', 1);
insert into match_cases values ('q', '[az]', 1);
insert into match_cases values ('Q', '[a-z]', 1);
insert into match_cases values ('5', '[!09]', 0);
insert into match_cases values ('abab', '[2-4:ab]', 1);
insert into match_cases values ('aaa', '[*:a]a', 0);
insert into match_cases values ('aaab', '[%:a]b', 1);
insert into match_cases values ('55555', '[5-3:5]*', 1);
insert into match_cases values ('55555', '[5-3:5]', 0);
insert into match_cases values (';', '[\;;\]]', 1);
insert into match_cases values (' ' || ascii_char(9) || 'A\*S', '\s\t\$41\\\*\S', 1);
insert into match_cases values ('$4z', '\$4z', 1);
insert into match_cases values ('a', '*\', 0);
insert into match_cases values ('a', 'a\', 1);
insert into match_cases values ('ab', 'ab[cd', 1);
insert into match_cases values ('a]b}', 'a]b}', 1);
insert into match_cases values ('ab', 'a[]b', 1);
insert into match_cases values ('xby', 'x{a;b}y', 1);
insert into match_cases values ('axxc', '{a*;b}c', 0);
insert into match_cases values ('ace', '{a{b;c};d}e', 1);
insert into match_cases values ('a', 'a{b;*}', 0);
insert into match_cases values ('q', '{;q}', 0);
insert into match_cases values ('b', '{a;;b}', 0);
insert into match_cases values (ascii_char(232) || ascii_char(255), '[\$E0\$FF;!\$F0]\$FF', 1);
commit;

select count(*) as cases,
       sum(iif(match(txt, mask) = expected, 0, 1)) as mismatches,
       sum(iif(match(txt, mask) in (0, 1), 0, 1)) as results_not_0_or_1,
       sum(iif(txt is null or mask is null, 1, 0)) as with_null
  from match_cases;

-- A WHERE clause over a table: which rows match.
select cast(list(txt, ',') as varchar(200)) as invoice_rows
  from (select txt from match_cases where match(txt, 'INV-*') = 1 order by txt);

-- Long texts and masks: 30,000 characters, eight any-runs, a deep group.
select match(rpad('', 30000, 'a'), '*a*a*a*a*a*a*a*a*b') as eight_runs_no_b,
       match(rpad('', 30000, 'a') || 'b', '*a*a*a*a*a*a*a*a*b') as eight_runs_b,
       match(rpad('', 30000, 'a'), rpad('', 30000, '?')) as thirty_thousand_any,
       match('a', rpad('', 10000, '{') || 'a' || rpad('', 10000, '}')) as nested_10000
  from rdb$database;
