/* vantor: declarations of every function of the UDR module libvantor_udr.so,
   under the same names as the legacy module's, so that queries stay as they
   are. Install one module or the other in a database: run vantor-drop.sql
   first when the legacy declarations are there. Run this script once
   against a database to install the module:
     isql-fb -i vantor-udr.sql <database>
   The server loads the module from a folder of its UDR engine's path
   (plugins/udr in plugins.conf). SQL NULL in any argument gives NULL. */

/* Date and time: day-number conversions */
CREATE FUNCTION D2DP (D DATE) RETURNS DOUBLE PRECISION
  EXTERNAL NAME 'vantor_udr!D2DP' ENGINE UDR;
CREATE FUNCTION DP2D (DP DOUBLE PRECISION) RETURNS DATE
  EXTERNAL NAME 'vantor_udr!DP2D' ENGINE UDR;
CREATE FUNCTION T2DP (T TIME) RETURNS DOUBLE PRECISION
  EXTERNAL NAME 'vantor_udr!T2DP' ENGINE UDR;
CREATE FUNCTION DP2T (DP DOUBLE PRECISION) RETURNS TIME
  EXTERNAL NAME 'vantor_udr!DP2T' ENGINE UDR;
CREATE FUNCTION TS2DP (TS TIMESTAMP) RETURNS DOUBLE PRECISION
  EXTERNAL NAME 'vantor_udr!TS2DP' ENGINE UDR;
CREATE FUNCTION DP2TS (DP DOUBLE PRECISION) RETURNS TIMESTAMP
  EXTERNAL NAME 'vantor_udr!DP2TS' ENGINE UDR;

/* Date and time: calendar fields, weekday filter, current timestamp */
CREATE FUNCTION DP2Day (DP DOUBLE PRECISION) RETURNS SMALLINT
  EXTERNAL NAME 'vantor_udr!DP2Day' ENGINE UDR;
CREATE FUNCTION DP2Month (DP DOUBLE PRECISION) RETURNS SMALLINT
  EXTERNAL NAME 'vantor_udr!DP2Month' ENGINE UDR;
CREATE FUNCTION DP2Year (DP DOUBLE PRECISION) RETURNS SMALLINT
  EXTERNAL NAME 'vantor_udr!DP2Year' ENGINE UDR;
CREATE FUNCTION DP2DOW (DP DOUBLE PRECISION) RETURNS SMALLINT
  EXTERNAL NAME 'vantor_udr!DP2DOW' ENGINE UDR;
CREATE FUNCTION DPDOW (DP DOUBLE PRECISION, DAYS VARCHAR(255)) RETURNS SMALLINT
  EXTERNAL NAME 'vantor_udr!DPDOW' ENGINE UDR;
CREATE FUNCTION Now RETURNS TIMESTAMP
  EXTERNAL NAME 'vantor_udr!Now' ENGINE UDR;

/* Wildcard matching */
/* The texts are CHARACTER SET NONE: their bytes arrive unconverted, in the
   character set of whatever the caller passes. */
CREATE FUNCTION Match (T VARCHAR(32765) CHARACTER SET NONE,
                       MASK VARCHAR(32765) CHARACTER SET NONE) RETURNS SMALLINT
  EXTERNAL NAME 'vantor_udr!Match' ENGINE UDR;

/* Text and scalar functions */
/* ALC folds code-page-1250 bytes, so its text is declared WIN1250 whatever
   the database's default character set: the engine converts the argument to
   code page 1250 and the result back. */
CREATE FUNCTION ALC (T VARCHAR(32765) CHARACTER SET WIN1250)
  RETURNS VARCHAR(32765) CHARACTER SET WIN1250
  EXTERNAL NAME 'vantor_udr!ALC' ENGINE UDR;
CREATE FUNCTION IIF_D (C SMALLINT, A DATE, B DATE) RETURNS DATE
  EXTERNAL NAME 'vantor_udr!IIF_D' ENGINE UDR;
CREATE FUNCTION IIF_T (C SMALLINT, A TIME, B TIME) RETURNS TIME
  EXTERNAL NAME 'vantor_udr!IIF_T' ENGINE UDR;
CREATE FUNCTION IIF_TS (C SMALLINT, A TIMESTAMP, B TIMESTAMP) RETURNS TIMESTAMP
  EXTERNAL NAME 'vantor_udr!IIF_TS' ENGINE UDR;
/* IIF_S passes its bytes through unread: its strings take the database's
   default character set, so no conversion happens on the way. */
CREATE FUNCTION IIF_S (C SMALLINT, A VARCHAR(32765), B VARCHAR(32765))
  RETURNS VARCHAR(32765)
  EXTERNAL NAME 'vantor_udr!IIF_S' ENGINE UDR;
CREATE FUNCTION IIF_I (C SMALLINT, A INTEGER, B INTEGER) RETURNS INTEGER
  EXTERNAL NAME 'vantor_udr!IIF_I' ENGINE UDR;
CREATE FUNCTION IIF_DP (C SMALLINT, A DOUBLE PRECISION, B DOUBLE PRECISION)
  RETURNS DOUBLE PRECISION
  EXTERNAL NAME 'vantor_udr!IIF_DP' ENGINE UDR;
CREATE FUNCTION DivDP (A DOUBLE PRECISION, B DOUBLE PRECISION)
  RETURNS DOUBLE PRECISION
  EXTERNAL NAME 'vantor_udr!DivDP' ENGINE UDR;

/* BLOB readers */
CREATE FUNCTION BLOB2I (B BLOB) RETURNS INTEGER
  EXTERNAL NAME 'vantor_udr!BLOB2I' ENGINE UDR;
CREATE FUNCTION BLOB2SO (B BLOB, RECORD_KEY INTEGER, VALUE_LIMIT INTEGER)
  RETURNS INTEGER
  EXTERNAL NAME 'vantor_udr!BLOB2SO' ENGINE UDR;
