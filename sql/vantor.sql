/* Generated from src/frame/functions.toml by `python3 scripts/functions.py
   write`: do not edit it, edit the table. Declares the legacy module's
   functions. */

/* vantor: declares every function of the legacy UDF module libvantor.so in
   a database, or moves a database from the UDR module to it.

     isql-fb -bail -user SYSDBA -password <password> \
       -i /usr/share/vantor/vantor.sql 127.0.0.1/3050:/path/to/db.fdb

   The server must allow the library's folder (UdfAccess in firebird.conf).

   All or nothing: the whole work is one statement in one transaction, so a
   failure anywhere leaves the database exactly as it was, and isql exits
   with status 1. Before it commits, the script calls a function of the
   module: when the server cannot load it (refused by UdfAccess, missing, or
   of another architecture) the script fails and changes nothing. Running
   it again is harmless.

   For each of the 23 names:
   - not declared: it is declared (DECLARE EXTERNAL FUNCTION);
   - declared by this module already: left as it is;
   - declared by the UDR module (vantor-udr.sql) and used by nothing: it is
     dropped and declared again as a legacy function;
   - declared by the UDR module and used by views, procedures, triggers,
     computed columns, CHECK constraints or expression indexes: the engine
     has no statement that turns a UDR declaration back into a legacy one
     in place (DECLARE says the function exists, ALTER EXTERNAL FUNCTION
     refuses new-style functions, DROP refuses while others depend on it).
     So the legacy entry point is declared as VANTOR$<name>, and <name>
     becomes a one-line PSQL function with the UDR declaration's arguments
     that calls it: every dependent keeps working, with the legacy results
     and NULL rules. vantor-udr.sql turns it back into the UDR function in
     place and drops VANTOR$<name>;
   - declared by something else: the script fails (Function ... already
     exists) and changes nothing.

   Text lengths: CSTRING({N}) stands for the most characters of the
   database's default character set that fit in N bytes: N in single-byte
   character sets (WIN1250, ISO8859_1, NONE...), N / 4 in UTF8, N / 3 in
   UNICODE_FSS. ALC's text is WIN1250 whatever the database's character set:
   the engine converts the argument to code page 1250 and the result back. */

SET AUTODDL OFF;
SET BAIL ON;
SET TERM ^;
EXECUTE BLOCK AS
  DECLARE BytesPerChar INTEGER;
  DECLARE Answer INTEGER;
  /* Put declares one function; Legacy is its DECLARE EXTERNAL FUNCTION
     shape (arguments and result), Signature and Args the PSQL function that
     stands in for a UDR declaration others depend on. */
  DECLARE PROCEDURE Put (Name VARCHAR(31), Legacy VARCHAR(1000),
                         Signature VARCHAR(1000), Args VARCHAR(100),
                         BytesPerChar INTEGER) AS
    DECLARE Key VARCHAR(31);
    DECLARE IsLegacy SMALLINT;
    DECLARE Engine VARCHAR(63);
    DECLARE Module VARCHAR(255);
    DECLARE Entry VARCHAR(255);
    DECLARE MaskBytes INTEGER;
    DECLARE TextBytes INTEGER;
  BEGIN
    Key = UPPER(Name);
    MaskBytes = COALESCE(RDB$GET_CONTEXT('USER_SESSION', 'VANTOR_MASK_BYTES'), 1000);
    TextBytes = COALESCE(RDB$GET_CONTEXT('USER_SESSION', 'VANTOR_TEXT_BYTES'), 8000);
    IF (MaskBytes NOT BETWEEN 1 AND 32765 OR TextBytes NOT BETWEEN 1 AND 32765) THEN
      MaskBytes = CAST('VANTOR_MASK_BYTES and VANTOR_TEXT_BYTES must be 1 to 32765' AS INTEGER);
    Legacy = REPLACE(REPLACE(Legacy, '{32765}', 32765 / BytesPerChar), '{32767}', 32767 / BytesPerChar);
    Signature = REPLACE(REPLACE(REPLACE(REPLACE(Signature, '{MASK}', MAXVALUE(1, MaskBytes / BytesPerChar)), '{MASK_BYTES}', MaskBytes), '{TEXT}', MAXVALUE(1, TextBytes / BytesPerChar)), '{TEXT_BYTES}', TextBytes);
    IsLegacy = NULL;
    SELECT COALESCE(RDB$LEGACY_FLAG, 0), COALESCE(TRIM(RDB$ENGINE_NAME), ''), COALESCE(TRIM(RDB$MODULE_NAME), ''), COALESCE(TRIM(RDB$ENTRYPOINT), '')
      FROM RDB$FUNCTIONS WHERE RDB$FUNCTION_NAME = :Key AND RDB$PACKAGE_NAME IS NULL
      INTO IsLegacy, Engine, Module, Entry;
    IF (IsLegacy = 1 AND Module = 'vantor') THEN
      EXIT;
    /* The stand-in PSQL function of an earlier move. */
    IF (IsLegacy = 0 AND Engine = '' AND EXISTS (SELECT 1 FROM RDB$FUNCTIONS
        WHERE RDB$FUNCTION_NAME = 'VANTOR$' || :Key AND RDB$MODULE_NAME = 'vantor')) THEN
      EXIT;
    IF (IsLegacy = 0 AND Engine = 'UDR' AND Entry STARTING WITH 'vantor_udr!') THEN
    BEGIN
      IF (EXISTS (SELECT 1 FROM RDB$DEPENDENCIES
          WHERE RDB$DEPENDED_ON_NAME = :Key AND RDB$DEPENDED_ON_TYPE = 15)) THEN
      BEGIN
        EXECUTE STATEMENT 'DECLARE EXTERNAL FUNCTION VANTOR$' || Key || ' ' || Legacy
          || ' ENTRY_POINT ''' || Name || ''' MODULE_NAME ''vantor''';
        EXECUTE STATEMENT 'CREATE OR ALTER FUNCTION ' || Key || ' ' || Signature
          || ' AS BEGIN RETURN VANTOR$' || Key || '(' || Args || '); END';
        EXIT;
      END
      EXECUTE STATEMENT 'DROP FUNCTION ' || Key;
    END
    /* Not declared, or a UDR declaration just dropped; anything else makes
       this fail with "Function ... already exists". */
    EXECUTE STATEMENT 'DECLARE EXTERNAL FUNCTION ' || Name || ' ' || Legacy
      || ' ENTRY_POINT ''' || Name || ''' MODULE_NAME ''vantor''';
  END
