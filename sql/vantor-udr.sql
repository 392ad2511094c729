/* vantor: declares every function of the UDR module libvantor_udr.so in a
   database, or moves a database from the legacy module to it in place.

     isql-fb -bail -user SYSDBA -password <password> \
       -i /usr/share/vantor/vantor-udr.sql 127.0.0.1/3050:/path/to/db.fdb

   The server loads the module from a folder of its UDR engine's path
   (plugins/udr in plugins.conf). The functions take the same names as the
   legacy module's, so queries stay as they are.

   All or nothing: the whole work is one statement in one transaction, so a
   failure anywhere leaves the database exactly as it was, and isql exits
   with status 1. Running it again is harmless.

   Each function is declared with CREATE OR ALTER FUNCTION ... ENGINE UDR,
   which replaces a legacy declaration of this library (vantor.sql) in
   place: views, procedures, triggers, computed columns, CHECK constraints
   and expression indexes that use it keep working. A name that something
   other than vantor declares makes the script fail and change nothing.
   The legacy entry points that an earlier move back declared as
   VANTOR$<name> are dropped.

   What changes for callers: SQL NULL in any argument gives NULL, for every
   function; the legacy module reads a missing number as 0 and a missing
   string as empty.

   Text lengths. The engine copies and clears every text argument and
   result at its declared length on every call, whatever the value holds,
   so the texts are declared as long as most databases need and no longer:
   Match's text, ALC's text and result and IIF_S's texts and result take
   8000 bytes, Match's mask 1000. A length chosen when the script runs
   replaces these: before running it, in the same isql session,

     SELECT RDB$SET_CONTEXT('USER_SESSION', 'VANTOR_TEXT_BYTES', 32765) FROM RDB$DATABASE;
     SELECT RDB$SET_CONTEXT('USER_SESSION', 'VANTOR_MASK_BYTES', 32765) FROM RDB$DATABASE;
     INPUT /usr/share/vantor/vantor-udr.sql;

   Each is from 1 to 32765; 32765 takes every text the legacy module takes.
   What a length costs a call, per engine, is in docs/ENGINE-LENGTHS.md: on
   the i386 3.0 engine a length just under a multiple of 4096 bytes (4095,
   8191, ... 32765) costs several times a round one (8000, 32000). A text
   longer than its declaration is the engine's "string right truncation"
   error, never a cut or wrong result. In a signature, VARCHAR({TEXT}) and
   VARCHAR({MASK}) stand for the most characters of the database's default
   character set that fit in that many bytes (the bytes in single-byte
   character sets, a quarter in UTF8), VARCHAR({TEXT_1250}) for the text
   length in WIN1250 characters. */

SET AUTODDL OFF;
SET BAIL ON;
SET TERM ^;
EXECUTE BLOCK AS
  DECLARE BytesPerChar INTEGER;
  DECLARE PROCEDURE Put (Name VARCHAR(31), Signature VARCHAR(1000), BytesPerChar INTEGER) AS
    DECLARE Key VARCHAR(31);
    DECLARE IsLegacy SMALLINT;
    DECLARE Engine VARCHAR(63);
    DECLARE Module VARCHAR(255);
    DECLARE Entry VARCHAR(255);
    DECLARE TextBytes INTEGER;
    DECLARE MaskBytes INTEGER;
  BEGIN
    Key = UPPER(Name);
    TextBytes = COALESCE(RDB$GET_CONTEXT('USER_SESSION', 'VANTOR_TEXT_BYTES'), 8000);
    MaskBytes = COALESCE(RDB$GET_CONTEXT('USER_SESSION', 'VANTOR_MASK_BYTES'), 1000);
    /* Out of range stops the script here, with this text in the message. */
    IF (TextBytes NOT BETWEEN 1 AND 32765 OR MaskBytes NOT BETWEEN 1 AND 32765) THEN
      TextBytes = CAST('VANTOR_TEXT_BYTES and VANTOR_MASK_BYTES must be 1 to 32765' AS INTEGER);
    Signature = REPLACE(REPLACE(REPLACE(Signature,
      '{TEXT}', MAXVALUE(1, TextBytes / BytesPerChar)), '{MASK}', MAXVALUE(1, MaskBytes / BytesPerChar)),
      '{TEXT_1250}', TextBytes);
    IsLegacy = NULL;
    SELECT COALESCE(RDB$LEGACY_FLAG, 0), COALESCE(TRIM(RDB$ENGINE_NAME), ''), COALESCE(TRIM(RDB$MODULE_NAME), ''), COALESCE(TRIM(RDB$ENTRYPOINT), '')
      FROM RDB$FUNCTIONS WHERE RDB$FUNCTION_NAME = :Key AND RDB$PACKAGE_NAME IS NULL
      INTO IsLegacy, Engine, Module, Entry;
    /* Only declarations of this library are replaced: the legacy module's,
       this module's, and the stand-ins of vantor.sql. Anything else fails
       here with "Function ... already exists". */
    IF (IsLegacy IS NOT NULL
        AND NOT (IsLegacy = 1 AND Module = 'vantor')
        AND NOT (Engine = 'UDR' AND Entry STARTING WITH 'vantor_udr!')
        AND NOT (Engine = '' AND EXISTS (SELECT 1 FROM RDB$FUNCTIONS
                 WHERE RDB$FUNCTION_NAME = 'VANTOR$' || :Key AND RDB$MODULE_NAME = 'vantor'))) THEN
      EXECUTE STATEMENT 'CREATE FUNCTION ' || Key || ' ' || Signature
        || ' EXTERNAL NAME ''vantor_udr!' || Name || ''' ENGINE UDR';
    EXECUTE STATEMENT 'CREATE OR ALTER FUNCTION ' || Key || ' ' || Signature
      || ' EXTERNAL NAME ''vantor_udr!' || Name || ''' ENGINE UDR';
    IF (EXISTS (SELECT 1 FROM RDB$FUNCTIONS
        WHERE RDB$FUNCTION_NAME = 'VANTOR$' || :Key AND RDB$MODULE_NAME = 'vantor')) THEN
      EXECUTE STATEMENT 'DROP EXTERNAL FUNCTION VANTOR$' || Key;
  END
