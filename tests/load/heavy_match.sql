-- Heavy Match calls for the load test's memory watch: the masks that take
-- the matcher to its per-call memory bound (groups nested 41 deep over a
-- 32 KiB text, about 16 MiB of tables), one just past it (0 from the legacy
-- module), and the long runs that once ran into the old cap.
set list on;
select match(rpad('', 32764, 'a') || 'b',
             rpad('', 40, '{') || '{*a*a*a*a*a*a*a*a*c;*b}' || rpad('', 40, '}')) as nested_41,
       match(rpad('', 32764, 'a') || 'b',
             rpad('', 41, '{') || '{*a*a*a*a*a*a*a*a*c;*b}' || rpad('', 41, '}')) as nested_42,
       match(rpad('', 20000, 'a'), rpad('', 16000, '_') || rpad('', 16000, 'a')) as long_runs,
       match(rpad('', 32765, 'a'), rpad('', 3996, '[1:a]*') || '{b;*}') as runs_then_group
  from rdb$database;
