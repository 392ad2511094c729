/* Generated from src/frame/functions.toml by `python3 scripts/functions.py
   write`: do not edit it, edit the table. Declares the UDR module's
   functions. */

/* vantor: declares every function of the UDR module libvantor_udr.so in a
   database, or moves a database from the legacy module to it in place.

     isql-fb -bail -user SYSDBA -password <password> \
       -i /usr/share/vantor/vantor-udr.sql 127.0.0.1/3050:/path/to/db.fdb

   The server loads the module from a folder of its UDR engine's path
   (plugins/udr in plugins.conf). The functions take the same names as the
   legacy module's, so queries stay as they are.

   All or nothing: the whole work is one statement in one transaction, so a
   failure anywhere leaves the database exactly as it was, and isql exits
   with status 1. Before it commits, the script calls a function of the
   module: when the engine cannot load it (missing, or of another
   architecture: its error says which) the script fails and changes
   nothing. Running it again is harmless.

   Each function is declared with CREATE OR ALTER FUNCTION ... ENGINE UDR,
   which replaces a legacy declaration in place: views, procedures,
   triggers, computed columns, CHECK constraints and expression indexes
   that use it keep working. Every legacy declaration of this library's
   entry points is moved so, under its own name (vantor.sql's, and any
   other whose module is vantor, libvantor, libvantor.so or a path to one),
   with the lengths it declared; one whose arguments or result do not fit
   its entry point makes the script fail, by name and with the reason, and
   change nothing. A name that something other than vantor declares makes
   the script fail and change nothing. The legacy entry points that an
   earlier move back declared as VANTOR$<name> are dropped. An expression
   index that a restore left inactive because the server refused the
   legacy function its expression calls is activated again.

   NULL. A function declared afresh gives NULL for SQL NULL in any
   argument. A moved function keeps what its legacy declaration gave: a
   NULL argument is read as that declaration passed it (as 0, the empty
   string or day 0, or, where it said NULL, as the legacy entry point
   reads a null address), and the result is NULL only where the legacy
   function returned none; its EXTERNAL NAME carries these rules
   ('vantor_udr!Match!legacy:zero,zero'), so they survive a backup and a
   second run. Before running the script, in the same isql session,

     SELECT RDB$SET_CONTEXT('USER_SESSION', 'VANTOR_NULL_RULES', 'SQL') FROM RDB$DATABASE;

   gives every function it declares SQL's rules ('LEGACY': the legacy
   rules), and

     SELECT RDB$SET_CONTEXT('USER_SESSION', 'VANTOR_DRY_RUN', 1) FROM RDB$DATABASE;

   makes it only list what it would do (each function, its entry point,
   what it would do, its declaration; the indexes it would activate) and
   change nothing.

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
   character sets, a quarter in UTF8), VARCHAR({TEXT_BYTES}) for the text
   length in characters of a single-byte character set, and VARCHAR({N})
   for N bytes so counted. */

