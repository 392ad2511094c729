-- What a database upgraded to Firebird 4.0 must still answer, byte for
-- byte as on Firebird 3.0 with the legacy module (scripts/upgradetest.sh).
set list on;

-- Each row through the functions, NULLs included: a NULL argument reads
-- as zero or empty, as the legacy declaration passed it.
select id, dp, DP2Year(TS2DP(ts)) as ts_year, DPDOW(D2DP(d), '135') as mon_wed_fri,
       DP2DOW(D2DP(d)) as weekday, IIF_S(flag, code, 'none') as code_or_none,
       DivDP(amount, flag) as per_flag, F_SHARE(amount, flag) as share, label
  from invoice order by id;
select count(*) as unmatched from invoice where Match(code, mask) = 0;

-- The NULL keyword: a null address, and NULL where the legacy call returned
-- one; a user-named function of a moved function's result.
select YearOf(D2DP(NULL)) as year_of_null, ALC(NULL) as alc_null, IIF_S(1, NULL, 'b') as iif_s_null,
       F_PICK(1, NULL, 'b') as pick_null, F_PICK(NULL, 'a', 'b') as pick_flag_null,
       DP2TS(NULL) as dp2ts_null, F_SHARE(NULL, NULL) as share_null
  from rdb$database;

-- The view, the procedure, and the expression index, which the plan names:
-- an inactive index makes these two queries fail.
select * from invoice_2024 order by id;
select * from invoice_weeks;
select id from invoice plan (invoice order invoice_dp) order by D2DP(d);
select count(*) as on_leap_day from invoice where D2DP(d) = 45351 plan (invoice index (invoice_dp));
select coalesce(rdb$index_inactive, 0) as index_inactive from rdb$indices where rdb$index_name = 'INVOICE_DP';

-- A new row: the trigger and the CHECK constraint call their functions.
insert into invoice (id, d, code, flag) values (5, DATE '2024-03-01', 'INV-2024-0005', NULL);
select id, dp, label from invoice where id = 5;
rollback;
