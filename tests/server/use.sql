-- Inserts row @N@ (the trigger and the CHECK constraint run), then reads every dependent, and what NULL gives
-- (the legacy rules' 1, which a move keeps). The expected output of row N is use_N.out.
insert into t (id, d, code) values (@N@, DATE '2000-01-01' + @N@, 'INV-9@N@');
commit;
set list on;
select count(*) as rows_, cast(sum(dp) as integer) as computed from t;
select count(*) as by_index from t where D2DP(d) = 36526 + @N@;
select cast(sum(x) as integer) as view_x, sum(m) as view_m, max(s) as view_s from v;
select cast(sum(x) as integer) as procedure_x from p;
select Match(NULL, '') as match_null, DPDOW(0, NULL) as dpdow_null from rdb$database;
