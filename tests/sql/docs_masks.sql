-- The examples of docs/masks.md, block by block. A unit test
-- (tests/unit/docs_test.cpp) checks that every SQL block of the guide is here
-- and that the output the guide shows is the output recorded below.
set list on;

select match('abc', 'abc')         as exact,
       match('ABC', 'abc')         as other_case,
       match('abcx', 'abc')        as longer_text,
       match('xxabcxx', 'abc*')    as only_a_prefix,
       match('xxabcxx', '*abc*')   as anywhere,
       match('abc ', 'abc')        as trailing_blank
  from rdb$database;

select match('', '')        as empty_both,
       match('a', '')       as empty_mask,
       match('', '*')       as empty_text_star,
       match('', '%')       as empty_text_percent,
       match(null, '*')     as null_text,
       match('a', null)     as null_mask
  from rdb$database;

select match('axb', 'a?b')    as q_one,
       match('ab', 'a?b')     as q_none,
       match('ab', 'a_b')     as underscore_none,
       match('axb', 'a_b')    as underscore_one,
       match('axxb', 'a_b')   as underscore_two,
       match('ab', 'a*b')     as star_none,
       match('axxb', 'a*b')   as star_two,
       match('ab', 'a%b')     as percent_none,
       match('axb', 'a%b')    as percent_one,
       match('a1b', 'a#b')    as hash_one,
       match('a12b', 'a#b')   as hash_two
  from rdb$database;

select match('q', '[az]')           as range,
       match('Q', '[az]')           as range_is_exact,
       match('x', '[!09]')          as refused_digit,
       match('7', '[!09]')          as refused_digit_7,
       match('123', '[3:09]')       as three_digits,
       match('1234', '[3:09]')      as three_digits_of_4,
       match('abab', '[2-4:ab]')    as two_to_four,
       match('hello', '[%:az]')     as one_or_more,
       match('', '[*:az]')          as none_or_more,
       match('12345', '[5:]')       as any_five,
       match('0123456789', '[$A:09]') as hex_count,
       match('?', '[*;?]')          as star_or_question
  from rdb$database;

select match('%', '[a-z]')       as dash_range_any,
       match('b', '[a;;b]')      as after_empty_item,
       match('a', '[abc:a]')     as bad_count_is_1,
       match('aaa', '[0:a]')     as zero_count_unbounded,
       match(']', '[\;;\]]')     as escaped_members
  from rdb$database;

select match('xby', 'x{a;b}y')       as either,
       match('xcy', 'x{a;b}y')       as neither,
       match('c', '{a;{b;c}}')       as nested,
       match('ORD-7', '{INV;ORD}-#') as prefix_choice,
       match('b', '{a;;b}')          as after_empty_alt,
       match('a', '{}')              as no_alternatives,
       match('a', 'a{b;*}')          as group_needs_text
  from rdb$database;

select match('50%', '##\%')              as percent_sign,
       match('a_b', 'a\_b')              as underscore_sign,
       match('axb', 'a\_b')              as underscore_not_any,
       match('a b', 'a\sb')              as space,
       match('a' || ascii_char(9) || 'b', 'a\tb') as tab,
       match('A', '\$41')                as hex_code,
       match('S', '\S')                  as capital_s,
       match('$4z', '\$4z')              as dollar_sign,
       match('a\b', 'a\\b')              as backslash
  from rdb$database;

select match('ab', 'ab[cd')      as unclosed_set,
       match('abcd', 'ab[cd')    as unclosed_set_4,
       match('', '{a;b')         as unclosed_group,
       match('a]b}', 'a]b}')     as stray_closers,
       match('ab', 'a[]b')       as empty_set,
       match('a', 'a\')          as trailing_backslash,
       match('abc', '*\')        as star_backslash
  from rdb$database;

select match('aaa', '[*:a]a')      as possessive,
       match('aaab', '[%:a]b')     as run_then_other,
       match('123', '[*:09]#')     as digits_then_digit,
       match('123', '*#')          as any_then_digit,
       match('x', '[:x]x')         as optional_gives_up,
       match('xx', '[:x]x')        as optional_takes_one
  from rdb$database;

select match('55555', '[5-3:5]')    as max_below_min,
       match('55555', '[5-3:5]*')   as stops_at_max
  from rdb$database;

select match('axxc', '{a*;b}c')       as alt_not_retried,
       match('axxc', 'a*c')           as without_group,
       match('axxc', '{a*c;bc}')      as rest_inside_group,
       match('INV-2-1', '{INV*}-1')   as short_run_fixed,
       match('INV-2-1', '{INV*}')     as group_at_end
  from rdb$database;

select match(rpad('', 20000, 'a'), rpad('', 16000, '_') || rpad('', 16000, 'a')) as long_runs,
       match(rpad('', 32764, 'a') || 'b',
             rpad('', 40, '{') || '{*a*a*a*a*a*a*a*a*c;*b}' || rpad('', 40, '}')) as nested_41,
       match(rpad('', 32764, 'a') || 'b',
             rpad('', 41, '{') || '{*a*a*a*a*a*a*a*a*c;*b}' || rpad('', 41, '}')) as nested_42
  from rdb$database;

select match('INV-2024-000123', 'INV-[4:09]-[6:09]')          as invoice,
       match('INV-2024-00123', 'INV-[4:09]-[6:09]')           as invoice_short,
       match('CRN-2024-000007', '{INV;CRN}-[4:09]-[6:09]')    as invoice_or_credit,
       match('INV-2024-000123/2', 'INV-[4:09]-[6:09]{/[%:09]}') as with_suffix
  from rdb$database;

select match('110 00', '### ##')                                as czech,
       match('12345', '{[5:09]-[4:09];[5:09]}')                 as zip,
       match('12345-6789', '{[5:09]-[4:09];[5:09]}')            as zip_plus_four,
       match('SW1A 1AA', '[1-2:AZ][09][:AZ;09] [09][2:AZ]')     as uk_long,
       match('M1 1AA', '[1-2:AZ][09][:AZ;09] [09][2:AZ]')       as uk_short
  from rdb$database;

select match('report.pdf', '*.pdf')                  as pdf,
       match('REPORT.PDF', '*.pdf')                  as pdf_upper,
       match('REPORT.PDF', '*.[pP][dD][fF]')         as pdf_any_case,
       match('IMG_0042.jpg', 'IMG\_####.{jpg;jpeg}') as camera,
       match('IMGX0042.jpg', 'IMG\_####.{jpg;jpeg}') as camera_no_underscore,
       match('backup-2024-02-29.tar.gz', 'backup-####-##-##.tar.gz') as dated_backup,
       match('README', '[%:!.]')                     as no_extension
  from rdb$database;

select match('+420 123 456 789', '+420[:\s][3:09][:\s][3:09][:\s][3:09]') as spaced,
       match('+420123456789', '+420[:\s][3:09][:\s][3:09][:\s][3:09]')    as unspaced,
       match('+420 12 3456 789', '+420[:\s][3:09][:\s][3:09][:\s][3:09]') as grouped_otherwise,
       match('(555) 123-4567', '(###) ###-####')                          as north_american
  from rdb$database;

create table documents (name varchar(40));
insert into documents values ('INV-2024-000123');
insert into documents values ('INV-2024-12');
insert into documents values ('ORD-2024-000001');
insert into documents values ('CRN-2023-000040');
commit;

select name from documents
 where match(name, '{INV;CRN}-[4:09]-[6:09]') = 1
 order by name;
