-- Dependents of six kinds on vantor's functions: computed column, CHECK constraint, expression index,
-- view, procedure, trigger.
create table t (id integer, d date, code varchar(30), dp computed by (D2DP(d)),
  constraint t_code check (Match(code, 'INV-*') = 1));
create index t_dp on t computed by (D2DP(d));
create view v as select id, D2DP(d) as x, Match(code, 'INV-9*') as m, IIF_S(1, code, 'x') as s from t;
set term ^;
create procedure p returns (x double precision) as begin for select D2DP(d) from t order by id into :x do suspend; end^
create trigger t_mark for t before insert as begin if (Match(new.code, 'INV-9*') = 1) then new.code = new.code || '!'; end^
set term ;^
commit;
