-- With kinds.sql, what must not change when a move or a drop fails.
set list on;
select count(*) as rows_, cast(sum(dp) as integer) as computed from t;
select * from v order by id;
select Match(NULL, '') as match_null from rdb$database;
