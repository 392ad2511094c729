#!/bin/sh
# Run by text.sql (isql SHELL): declares IIF_I, IIF_D and IIF_T with both
# alternatives and the result BY VALUE, and calls them in the real engine.
#
# The engine passes an argument whose mechanism is "by value" (0) as the
# value itself, but its SQL has no syntax for such arguments and its system
# tables are read-only. So the functions are declared by reference in a
# scratch database, backed up, the mechanism of the two alternatives is set
# to 0 in the backup, and the backup is restored.
#
# The databases are files of the scratch folder, or, where VANTOR_DB_STEM is
# set (HOST/PORT:/folder/prefix-, scripts/installcheck.sh), databases of that
# server, reached as ISC_USER with ISC_PASSWORD and dropped at the end; the
# backup stays a file of this machine.
set -eu
dir=$FIREBIRD_TMP/byvalue
rm -rf "$dir" && mkdir -p "$dir"
stem=${VANTOR_DB_STEM:-$dir/}
auth="user '${ISC_USER:-SYSDBA}'"
[ -z "${ISC_PASSWORD:-}" ] || auth="$auth password '$ISC_PASSWORD'"
drop_databases() {
  for db in declared byvalue; do
    echo 'drop database;' | "${VANTOR_ISQL:-isql-fb}" -q -user "${ISC_USER:-SYSDBA}" "${stem}$db.fdb" >/dev/null 2>&1 || true
  done
}
[ -z "${VANTOR_DB_STEM:-}" ] || trap drop_databases EXIT
"${VANTOR_ISQL:-isql-fb}" -q -ch WIN1250 <<EOF
create database '${stem}declared.fdb' $auth;
DECLARE EXTERNAL FUNCTION IIF_I_BYVAL SMALLINT, INTEGER, INTEGER
  RETURNS INTEGER BY VALUE ENTRY_POINT 'IIF_I' MODULE_NAME 'vantor';
DECLARE EXTERNAL FUNCTION IIF_D_BYVAL SMALLINT, DATE, DATE
  RETURNS DATE BY VALUE ENTRY_POINT 'IIF_D' MODULE_NAME 'vantor';
DECLARE EXTERNAL FUNCTION IIF_T_BYVAL SMALLINT, TIME, TIME
  RETURNS TIME BY VALUE ENTRY_POINT 'IIF_T' MODULE_NAME 'vantor';
commit;
EOF
"${VANTOR_GBAK:-gbak}" -b -user "${ISC_USER:-SYSDBA}" "${stem}declared.fdb" "$dir/declared.fbk"
# An argument record of the backup: its function's name, then attribute 2
# (position: 4 bytes) and attribute 3 (mechanism: 4 bytes, 1 = by reference).
perl -0777 -pi -e 's/(\x0bIIF_[IDT]_BYVAL\x02\x04[\x02\x03]\x00\x00\x00\x03\x04)\x01/${1}\x00/g' "$dir/declared.fbk"
"${VANTOR_GBAK:-gbak}" -c -user "${ISC_USER:-SYSDBA}" "$dir/declared.fbk" "${stem}byvalue.fdb"
"${VANTOR_ISQL:-isql-fb}" -q -ch WIN1250 -user "${ISC_USER:-SYSDBA}" "${stem}byvalue.fdb" <<'EOF'
set list on;
-- Mechanism of the result (position 0) and each argument: 0 by value, 1 by reference.
select function_name, cast(list(position_mechanism, ' ') as varchar(40)) as position_mechanism
  from (select trim(rdb$function_name) as function_name,
               rdb$argument_position || ':' || rdb$mechanism as position_mechanism
          from rdb$function_arguments
         where rdb$function_name in ('IIF_I_BYVAL', 'IIF_D_BYVAL', 'IIF_T_BYVAL')
         order by 1, rdb$argument_position)
 group by 1 order by 1;
select c, iif_i_byval(c, -123456789, 2147483647) as i,
       iif_d_byval(c, date '2000-01-01', date '0001-01-01') as d,
       iif_t_byval(c, time '00:00:00.0001', time '23:59:59.9999') as t
  from (select 1 as c from rdb$database union all select 0 from rdb$database
        union all select -1 from rdb$database union all select -32768 from rdb$database
        union all select 32767 from rdb$database);
EOF
