-- A Firebird 3.0 database that uses vantor's legacy module as real
-- databases do, to be upgraded to Firebird 4.0 (scripts/upgradetest.sh).
-- The runner has declared the module with sql/vantor.sql. Beside those
-- declarations, functions the database's own developers declared under
-- names of their own, from the same entry points: another spelling of the
-- module's name, the NULL keyword (a NULL arrives as a null address), and
-- DP2DOW's SMALLINT result read as an INTEGER.
DECLARE EXTERNAL FUNCTION F_MATCH CSTRING(200), CSTRING(100)
  RETURNS SMALLINT BY VALUE ENTRY_POINT 'Match' MODULE_NAME 'libvantor';
DECLARE EXTERNAL FUNCTION F_WEEKDAY DOUBLE PRECISION
  RETURNS INTEGER BY VALUE ENTRY_POINT 'DP2DOW' MODULE_NAME 'libvantor.so';
DECLARE EXTERNAL FUNCTION YearOf DOUBLE PRECISION
  RETURNS SMALLINT BY VALUE ENTRY_POINT 'DP2Year' MODULE_NAME 'vantor';
DECLARE EXTERNAL FUNCTION F_PICK SMALLINT NULL, CSTRING(40) NULL, CSTRING(40) NULL
  RETURNS CSTRING(40) ENTRY_POINT 'IIF_S' MODULE_NAME 'libvantor';
DECLARE EXTERNAL FUNCTION F_SHARE DOUBLE PRECISION NULL, DOUBLE PRECISION NULL
  RETURNS DOUBLE PRECISION BY VALUE ENTRY_POINT 'DivDP' MODULE_NAME 'vantor';
commit;

-- Every kind of dependent: a computed column, a CHECK constraint, an
-- expression index, a view, a selectable procedure and a trigger.
create table invoice (
  id integer not null primary key,
  d date,
  ts timestamp,
  code varchar(30),
  mask varchar(30),
  flag smallint,
  amount double precision,
  label varchar(40),
  dp computed by (D2DP(d)),
  constraint invoice_code check (code is null or Match(code, 'INV-*') = 1));
create index invoice_dp on invoice computed by (D2DP(d));
create view invoice_2024 (id, in_2024, lower_code) as
  select id, F_MATCH(code, 'INV-2024-*'), ALC(code) from invoice;
set term ^;
create procedure invoice_weeks returns (id integer, ts_year smallint, weekday integer) as
begin
  for select id, DP2Year(TS2DP(ts)), F_WEEKDAY(D2DP(d)) from invoice order by id
    into :id, :ts_year, :weekday do suspend;
end^
create trigger invoice_label for invoice before insert or update as
begin
  new.label = IIF_S(new.flag, new.code, 'none');
end^
set term ;^
commit;

-- Rows with NULLs where the two modules' rules differ.
insert into invoice (id, d, ts, code, mask, flag, amount)
  values (1, DATE '2024-01-01', TIMESTAMP '2024-01-01 18:00', 'INV-2024-0001', 'INV-2024-*', 1, 100);
insert into invoice (id, d, ts, code, mask, flag, amount)
  values (2, DATE '2024-02-29', NULL, 'INV-2023-0002', 'INV-2024-*', 0, 50);
insert into invoice (id, d, ts, code, mask, flag, amount)
  values (3, NULL, TIMESTAMP '1999-12-31 23:59:59', NULL, '*', NULL, 7);
insert into invoice (id, d, ts, code, mask, flag, amount)
  values (4, DATE '2000-01-01', NULL, 'INV-X', NULL, -1, NULL);
commit;
