-- How many functions of each kind (legacy, UDR, psql for the stand-ins) the database declares.
set heading off;
select kind || '=' || count(*) from (select iif(rdb$legacy_flag = 1, 'legacy', coalesce(trim(rdb$engine_name), 'psql'))
  as kind from rdb$functions where rdb$system_flag = 0) group by kind order by kind;