BEGIN
  SELECT c.RDB$BYTES_PER_CHARACTER FROM RDB$DATABASE d JOIN RDB$CHARACTER_SETS c
    ON c.RDB$CHARACTER_SET_NAME = COALESCE(d.RDB$CHARACTER_SET_NAME, 'NONE')
    INTO BytesPerChar;

  /* Date and time: day-number conversions */
  EXECUTE PROCEDURE Put('D2DP', '(D DATE) RETURNS DOUBLE PRECISION', BytesPerChar);
  EXECUTE PROCEDURE Put('DP2D', '(DP DOUBLE PRECISION) RETURNS DATE', BytesPerChar);
  EXECUTE PROCEDURE Put('T2DP', '(T TIME) RETURNS DOUBLE PRECISION', BytesPerChar);
  EXECUTE PROCEDURE Put('DP2T', '(DP DOUBLE PRECISION) RETURNS TIME', BytesPerChar);
  EXECUTE PROCEDURE Put('TS2DP', '(TS TIMESTAMP) RETURNS DOUBLE PRECISION', BytesPerChar);
  EXECUTE PROCEDURE Put('DP2TS', '(DP DOUBLE PRECISION) RETURNS TIMESTAMP', BytesPerChar);

  /* Date and time: calendar fields, weekday filter, current timestamp */
  EXECUTE PROCEDURE Put('DP2Day', '(DP DOUBLE PRECISION) RETURNS SMALLINT', BytesPerChar);
  EXECUTE PROCEDURE Put('DP2Month', '(DP DOUBLE PRECISION) RETURNS SMALLINT', BytesPerChar);
  EXECUTE PROCEDURE Put('DP2Year', '(DP DOUBLE PRECISION) RETURNS SMALLINT', BytesPerChar);
  EXECUTE PROCEDURE Put('DP2DOW', '(DP DOUBLE PRECISION) RETURNS SMALLINT', BytesPerChar);
  EXECUTE PROCEDURE Put('DPDOW', '(DP DOUBLE PRECISION, DAYS VARCHAR(255)) RETURNS SMALLINT', BytesPerChar);
  EXECUTE PROCEDURE Put('Now', 'RETURNS TIMESTAMP', BytesPerChar);

  /* Wildcard matching: the text and the mask in the database's default
     character set, byte for byte. */
  EXECUTE PROCEDURE Put('Match', '(T VARCHAR({TEXT}), MASK VARCHAR({MASK})) RETURNS SMALLINT', BytesPerChar);

  /* Text and scalar functions. ALC folds code-page-1250 bytes, so its text
     is WIN1250 whatever the database's default character set: the engine
     converts the argument to code page 1250 and the result back. IIF_S
     passes its bytes through unread, in the database's default character
     set. */
  EXECUTE PROCEDURE Put('ALC', '(T VARCHAR({TEXT_1250}) CHARACTER SET WIN1250) RETURNS VARCHAR({TEXT_1250}) CHARACTER SET WIN1250', BytesPerChar);
  EXECUTE PROCEDURE Put('IIF_D', '(C SMALLINT, A DATE, B DATE) RETURNS DATE', BytesPerChar);
  EXECUTE PROCEDURE Put('IIF_T', '(C SMALLINT, A TIME, B TIME) RETURNS TIME', BytesPerChar);
  EXECUTE PROCEDURE Put('IIF_TS', '(C SMALLINT, A TIMESTAMP, B TIMESTAMP) RETURNS TIMESTAMP', BytesPerChar);
  EXECUTE PROCEDURE Put('IIF_S', '(C SMALLINT, A VARCHAR({TEXT}), B VARCHAR({TEXT})) RETURNS VARCHAR({TEXT})', BytesPerChar);
  EXECUTE PROCEDURE Put('IIF_I', '(C SMALLINT, A INTEGER, B INTEGER) RETURNS INTEGER', BytesPerChar);
  EXECUTE PROCEDURE Put('IIF_DP', '(C SMALLINT, A DOUBLE PRECISION, B DOUBLE PRECISION) RETURNS DOUBLE PRECISION', BytesPerChar);
  EXECUTE PROCEDURE Put('DivDP', '(A DOUBLE PRECISION, B DOUBLE PRECISION) RETURNS DOUBLE PRECISION', BytesPerChar);

  /* BLOB readers */
  EXECUTE PROCEDURE Put('BLOB2I', '(B BLOB) RETURNS INTEGER', BytesPerChar);
  EXECUTE PROCEDURE Put('BLOB2SO', '(B BLOB, RECORD_KEY INTEGER, VALUE_LIMIT INTEGER) RETURNS INTEGER', BytesPerChar);
END^
SET TERM ;^
COMMIT;
