#!/bin/sh
# Run by text.sql (isql SHELL): IIF_I, IIF_D and IIF_T with both alternatives and the result BY VALUE, in
# the real engine. Its SQL has no syntax for by-value (mechanism 0) arguments and its system tables are
# read-only: text-byvalue/declare.sql runs in a scratch database whose backup is edited and restored, and
# text-byvalue/call.sql there. The databases are files of the scratch folder or, where VANTOR_DB_STEM is set
# (HOST/PORT:/folder/prefix-, scripts/installcheck.sh), of that server (as ISC_USER, ISC_PASSWORD), dropped
# at the end; the backup stays a file of this machine.
set -eu
dir=$FIREBIRD_TMP/byvalue
rm -rf "$dir" && mkdir -p "$dir"
stem=${VANTOR_DB_STEM:-$dir/} isql=${VANTOR_ISQL:-isql-fb} gbak=${VANTOR_GBAK:-gbak} user=${ISC_USER:-SYSDBA}
auth="user '$user'"
[ -z "${ISC_PASSWORD:-}" ] || auth="$auth password '$ISC_PASSWORD'"
drop_databases() {
  for db in declared byvalue; do echo 'drop database;' | "$isql" -q -user "$user" "$stem$db.fdb" >/dev/null 2>&1 || true; done
}
[ -z "${VANTOR_DB_STEM:-}" ] || trap drop_databases EXIT
{ echo "create database '${stem}declared.fdb' $auth;"; cat text-byvalue/declare.sql; } | "$isql" -q -ch WIN1250
"$gbak" -b -user "$user" "${stem}declared.fdb" "$dir/declared.fbk"
# An argument record of the backup: its function's name, then attribute 2
# (position: 4 bytes) and attribute 3 (mechanism: 4 bytes, 1 = by reference).
perl -0777 -pi -e 's/(\x0bIIF_[IDT]_BYVAL\x02\x04[\x02\x03]\x00\x00\x00\x03\x04)\x01/${1}\x00/g' "$dir/declared.fbk"
"$gbak" -c -user "$user" "$dir/declared.fbk" "${stem}byvalue.fdb"
"$isql" -q -ch WIN1250 -user "$user" "${stem}byvalue.fdb" < text-byvalue/call.sql
