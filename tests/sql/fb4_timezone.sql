-- Firebird 4.0's time zones and Now. The runner starts the engine with the
-- process time zone UTC (TZ=UTC). Now reads the server process's local
-- time, in both modules; LOCALTIMESTAMP and CURRENT_TIMESTAMP follow the
-- session's time zone (SET TIME ZONE). Each difference is in minutes,
-- rounded, so that the statement's own run time does not show.
set list on;

-- A new session takes the process's zone: all three agree. A process that
-- takes its zone from /etc/localtime names UTC Etc/UTC, the same zone.
select iif(rdb$get_context('SYSTEM', 'SESSION_TIMEZONE') = 'Etc/UTC', 'UTC',
           rdb$get_context('SYSTEM', 'SESSION_TIMEZONE')) as session_zone,
       cast(datediff(second from now() to localtimestamp) / 60e0 as integer) as localtimestamp_minus_now,
       extract(timezone_hour from current_timestamp) as current_timestamp_zone_hour
  from rdb$database;

-- A session nine hours east of the process: LOCALTIMESTAMP moves with the
-- session, Now stays on the process's clock. CURRENT_TIMESTAMP carries the
-- session's zone; its wall time at UTC, the process's zone, is Now's.
set time zone 'Asia/Tokyo';
select rdb$get_context('SYSTEM', 'SESSION_TIMEZONE') as session_zone,
       cast(datediff(second from now() to localtimestamp) / 60e0 as integer) as localtimestamp_minus_now,
       extract(timezone_hour from current_timestamp) as current_timestamp_zone_hour,
       cast(datediff(second from now() to cast(substring(
         cast(current_timestamp at time zone 'UTC' as varchar(60)) from 1 for 24) as timestamp)) / 60e0
         as integer) as current_at_utc_minus_now
  from rdb$database;

-- Five hours west: the same, the other way.
set time zone '-05:00';
select rdb$get_context('SYSTEM', 'SESSION_TIMEZONE') as session_zone,
       cast(datediff(second from now() to localtimestamp) / 60e0 as integer) as localtimestamp_minus_now,
       cast(datediff(second from now() to cast(substring(
         cast(current_timestamp at time zone 'UTC' as varchar(60)) from 1 for 24) as timestamp)) / 60e0
         as integer) as current_at_utc_minus_now
  from rdb$database;

-- Back to the process's zone: Now and LOCALTIMESTAMP agree again. A query
-- that wants the session's local time uses LOCALTIMESTAMP; one that wants
-- the server machine's clock whatever the session says uses Now.
set time zone local;
select cast(datediff(second from now() to localtimestamp) / 60e0 as integer) as localtimestamp_minus_now
  from rdb$database;
