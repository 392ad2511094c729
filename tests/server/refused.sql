-- A code outside the CHECK constraint's mask: refused, whichever module.
insert into t (id, d, code) values (99, DATE '2000-01-01', 'X');