SET AUTODDL OFF;
SET BAIL ON;
/* A dry run's rows, a field a line. */
SET LIST ON;
SET TERM ^;
EXECUTE BLOCK RETURNS (FUNCTION_NAME VARCHAR(63), ENTRY_POINT VARCHAR(63), WHAT VARCHAR(1000),
                       DECLARATION VARCHAR(2000)) AS
  DECLARE BytesPerChar INTEGER;
  DECLARE Answer INTEGER;
  DECLARE DryRun BOOLEAN;
  DECLARE Fresh VARCHAR(1000);
  DECLARE Signature VARCHAR(2000);
  DECLARE Shape VARCHAR(40);
  DECLARE Rules VARCHAR(200);
  DECLARE StandInRules VARCHAR(200);
  DECLARE ReturnArgument SMALLINT;
  DECLARE Module VARCHAR(255);

  /* A function as the system tables describe it (a legacy declaration's
     own columns, or the domains of a PSQL or UDR function's): its signature
     for CREATE FUNCTION (arguments named as declared, A1, A2, ... for a
     legacy one), its shape (a letter an argument, ':', the result's), the
     NULL rules of a legacy declaration (zero without the NULL keyword, null
     with it), and the argument it returns (0: its result). */
  DECLARE PROCEDURE Declared (Key VARCHAR(63))
    RETURNS (Signature VARCHAR(2000), Shape VARCHAR(40), Rules VARCHAR(200), ReturnArgument SMALLINT) AS
    DECLARE ArgPosition SMALLINT;
    DECLARE ArgName VARCHAR(63);
    DECLARE Mechanism SMALLINT;
    DECLARE FieldType SMALLINT;
    DECLARE FieldScale SMALLINT;
    DECLARE CharLength SMALLINT;
    DECLARE FieldLength INTEGER;
    DECLARE CharSetId SMALLINT;
    DECLARE SqlType VARCHAR(100);
    DECLARE Letter CHAR(1);
    DECLARE SetName VARCHAR(63);
    DECLARE ResultType VARCHAR(100);
    DECLARE ResultLetter CHAR(1);
    DECLARE Args VARCHAR(2000);
  BEGIN
    SELECT COALESCE(RDB$RETURN_ARGUMENT, 0) FROM RDB$FUNCTIONS
      WHERE RDB$FUNCTION_NAME = :Key AND RDB$PACKAGE_NAME IS NULL INTO ReturnArgument;
    Args = '';
    Shape = '';
    Rules = '';
    FOR SELECT a.RDB$ARGUMENT_POSITION, TRIM(a.RDB$ARGUMENT_NAME), a.RDB$MECHANISM,
               COALESCE(a.RDB$FIELD_TYPE, f.RDB$FIELD_TYPE), COALESCE(a.RDB$FIELD_SCALE, f.RDB$FIELD_SCALE),
               COALESCE(a.RDB$CHARACTER_LENGTH, f.RDB$CHARACTER_LENGTH), COALESCE(a.RDB$FIELD_LENGTH, f.RDB$FIELD_LENGTH),
               COALESCE(a.RDB$CHARACTER_SET_ID, f.RDB$CHARACTER_SET_ID)
          FROM RDB$FUNCTION_ARGUMENTS a LEFT JOIN RDB$FIELDS f ON f.RDB$FIELD_NAME = a.RDB$FIELD_SOURCE
          WHERE a.RDB$FUNCTION_NAME = :Key AND a.RDB$PACKAGE_NAME IS NULL
          ORDER BY a.RDB$ARGUMENT_POSITION
          INTO ArgPosition, ArgName, Mechanism, FieldType, FieldScale, CharLength, FieldLength, CharSetId DO
    BEGIN
      /* The type, and the letter of its kind: T a text, S SMALLINT, I
         INTEGER, D DOUBLE PRECISION, A DATE, M TIME, P TIMESTAMP, B BLOB, ?
         anything else. A legacy CSTRING(32767) is the longest VARCHAR. A
         restore on Firebird 4.0 leaves a legacy argument's length in
         characters NULL: its length in bytes says it. */
      SetName = NULL;
      SELECT TRIM(RDB$CHARACTER_SET_NAME),
             MINVALUE(COALESCE(:CharLength, :FieldLength / RDB$BYTES_PER_CHARACTER), 32765 / RDB$BYTES_PER_CHARACTER)
        FROM RDB$CHARACTER_SETS WHERE RDB$CHARACTER_SET_ID = :CharSetId
        INTO SetName, CharLength;
      SqlType = DECODE(FieldType, 7, 'SMALLINT', 8, 'INTEGER', 27, 'DOUBLE PRECISION', 12, 'DATE', 13, 'TIME',
                       35, 'TIMESTAMP', 261, 'BLOB', 14, 'CHAR(' || CharLength || ')', 37, 'VARCHAR(' || CharLength || ')',
                       40, 'VARCHAR(' || CharLength || ')', 'type ' || FieldType)
        || IIF(FieldType IN (14, 37, 40), COALESCE(' CHARACTER SET ' || SetName, ''), '');
      Letter = IIF(COALESCE(FieldScale, 0) <> 0, '?',
                   DECODE(FieldType, 7, 'S', 8, 'I', 27, 'D', 12, 'A', 13, 'M', 35, 'P', 261, 'B', 14, 'T', 37, 'T',
                          40, 'T', '?'));
      IF (ArgPosition = ReturnArgument) THEN
      BEGIN
        ResultType = SqlType;
        ResultLetter = Letter;
      END
      ELSE
      BEGIN
        Args = IIF(Args = '', '', Args || ', ') || '"' || COALESCE(ArgName, 'A' || ArgPosition) || '" ' || SqlType;
        Shape = Shape || Letter;
        Rules = IIF(Rules = '', '', Rules || ',') || IIF(Mechanism = 5, 'null', 'zero');
      END
    END
    Signature = IIF(Args = '', '', '(' || Args || ') ') || 'RETURNS ' || ResultType;
    Shape = Shape || ':' || ResultLetter;
  END

  /* Whether a legacy module name is this library's, written any way the
     engine resolves it: vantor, libvantor, libvantor.so, or a path to one. */
  DECLARE FUNCTION IsVantor (Module VARCHAR(255)) RETURNS BOOLEAN AS
    DECLARE M VARCHAR(255);
  BEGIN
    M = LOWER(TRIM(Module));
    WHILE (POSITION('/' IN M) > 0) DO M = SUBSTRING(M FROM POSITION('/' IN M) + 1);
    WHILE (POSITION('\' IN M) > 0) DO M = SUBSTRING(M FROM POSITION('\' IN M) + 1);
    IF (M STARTING WITH 'lib') THEN M = SUBSTRING(M FROM 4);
    RETURN M IN ('vantor', 'vantor.so', 'vantor.dll');
  END

  /* Puts one function on the UDR module: KEY its SQL name, ENTRY its routine
     (the legacy entry point it is declared with, when it is moved), FRESH the
     table's signature for a function of that name (NULL for a name of the
     user's own); OFVANTOR whether a legacy declaration's module is this
     library; SIGNATURE to RETURNARGUMENT what Declared says of KEY, and
     STANDINRULES the rules of the legacy declaration VANTOR$<KEY> of an
     earlier move back. Returns what it did, or would do in a dry run. */
  DECLARE PROCEDURE Put (Key VARCHAR(63), Entry VARCHAR(63), Fresh VARCHAR(2000), BytesPerChar INTEGER,
                         OfVantor BOOLEAN, Signature VARCHAR(2000), Shape VARCHAR(40), Rules VARCHAR(200),
                         ReturnArgument SMALLINT, StandInRules VARCHAR(200))
    RETURNS (FunctionName VARCHAR(63), EntryPoint VARCHAR(63), Act VARCHAR(1000), Declaration VARCHAR(2000)) AS
    DECLARE IsLegacy SMALLINT;
    DECLARE Engine VARCHAR(63);
    DECLARE Module VARCHAR(255);
    DECLARE DeclaredAs VARCHAR(255);
    DECLARE Kept VARCHAR(255);
    DECLARE Expected VARCHAR(40);
    DECLARE StandIn BOOLEAN;
    DECLARE DryRun BOOLEAN;
    DECLARE NullRules VARCHAR(10);
    DECLARE LengthsChosen BOOLEAN;
    DECLARE MaskBytes INTEGER;
    DECLARE TextBytes INTEGER;
  BEGIN
    DryRun = COALESCE(RDB$GET_CONTEXT('USER_SESSION', 'VANTOR_DRY_RUN'), '0') = '1';
    NullRules = UPPER(RDB$GET_CONTEXT('USER_SESSION', 'VANTOR_NULL_RULES'));
    LengthsChosen = RDB$GET_CONTEXT('USER_SESSION', 'VANTOR_MASK_BYTES') IS NOT NULL OR RDB$GET_CONTEXT('USER_SESSION', 'VANTOR_TEXT_BYTES') IS NOT NULL;
    MaskBytes = COALESCE(RDB$GET_CONTEXT('USER_SESSION', 'VANTOR_MASK_BYTES'), 1000);
    TextBytes = COALESCE(RDB$GET_CONTEXT('USER_SESSION', 'VANTOR_TEXT_BYTES'), 8000);
    IF (MaskBytes NOT BETWEEN 1 AND 32765 OR TextBytes NOT BETWEEN 1 AND 32765) THEN
      MaskBytes = CAST('VANTOR_MASK_BYTES and VANTOR_TEXT_BYTES must be 1 to 32765' AS INTEGER);
    Fresh = REPLACE(REPLACE(REPLACE(REPLACE(Fresh, '{MASK}', MAXVALUE(1, MaskBytes / BytesPerChar)), '{MASK_BYTES}', MaskBytes), '{TEXT}', MAXVALUE(1, TextBytes / BytesPerChar)), '{TEXT_BYTES}', TextBytes);
    IsLegacy = NULL;
    SELECT COALESCE(RDB$LEGACY_FLAG, 0), COALESCE(TRIM(RDB$ENGINE_NAME), ''), COALESCE(TRIM(RDB$MODULE_NAME), ''),
           COALESCE(TRIM(RDB$ENTRYPOINT), '')
      FROM RDB$FUNCTIONS WHERE RDB$FUNCTION_NAME = :Key AND RDB$PACKAGE_NAME IS NULL
      INTO IsLegacy, Engine, Module, DeclaredAs;
    StandIn = EXISTS (SELECT 1 FROM RDB$FUNCTIONS
                      WHERE RDB$FUNCTION_NAME = 'VANTOR$' || :Key AND RDB$MODULE_NAME = 'vantor');
    IF (IsLegacy IS NULL) THEN
    BEGIN
      Act = 'declare';
      Signature = Fresh;
      Rules = NULL;
    END
    ELSE IF (IsLegacy = 1 AND OfVantor) THEN
    BEGIN
      /* A legacy declaration: moved in place with its own shape, and the
         NULL rules its mechanisms give. */
      Act = 'move';
      Entry = DeclaredAs;
      Expected = DECODE(Entry,
        'D2DP', 'A:D',
        'DP2D', 'D:A',
        'T2DP', 'M:D',
        'DP2T', 'D:M',
        'TS2DP', 'P:D',
        'DP2TS', 'D:P',
        'DP2Day', 'D:S',
        'DP2Month', 'D:S',
        'DP2Year', 'D:S',
        'DP2DOW', 'D:S',
        'DPDOW', 'DT:S',
        'Now', ':P',
        'Match', 'TT:S',
        'ALC', 'T:T',
        'IIF_D', 'SAA:A',
        'IIF_T', 'SMM:M',
        'IIF_TS', 'SPP:P',
        'IIF_S', 'STT:T',
        'IIF_I', 'SII:I',
        'IIF_DP', 'SDD:D',
        'DivDP', 'DD:D',
        'BLOB2I', 'B:I',
        'BLOB2SO', 'BII:I');
      IF (Expected IS NULL) THEN
        Act = 'refuse: its entry point ' || Entry || ' is not one of vantor''s';
      ELSE IF (ReturnArgument <> 0) THEN
        Act = 'refuse: it returns one of its arguments (RETURNS PARAMETER)';
      ELSE IF (Shape IS DISTINCT FROM Expected
               AND NOT (RIGHT(Expected, 2) = ':S' AND Shape = LEFT(Expected, CHAR_LENGTH(Expected) - 1) || 'I')) THEN
        Act = 'refuse: declared ' || Signature || '; the entry point ' || Entry || ' takes ' || DECODE(Entry,
          'D2DP', '(DATE) RETURNS DOUBLE PRECISION',
          'DP2D', '(DOUBLE PRECISION) RETURNS DATE',
          'T2DP', '(TIME) RETURNS DOUBLE PRECISION',
          'DP2T', '(DOUBLE PRECISION) RETURNS TIME',
          'TS2DP', '(TIMESTAMP) RETURNS DOUBLE PRECISION',
          'DP2TS', '(DOUBLE PRECISION) RETURNS TIMESTAMP',
          'DP2Day', '(DOUBLE PRECISION) RETURNS SMALLINT',
          'DP2Month', '(DOUBLE PRECISION) RETURNS SMALLINT',
          'DP2Year', '(DOUBLE PRECISION) RETURNS SMALLINT',
          'DP2DOW', '(DOUBLE PRECISION) RETURNS SMALLINT',
          'DPDOW', '(DOUBLE PRECISION, CSTRING(255)) RETURNS SMALLINT',
          'Now', '() RETURNS TIMESTAMP',
          'Match', '(CSTRING(32765), CSTRING(32765)) RETURNS SMALLINT',
          'ALC', '(CSTRING(32767) CHARACTER SET WIN1250) RETURNS CSTRING(32767) CHARACTER SET WIN1250',
          'IIF_D', '(SMALLINT, DATE, DATE) RETURNS DATE',
          'IIF_T', '(SMALLINT, TIME, TIME) RETURNS TIME',
          'IIF_TS', '(SMALLINT, TIMESTAMP, TIMESTAMP) RETURNS TIMESTAMP',
          'IIF_S', '(SMALLINT, CSTRING(32767), CSTRING(32767)) RETURNS CSTRING(32767)',
          'IIF_I', '(SMALLINT, INTEGER, INTEGER) RETURNS INTEGER',
          'IIF_DP', '(SMALLINT, DOUBLE PRECISION, DOUBLE PRECISION) RETURNS DOUBLE PRECISION',
          'DivDP', '(DOUBLE PRECISION, DOUBLE PRECISION) RETURNS DOUBLE PRECISION',
          'BLOB2I', '(BLOB) RETURNS INTEGER',
          'BLOB2SO', '(BLOB, INTEGER, INTEGER) RETURNS INTEGER');
    END
    ELSE IF (Engine = 'UDR' AND DeclaredAs STARTING WITH 'vantor_udr!') THEN
    BEGIN
      /* Already this module's: its rules stay, and its lengths unless a
         length is chosen. */
      Act = 'keep';
      Entry = SUBSTRING(DeclaredAs FROM 12);
      Kept = '';
      IF (POSITION('!' IN Entry) > 0) THEN
      BEGIN
        Kept = SUBSTRING(Entry FROM POSITION('!' IN Entry) + 1);
        Entry = LEFT(Entry, POSITION('!' IN Entry) - 1);
      END
      Rules = IIF(Kept STARTING WITH 'legacy:', SUBSTRING(Kept FROM 8), NULL);
      IF (LengthsChosen AND Fresh IS NOT NULL) THEN
        Signature = Fresh;
    END
    ELSE IF (IsLegacy = 0 AND Engine = '' AND StandIn) THEN
    BEGIN
      /* The stand-in PSQL function of an earlier move back: the legacy
         declaration's rules. */
      Act = 'move';
      Rules = StandInRules;
    END
    ELSE
      Act = 'refuse: a function of this name is not vantor''s';
    IF (Signature IS NULL AND Act NOT STARTING WITH 'refuse') THEN
      Act = 'refuse: its arguments and result could not be read from the system tables';
    IF (NullRules = 'SQL') THEN
      Rules = NULL;
    ELSE IF (NullRules = 'LEGACY' AND Rules IS NULL) THEN
      Rules = DECODE(Entry,
        'D2DP', 'zero',
        'DP2D', 'zero',
        'T2DP', 'zero',
        'DP2T', 'zero',
        'TS2DP', 'zero',
        'DP2TS', 'zero',
        'DP2Day', 'zero',
        'DP2Month', 'zero',
        'DP2Year', 'zero',
        'DP2DOW', 'zero',
        'DPDOW', 'zero,zero',
        'Now', '',
        'Match', 'zero,zero',
        'ALC', 'null',
        'IIF_D', 'zero,zero,zero',
        'IIF_T', 'zero,zero,zero',
        'IIF_TS', 'zero,zero,zero',
        'IIF_S', 'zero,zero,zero',
        'IIF_I', 'zero,zero,zero',
        'IIF_DP', 'zero,zero,zero',
        'DivDP', 'zero,zero',
        'BLOB2I', 'zero',
        'BLOB2SO', 'zero,zero,zero');
    FunctionName = Key;
    EntryPoint = Entry;
    Declaration = Signature || ' EXTERNAL NAME ''vantor_udr!' || Entry || COALESCE('!legacy:' || Rules, '') || ''' ENGINE UDR';
    IF (Act STARTING WITH 'refuse') THEN
    BEGIN
      /* The script fails with the reason; nothing is changed. */
      IF (NOT DryRun) THEN
      BEGIN
        EXECUTE STATEMENT 'CREATE EXCEPTION VANTOR$REFUSED '''
          || REPLACE(Key || ': ' || SUBSTRING(Act FROM 9) || '. Nothing was changed.', '''', '''''') || '''';
        EXECUTE STATEMENT 'EXECUTE BLOCK AS BEGIN EXCEPTION VANTOR$REFUSED; END';
      END
      Declaration = NULL;
      EXIT;
    END
    IF (Act = 'move') THEN
      RDB$SET_CONTEXT('USER_TRANSACTION', 'VANTOR$MOVED$' || Key, 1);
    IF (DryRun) THEN EXIT;
    EXECUTE STATEMENT 'CREATE OR ALTER FUNCTION "' || REPLACE(Key, '"', '""') || '" ' || Declaration;
    IF (StandIn) THEN
      EXECUTE STATEMENT 'DROP EXTERNAL FUNCTION VANTOR$' || Key;
  END

BEGIN
  DryRun = COALESCE(RDB$GET_CONTEXT('USER_SESSION', 'VANTOR_DRY_RUN'), '0') = '1';
  IF (UPPER(RDB$GET_CONTEXT('USER_SESSION', 'VANTOR_NULL_RULES')) NOT IN ('SQL', 'LEGACY')) THEN
    DryRun = CAST('VANTOR_NULL_RULES must be SQL or LEGACY' AS INTEGER);
  SELECT c.RDB$BYTES_PER_CHARACTER FROM RDB$DATABASE d JOIN RDB$CHARACTER_SETS c
    ON c.RDB$CHARACTER_SET_NAME = COALESCE(d.RDB$CHARACTER_SET_NAME, 'NONE')
    INTO BytesPerChar;
  /* Every function of this library by its own name, then every other
     declaration of one of its entry points under a name of its own: legacy
     ones, and this module's (whose rules VANTOR_NULL_RULES may change). */
  FOR SELECT Key, Entry, Fresh FROM (
      /* Date and time: day-number conversions */
      SELECT 'D2DP' Key, 'D2DP' Entry,
        CAST('(D DATE) RETURNS DOUBLE PRECISION' AS VARCHAR(1000)) Fresh FROM RDB$DATABASE
      UNION ALL SELECT 'DP2D' Key, 'DP2D' Entry,
        CAST('(DP DOUBLE PRECISION) RETURNS DATE' AS VARCHAR(1000)) Fresh FROM RDB$DATABASE
      UNION ALL SELECT 'T2DP' Key, 'T2DP' Entry,
        CAST('(T TIME) RETURNS DOUBLE PRECISION' AS VARCHAR(1000)) Fresh FROM RDB$DATABASE
      UNION ALL SELECT 'DP2T' Key, 'DP2T' Entry,
        CAST('(DP DOUBLE PRECISION) RETURNS TIME' AS VARCHAR(1000)) Fresh FROM RDB$DATABASE
      UNION ALL SELECT 'TS2DP' Key, 'TS2DP' Entry,
        CAST('(TS TIMESTAMP) RETURNS DOUBLE PRECISION' AS VARCHAR(1000)) Fresh FROM RDB$DATABASE
      UNION ALL SELECT 'DP2TS' Key, 'DP2TS' Entry,
        CAST('(DP DOUBLE PRECISION) RETURNS TIMESTAMP' AS VARCHAR(1000)) Fresh FROM RDB$DATABASE
      /* Date and time: calendar fields, weekday filter, current timestamp */
      UNION ALL SELECT 'DP2DAY' Key, 'DP2Day' Entry,
        CAST('(DP DOUBLE PRECISION) RETURNS SMALLINT' AS VARCHAR(1000)) Fresh FROM RDB$DATABASE
      UNION ALL SELECT 'DP2MONTH' Key, 'DP2Month' Entry,
        CAST('(DP DOUBLE PRECISION) RETURNS SMALLINT' AS VARCHAR(1000)) Fresh FROM RDB$DATABASE
      UNION ALL SELECT 'DP2YEAR' Key, 'DP2Year' Entry,
        CAST('(DP DOUBLE PRECISION) RETURNS SMALLINT' AS VARCHAR(1000)) Fresh FROM RDB$DATABASE
      UNION ALL SELECT 'DP2DOW' Key, 'DP2DOW' Entry,
        CAST('(DP DOUBLE PRECISION) RETURNS SMALLINT' AS VARCHAR(1000)) Fresh FROM RDB$DATABASE
      UNION ALL SELECT 'DPDOW' Key, 'DPDOW' Entry,
        CAST('(DP DOUBLE PRECISION, DAYS VARCHAR(255)) RETURNS SMALLINT' AS VARCHAR(1000)) Fresh FROM RDB$DATABASE
      UNION ALL SELECT 'NOW' Key, 'Now' Entry,
        CAST('RETURNS TIMESTAMP' AS VARCHAR(1000)) Fresh FROM RDB$DATABASE
      /* Wildcard matching. The text and the mask in the database's default
         character set, byte for byte. */
      UNION ALL SELECT 'MATCH' Key, 'Match' Entry,
        CAST('(T VARCHAR({TEXT}), MASK VARCHAR({MASK})) RETURNS SMALLINT' AS VARCHAR(1000)) Fresh FROM RDB$DATABASE
      /* Text and scalar functions. ALC folds code-page-1250 bytes, so its
         text is WIN1250 whatever the database's default character set: the
         engine converts the argument to code page 1250 and the result back.
         IIF_S passes its bytes through unread, in the database's default
         character set. */
      UNION ALL SELECT 'ALC' Key, 'ALC' Entry,
        CAST('(T VARCHAR({TEXT_BYTES}) CHARACTER SET WIN1250) RETURNS VARCHAR({TEXT_BYTES}) CHARACTER SET WIN1250' AS VARCHAR(1000)) Fresh FROM RDB$DATABASE
      UNION ALL SELECT 'IIF_D' Key, 'IIF_D' Entry,
        CAST('(C SMALLINT, A DATE, B DATE) RETURNS DATE' AS VARCHAR(1000)) Fresh FROM RDB$DATABASE
      UNION ALL SELECT 'IIF_T' Key, 'IIF_T' Entry,
        CAST('(C SMALLINT, A TIME, B TIME) RETURNS TIME' AS VARCHAR(1000)) Fresh FROM RDB$DATABASE
      UNION ALL SELECT 'IIF_TS' Key, 'IIF_TS' Entry,
        CAST('(C SMALLINT, A TIMESTAMP, B TIMESTAMP) RETURNS TIMESTAMP' AS VARCHAR(1000)) Fresh FROM RDB$DATABASE
      UNION ALL SELECT 'IIF_S' Key, 'IIF_S' Entry,
        CAST('(C SMALLINT, A VARCHAR({TEXT}), B VARCHAR({TEXT})) RETURNS VARCHAR({TEXT})' AS VARCHAR(1000)) Fresh FROM RDB$DATABASE
      UNION ALL SELECT 'IIF_I' Key, 'IIF_I' Entry,
        CAST('(C SMALLINT, A INTEGER, B INTEGER) RETURNS INTEGER' AS VARCHAR(1000)) Fresh FROM RDB$DATABASE
      UNION ALL SELECT 'IIF_DP' Key, 'IIF_DP' Entry,
        CAST('(C SMALLINT, A DOUBLE PRECISION, B DOUBLE PRECISION) RETURNS DOUBLE PRECISION' AS VARCHAR(1000)) Fresh FROM RDB$DATABASE
      UNION ALL SELECT 'DIVDP' Key, 'DivDP' Entry,
        CAST('(A DOUBLE PRECISION, B DOUBLE PRECISION) RETURNS DOUBLE PRECISION' AS VARCHAR(1000)) Fresh FROM RDB$DATABASE
      /* BLOB readers */
      UNION ALL SELECT 'BLOB2I' Key, 'BLOB2I' Entry,
        CAST('(B BLOB) RETURNS INTEGER' AS VARCHAR(1000)) Fresh FROM RDB$DATABASE
      /* It examines the whole records among the BLOB's first 524288 bytes. */
      UNION ALL SELECT 'BLOB2SO' Key, 'BLOB2SO' Entry,
        CAST('(B BLOB, RECORD_KEY INTEGER, VALUE_LIMIT INTEGER) RETURNS INTEGER' AS VARCHAR(1000)) Fresh FROM RDB$DATABASE
      UNION ALL
      SELECT TRIM(RDB$FUNCTION_NAME), TRIM(RDB$ENTRYPOINT), CAST(NULL AS VARCHAR(1000)) FROM RDB$FUNCTIONS
        WHERE RDB$PACKAGE_NAME IS NULL AND RDB$FUNCTION_NAME NOT IN ('D2DP', 'DP2D', 'T2DP', 'DP2T', 'TS2DP', 'DP2TS', 'DP2DAY', 'DP2MONTH', 'DP2YEAR', 'DP2DOW', 'DPDOW', 'NOW', 'MATCH', 'ALC', 'IIF_D', 'IIF_T', 'IIF_TS', 'IIF_S', 'IIF_I', 'IIF_DP', 'DIVDP', 'BLOB2I', 'BLOB2SO')
          AND (RDB$LEGACY_FLAG = 1 AND TRIM(RDB$ENTRYPOINT) IN ('D2DP', 'DP2D', 'T2DP', 'DP2T', 'TS2DP', 'DP2TS', 'DP2Day', 'DP2Month', 'DP2Year', 'DP2DOW', 'DPDOW', 'Now', 'Match', 'ALC', 'IIF_D', 'IIF_T', 'IIF_TS', 'IIF_S', 'IIF_I', 'IIF_DP', 'DivDP', 'BLOB2I', 'BLOB2SO')
               OR RDB$ENGINE_NAME = 'UDR' AND RDB$ENTRYPOINT STARTING WITH 'vantor_udr!'))
      INTO FUNCTION_NAME, ENTRY_POINT, Fresh DO
  BEGIN
    Module = (SELECT RDB$MODULE_NAME FROM RDB$FUNCTIONS
              WHERE RDB$FUNCTION_NAME = :FUNCTION_NAME AND RDB$PACKAGE_NAME IS NULL);
    IF (Fresh IS NOT NULL OR IsVantor(Module) OR ENTRY_POINT STARTING WITH 'vantor_udr!') THEN
    BEGIN
      EXECUTE PROCEDURE Declared(FUNCTION_NAME) RETURNING_VALUES Signature, Shape, Rules, ReturnArgument;
      EXECUTE PROCEDURE Declared('VANTOR$' || FUNCTION_NAME) RETURNING_VALUES WHAT, DECLARATION, StandInRules, Answer;
      EXECUTE PROCEDURE Put(FUNCTION_NAME, ENTRY_POINT, Fresh, BytesPerChar, IsVantor(Module),
                            Signature, Shape, Rules, ReturnArgument, StandInRules)
        RETURNING_VALUES FUNCTION_NAME, ENTRY_POINT, WHAT, DECLARATION;
      IF (DryRun) THEN SUSPEND;
    END
  END

  /* An expression index that a restore left inactive because its function
     was refused (it has lost its dependencies) comes back when its
     expression calls a function moved here. */
  FOR SELECT TRIM(i.RDB$INDEX_NAME), UPPER(' ' || CAST(SUBSTRING(i.RDB$EXPRESSION_SOURCE FROM 1 FOR 8000) AS VARCHAR(8000)) || ' ')
      FROM RDB$INDICES i
      WHERE i.RDB$INDEX_INACTIVE = 1 AND i.RDB$EXPRESSION_BLR IS NOT NULL
        AND NOT EXISTS (SELECT 1 FROM RDB$DEPENDENCIES d WHERE d.RDB$DEPENDENT_NAME = i.RDB$INDEX_NAME)
      INTO FUNCTION_NAME, DECLARATION DO
  BEGIN
    WHAT = NULL;
    FOR SELECT TRIM(RDB$FUNCTION_NAME) FROM RDB$FUNCTIONS
        WHERE RDB$GET_CONTEXT('USER_TRANSACTION', 'VANTOR$MOVED$' || TRIM(RDB$FUNCTION_NAME)) = '1'
        INTO ENTRY_POINT DO
    BEGIN
      IF (WHAT IS DISTINCT FROM 'activate index'
          AND DECLARATION SIMILAR TO '%[^A-Z0-9_$]' || REPLACE(ENTRY_POINT, '_', '\_') || '[^A-Z0-9_$]%' ESCAPE '\') THEN
      BEGIN
        WHAT = 'activate index';
        DECLARATION = TRIM(DECLARATION);
        ENTRY_POINT = NULL;
        IF (DryRun) THEN SUSPEND;
        ELSE EXECUTE STATEMENT 'ALTER INDEX "' || REPLACE(FUNCTION_NAME, '"', '""') || '" ACTIVE';
      END
    END
  END

  IF (DryRun) THEN EXIT;
  /* The module must load and answer before anything is committed: the
     engine's error (the file missing, or of another architecture) ends the
     script here, and nothing is changed. */
  EXECUTE STATEMENT 'SELECT IIF(D2DP(DATE ''2000-01-01'') = 36526, 1, 0) FROM RDB$DATABASE' INTO Answer;
  IF (Answer IS DISTINCT FROM 1) THEN
  BEGIN
    EXECUTE STATEMENT 'CREATE EXCEPTION VANTOR$WRONG_ANSWER ''libvantor_udr.so answers wrongly. Nothing was changed.''';
    EXECUTE STATEMENT 'EXECUTE BLOCK AS BEGIN EXCEPTION VANTOR$WRONG_ANSWER; END';
  END
END^
SET TERM ;^
SET LIST OFF;
COMMIT;
