-- BLOB2SO declared by something else in place of vantor's.
drop function BLOB2SO;
commit;
set term ^;
create or alter function BLOB2SO (B BLOB, K INTEGER, L INTEGER) returns integer as begin return -1; end^
set term ;^
commit;
