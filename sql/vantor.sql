/* vantor: declarations of every function of libvantor.so.
   Run this script once against a database to install the library:
     isql-fb -i vantor.sql <database>
   The server must allow the library's folder (UdfAccess in firebird.conf). */

/* Date and time: day-number conversions */
DECLARE EXTERNAL FUNCTION D2DP DATE
  RETURNS DOUBLE PRECISION BY VALUE ENTRY_POINT 'D2DP' MODULE_NAME 'vantor';
DECLARE EXTERNAL FUNCTION DP2D DOUBLE PRECISION
  RETURNS DATE BY VALUE ENTRY_POINT 'DP2D' MODULE_NAME 'vantor';
DECLARE EXTERNAL FUNCTION T2DP TIME
  RETURNS DOUBLE PRECISION BY VALUE ENTRY_POINT 'T2DP' MODULE_NAME 'vantor';
DECLARE EXTERNAL FUNCTION DP2T DOUBLE PRECISION
  RETURNS TIME BY VALUE ENTRY_POINT 'DP2T' MODULE_NAME 'vantor';
DECLARE EXTERNAL FUNCTION TS2DP TIMESTAMP
  RETURNS DOUBLE PRECISION BY VALUE ENTRY_POINT 'TS2DP' MODULE_NAME 'vantor';
DECLARE EXTERNAL FUNCTION DP2TS DOUBLE PRECISION
  RETURNS TIMESTAMP ENTRY_POINT 'DP2TS' MODULE_NAME 'vantor';

/* Date and time: calendar fields, weekday filter, current timestamp */

/* Wildcard matching */
DECLARE EXTERNAL FUNCTION Match CSTRING(32765), CSTRING(32765)
  RETURNS SMALLINT BY VALUE ENTRY_POINT 'Match' MODULE_NAME 'vantor';

/* Text and scalar functions */

/* BLOB readers */
