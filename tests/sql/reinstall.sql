-- Install, use, drop and install again on one database. The runner has
-- already run vantor.sql.
set list on;
select dp2ts(36526.75) as installed from rdb$database;
select count(*) as declared from rdb$functions where rdb$module_name = 'vantor';
commit;

set echo off;
input ../../sql/vantor-drop.sql;
-- The scripts stop a session at its first error; this one goes on.
set bail off;
set echo on;
commit;
select count(*) as after_drop from rdb$functions where rdb$module_name = 'vantor';
-- A dropped function is gone.
select dp2ts(36526.75) from rdb$database;

set echo off;
input ../../sql/vantor.sql;
set bail off;
set echo on;
commit;
select count(*) as reinstalled from rdb$functions where rdb$module_name = 'vantor';
select dp2ts(36526.75) as works_again from rdb$database;
