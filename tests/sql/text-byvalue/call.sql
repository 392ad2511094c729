-- The declarations as restored (0 by value, 1 by reference) and calls of them.
set list on;
-- Mechanism of the result (position 0) and each argument: 0 by value, 1 by reference.
select function_name, cast(list(position_mechanism, ' ') as varchar(40)) as position_mechanism
  from (select trim(rdb$function_name) as function_name,
               rdb$argument_position || ':' || rdb$mechanism as position_mechanism
          from rdb$function_arguments
         where rdb$function_name in ('IIF_I_BYVAL', 'IIF_D_BYVAL', 'IIF_T_BYVAL')
         order by 1, rdb$argument_position)
 group by 1 order by 1;
select c, iif_i_byval(c, -123456789, 2147483647) as i,
       iif_d_byval(c, date '2000-01-01', date '0001-01-01') as d,
       iif_t_byval(c, time '00:00:00.0001', time '23:59:59.9999') as t
  from (select 1 as c from rdb$database union all select 0 from rdb$database
        union all select -1 from rdb$database union all select -32768 from rdb$database
        union all select 32767 from rdb$database);
