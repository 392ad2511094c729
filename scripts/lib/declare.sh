# Sourced by the scripts that declare vantor in a scratch database (fbrun.sh,
# installcheck.sh).
#
# legacy_beside_udr ROOT CHARSET prints, for a database whose default
# character set is CHARSET, a DECLARE EXTERNAL FUNCTION of every legacy
# function under the prefix LEGACY_, made from the table of the functions of
# the checkout ROOT, so that a test can compare the legacy module with the
# UDR module declared beside it. Texts are counted in characters of CHARSET.
legacy_beside_udr() {
  local per_char=1
  [ "$2" = UTF8 ] && per_char=4
  python3 "$1/scripts/functions.py" legacy-declarations LEGACY_ "$per_char"
}

# udr_text_lengths BYTES prints the statements that make vantor-udr.sql,
# run next in the same session, declare its texts and masks BYTES long
# instead of the lengths it ships.
udr_text_lengths() {
  echo "SELECT RDB\$SET_CONTEXT('USER_SESSION', 'VANTOR_TEXT_BYTES', $1) FROM RDB\$DATABASE;"
  echo "SELECT RDB\$SET_CONTEXT('USER_SESSION', 'VANTOR_MASK_BYTES', $1) FROM RDB\$DATABASE;"
}

# suite_text_bytes TEST prints how long the SQL suite declares the UDR
# texts and masks for the test named TEST: nothing (the lengths as shipped)
# for the udr_* tests, which test those lengths, and 32765 for the others,
# so that their long texts reach both modules alike.
suite_text_bytes() {
  [[ "$1" == udr_* ]] || echo 32765
}
