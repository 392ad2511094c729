/* Generated from src/frame/functions.toml by `python3 scripts/functions.py
   write`: do not edit it, edit the table. Drops the functions. */

/* vantor: drops every function that vantor-udr.sql declares.

   isql-fb -bail -user SYSDBA -password <password> \
     -i /usr/share/vantor/vantor-udr-drop.sql 127.0.0.1/3050:/path/to/db.fdb

   It drops the functions whichever module declares them (vantor.sql or
   vantor-udr.sql), so either drop script does the job; a name that
   something other than vantor declares is left alone. Running it again is
   harmless.

   All or nothing: while a view, procedure, trigger, computed column, CHECK
   constraint or index still uses one of the functions, the engine refuses
   to drop it (cannot delete ... there are N dependencies); the script then
   fails, drops nothing at all and isql exits with status 1. */

SET AUTODDL OFF;
SET BAIL ON;
SET TERM ^;
EXECUTE BLOCK AS
  DECLARE Name VARCHAR(31);
  DECLARE IsLegacy SMALLINT;
  DECLARE Engine VARCHAR(63);
  DECLARE Module VARCHAR(255);
  DECLARE Entry VARCHAR(255);
BEGIN
  FOR SELECT n FROM (
      SELECT 'D2DP' n FROM RDB$DATABASE UNION ALL SELECT 'DP2D' FROM RDB$DATABASE
      UNION ALL SELECT 'T2DP' FROM RDB$DATABASE UNION ALL SELECT 'DP2T' FROM RDB$DATABASE
      UNION ALL SELECT 'TS2DP' FROM RDB$DATABASE UNION ALL SELECT 'DP2TS' FROM RDB$DATABASE
      UNION ALL SELECT 'DP2DAY' FROM RDB$DATABASE UNION ALL SELECT 'DP2MONTH' FROM RDB$DATABASE
      UNION ALL SELECT 'DP2YEAR' FROM RDB$DATABASE UNION ALL SELECT 'DP2DOW' FROM RDB$DATABASE
      UNION ALL SELECT 'DPDOW' FROM RDB$DATABASE UNION ALL SELECT 'NOW' FROM RDB$DATABASE
      UNION ALL SELECT 'MATCH' FROM RDB$DATABASE UNION ALL SELECT 'ALC' FROM RDB$DATABASE
      UNION ALL SELECT 'IIF_D' FROM RDB$DATABASE UNION ALL SELECT 'IIF_T' FROM RDB$DATABASE
      UNION ALL SELECT 'IIF_TS' FROM RDB$DATABASE UNION ALL SELECT 'IIF_S' FROM RDB$DATABASE
      UNION ALL SELECT 'IIF_I' FROM RDB$DATABASE UNION ALL SELECT 'IIF_DP' FROM RDB$DATABASE
      UNION ALL SELECT 'DIVDP' FROM RDB$DATABASE UNION ALL SELECT 'BLOB2I' FROM RDB$DATABASE
      UNION ALL SELECT 'BLOB2SO' FROM RDB$DATABASE) INTO Name DO
  BEGIN
    IsLegacy = NULL;
    SELECT COALESCE(RDB$LEGACY_FLAG, 0), COALESCE(TRIM(RDB$ENGINE_NAME), ''), COALESCE(TRIM(RDB$MODULE_NAME), ''), COALESCE(TRIM(RDB$ENTRYPOINT), '')
      FROM RDB$FUNCTIONS WHERE RDB$FUNCTION_NAME = :Name AND RDB$PACKAGE_NAME IS NULL
      INTO IsLegacy, Engine, Module, Entry;
    /* The legacy declaration, the UDR one, or the stand-in PSQL function
       that vantor.sql makes when it moves a database back. */
    IF ((IsLegacy = 1 AND Module = 'vantor')
        OR (Engine = 'UDR' AND Entry STARTING WITH 'vantor_udr!')
        OR (IsLegacy = 0 AND Engine = '' AND EXISTS (SELECT 1 FROM RDB$FUNCTIONS
            WHERE RDB$FUNCTION_NAME = 'VANTOR$' || :Name AND RDB$MODULE_NAME = 'vantor'))) THEN
      EXECUTE STATEMENT 'DROP FUNCTION ' || Name;
    IF (EXISTS (SELECT 1 FROM RDB$FUNCTIONS
        WHERE RDB$FUNCTION_NAME = 'VANTOR$' || :Name AND RDB$MODULE_NAME = 'vantor')) THEN
      EXECUTE STATEMENT 'DROP EXTERNAL FUNCTION VANTOR$' || Name;
  END
END^
SET TERM ;^
COMMIT;
