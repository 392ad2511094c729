-- The dependents go, and the foreign BLOB2SO.
drop view v; drop procedure p; drop table t; drop function BLOB2SO;
commit;
