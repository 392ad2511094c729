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
