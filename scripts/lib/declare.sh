# Sourced by the scripts that declare vantor in a scratch database (fbrun.sh,
# installcheck.sh).
#
# legacy_beside_udr SQL_DIR CHARSET prints, for a database whose default
# character set is CHARSET, a DECLARE EXTERNAL FUNCTION of every legacy
# function under the prefix LEGACY_, made from the Put lines of
# SQL_DIR/vantor.sql, so that a test can compare the legacy module with the
# UDR module declared beside it. {N} in a Put line is N bytes of text.
legacy_beside_udr() {
  local per_char=1
  [ "$2" = UTF8 ] && per_char=4
  sed -n "s/^  EXECUTE PROCEDURE Put('\([A-Za-z0-9_]*\)', '\([^']*\)',.*/DECLARE EXTERNAL FUNCTION LEGACY_\1 \2 ENTRY_POINT '\1' MODULE_NAME 'vantor';/p" \
    "$1/vantor.sql" | sed "s/{32765}/$((32765 / per_char))/g; s/{32767}/$((32767 / per_char))/g"
}
