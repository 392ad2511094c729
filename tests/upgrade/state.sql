-- What a database declares, and whether its expression index is active
-- (scripts/upgradetest.sh compares it before and after a move).
set list on;
select trim(rdb$function_name) || ' ' || iif(rdb$legacy_flag = 1, 'legacy', trim(rdb$engine_name)) as function_
  from rdb$functions where rdb$system_flag = 0 order by 1;
select rdb$index_inactive as index_inactive from rdb$indices where rdb$index_name = 'INVOICE_DP';
