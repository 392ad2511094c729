-- Each function of the database and its kind: legacy, UDR, or psql for the stand-ins.
set heading off;
select trim(rdb$function_name) || ':' || iif(rdb$legacy_flag = 1, 'legacy', coalesce(trim(rdb$engine_name), 'psql'))
  from rdb$functions where rdb$system_flag = 0 order by 1;
