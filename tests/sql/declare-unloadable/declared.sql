-- What a database declares of vantor: legacy functions, UDR functions, exceptions.
set list on;
select count(*) as legacy from rdb$functions where rdb$module_name = 'vantor';
select count(*) as udr from rdb$functions where rdb$entrypoint starting with 'vantor_udr!';
select count(*) as exceptions from rdb$exceptions where rdb$exception_name starting with 'VANTOR';