BEGIN
  SELECT c.RDB$BYTES_PER_CHARACTER FROM RDB$DATABASE d JOIN RDB$CHARACTER_SETS c
    ON c.RDB$CHARACTER_SET_NAME = COALESCE(d.RDB$CHARACTER_SET_NAME, 'NONE')
    INTO BytesPerChar;

  /* Date and time: day-number conversions */
  EXECUTE PROCEDURE Put('D2DP', 'DATE RETURNS DOUBLE PRECISION BY VALUE',
    '(D DATE) RETURNS DOUBLE PRECISION', 'D', BytesPerChar);
  EXECUTE PROCEDURE Put('DP2D', 'DOUBLE PRECISION RETURNS DATE BY VALUE',
    '(DP DOUBLE PRECISION) RETURNS DATE', 'DP', BytesPerChar);
  EXECUTE PROCEDURE Put('T2DP', 'TIME RETURNS DOUBLE PRECISION BY VALUE',
    '(T TIME) RETURNS DOUBLE PRECISION', 'T', BytesPerChar);
  EXECUTE PROCEDURE Put('DP2T', 'DOUBLE PRECISION RETURNS TIME BY VALUE',
    '(DP DOUBLE PRECISION) RETURNS TIME', 'DP', BytesPerChar);
  EXECUTE PROCEDURE Put('TS2DP', 'TIMESTAMP RETURNS DOUBLE PRECISION BY VALUE',
    '(TS TIMESTAMP) RETURNS DOUBLE PRECISION', 'TS', BytesPerChar);
  /* The legacy entry point writes the timestamp over its argument and
     returns its address. */
  EXECUTE PROCEDURE Put('DP2TS', 'DOUBLE PRECISION RETURNS TIMESTAMP',
    '(DP DOUBLE PRECISION) RETURNS TIMESTAMP', 'DP', BytesPerChar);

  /* Date and time: calendar fields, weekday filter, current timestamp */
  EXECUTE PROCEDURE Put('DP2Day', 'DOUBLE PRECISION RETURNS SMALLINT BY VALUE',
    '(DP DOUBLE PRECISION) RETURNS SMALLINT', 'DP', BytesPerChar);
  EXECUTE PROCEDURE Put('DP2Month', 'DOUBLE PRECISION RETURNS SMALLINT BY VALUE',
    '(DP DOUBLE PRECISION) RETURNS SMALLINT', 'DP', BytesPerChar);
  EXECUTE PROCEDURE Put('DP2Year', 'DOUBLE PRECISION RETURNS SMALLINT BY VALUE',
    '(DP DOUBLE PRECISION) RETURNS SMALLINT', 'DP', BytesPerChar);
  /* The legacy entry point fills the whole 32-bit result word, so INTEGER
     BY VALUE reads the same weekday. */
  EXECUTE PROCEDURE Put('DP2DOW', 'DOUBLE PRECISION RETURNS SMALLINT BY VALUE',
    '(DP DOUBLE PRECISION) RETURNS SMALLINT', 'DP', BytesPerChar);
  EXECUTE PROCEDURE Put('DPDOW', 'DOUBLE PRECISION, CSTRING(255) RETURNS SMALLINT BY VALUE',
    '(DP DOUBLE PRECISION, DAYS VARCHAR(255)) RETURNS SMALLINT', 'DP, DAYS', BytesPerChar);
  EXECUTE PROCEDURE Put('Now', 'RETURNS TIMESTAMP FREE_IT',
    'RETURNS TIMESTAMP', '', BytesPerChar);

  /* Wildcard matching. The text and the mask in the database's default
     character set, byte for byte. */
  EXECUTE PROCEDURE Put('Match', 'CSTRING({32765}), CSTRING({32765}) RETURNS SMALLINT BY VALUE',
    '(T VARCHAR({TEXT}), MASK VARCHAR({MASK})) RETURNS SMALLINT', 'T, MASK', BytesPerChar);

  /* Text and scalar functions. ALC folds code-page-1250 bytes, so its text
     is WIN1250 whatever the database's default character set: the engine
     converts the argument to code page 1250 and the result back. IIF_S
     passes its bytes through unread, in the database's default character
     set. */
  /* NULL text arrives at the legacy entry point as a null address and gives
     NULL. */
  EXECUTE PROCEDURE Put('ALC', 'CSTRING(32767) CHARACTER SET WIN1250 NULL RETURNS CSTRING(32767) CHARACTER SET WIN1250 FREE_IT',
    '(T VARCHAR({TEXT_BYTES}) CHARACTER SET WIN1250) RETURNS VARCHAR({TEXT_BYTES}) CHARACTER SET WIN1250', 'T', BytesPerChar);
  EXECUTE PROCEDURE Put('IIF_D', 'SMALLINT, DATE, DATE RETURNS DATE',
    '(C SMALLINT, A DATE, B DATE) RETURNS DATE', 'C, A, B', BytesPerChar);
  EXECUTE PROCEDURE Put('IIF_T', 'SMALLINT, TIME, TIME RETURNS TIME',
    '(C SMALLINT, A TIME, B TIME) RETURNS TIME', 'C, A, B', BytesPerChar);
  EXECUTE PROCEDURE Put('IIF_TS', 'SMALLINT, TIMESTAMP, TIMESTAMP RETURNS TIMESTAMP',
    '(C SMALLINT, A TIMESTAMP, B TIMESTAMP) RETURNS TIMESTAMP', 'C, A, B', BytesPerChar);
  EXECUTE PROCEDURE Put('IIF_S', 'SMALLINT, CSTRING({32767}), CSTRING({32767}) RETURNS CSTRING({32767})',
    '(C SMALLINT, A VARCHAR({TEXT}), B VARCHAR({TEXT})) RETURNS VARCHAR({TEXT})', 'C, A, B', BytesPerChar);
  EXECUTE PROCEDURE Put('IIF_I', 'SMALLINT, INTEGER, INTEGER RETURNS INTEGER',
    '(C SMALLINT, A INTEGER, B INTEGER) RETURNS INTEGER', 'C, A, B', BytesPerChar);
  EXECUTE PROCEDURE Put('IIF_DP', 'SMALLINT, DOUBLE PRECISION, DOUBLE PRECISION RETURNS DOUBLE PRECISION',
    '(C SMALLINT, A DOUBLE PRECISION, B DOUBLE PRECISION) RETURNS DOUBLE PRECISION', 'C, A, B', BytesPerChar);
  EXECUTE PROCEDURE Put('DivDP', 'DOUBLE PRECISION, DOUBLE PRECISION RETURNS DOUBLE PRECISION BY VALUE',
    '(A DOUBLE PRECISION, B DOUBLE PRECISION) RETURNS DOUBLE PRECISION', 'A, B', BytesPerChar);

  /* BLOB readers */
  EXECUTE PROCEDURE Put('BLOB2I', 'BLOB RETURNS INTEGER BY VALUE',
    '(B BLOB) RETURNS INTEGER', 'B', BytesPerChar);
  /* It examines the whole records among the BLOB's first 524288 bytes. */
  EXECUTE PROCEDURE Put('BLOB2SO', 'BLOB, INTEGER, INTEGER RETURNS INTEGER BY VALUE',
    '(B BLOB, RECORD_KEY INTEGER, VALUE_LIMIT INTEGER) RETURNS INTEGER', 'B, RECORD_KEY, VALUE_LIMIT', BytesPerChar);

  /* The module must load and answer before anything is committed. The
     server does not say why a legacy module does not load, so the error
     names what it can be; nothing is changed. */
  BEGIN
    EXECUTE STATEMENT 'SELECT IIF(D2DP(DATE ''2000-01-01'') = 36526, 1, 0) FROM RDB$DATABASE' INTO Answer;
  WHEN ANY DO
    Answer = NULL;
  END
  IF (Answer IS DISTINCT FROM 1) THEN
  BEGIN
    EXECUTE STATEMENT 'CREATE EXCEPTION VANTOR$NOT_LOADED ''libvantor.so did not load or answer: the server refuses legacy UDFs from its folder (UdfAccess in firebird.conf), or the file is not there, or it is of another architecture. Nothing was changed.''';
    EXECUTE STATEMENT 'EXECUTE BLOCK AS BEGIN EXCEPTION VANTOR$NOT_LOADED; END';
  END
END^
SET TERM ;^
COMMIT;
