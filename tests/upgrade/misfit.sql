-- A legacy declaration that its entry point does not fit: the move must
-- refuse it by name and change nothing (scripts/upgradetest.sh).
DECLARE EXTERNAL FUNCTION F_TWO_DOWS DOUBLE PRECISION, DOUBLE PRECISION RETURNS SMALLINT BY VALUE
  ENTRY_POINT 'DP2DOW' MODULE_NAME 'libvantor'; COMMIT;
