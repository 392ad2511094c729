#!/bin/sh
# Run by unloadable.sql (isql SHELL): each declaration script where the engine
# cannot load its module, in an engine root of its own made from the run's
# (FIREBIRD): prints the exit status, the error that says why, and what the
# database then declares; a control case per module has the module in place.
#   vantor.sql, empty database: UDFs refused (UdfAccess = None), the library
#     not in the allowed folder, one of another architecture there;
#   vantor-udr.sql, a database with the legacy functions (which must stay):
#     the module not in the UDR folder, one of another architecture there.
set -u
. ../../scripts/lib/fbroot.sh
dir=$FIREBIRD_TMP/unloadable
rm -rf "$dir" && mkdir -p "$dir/empty" "$dir/other"
sql=$(cd ../../sql && pwd) build=$VANTOR_BUILD isql=${VANTOR_ISQL:-isql-fb}
# A shared object of the other architecture, under the modules' names.
if readelf -h "$build/libvantor.so" | grep -q 'Class:.*ELF64'; then other=/usr/lib/i386-linux-gnu/libm.so.6
else other=/usr/lib/x86_64-linux-gnu/libm.so.6; fi
cp "$other" "$dir/other/libvantor.so"

# make_root NAME USERFUNCTIONS UDR_MODULE: a root whose firebird.conf says
# UdfAccess = USERFUNCTIONS and whose UDR folder holds UDR_MODULE (none if
# empty).
make_root() {
  root=$dir/$1
  make_udr_root "$root" "$FIREBIRD"
  mkdir -p "$root/lock"
  printf 'UdfAccess = %s\n' "$2" > "$root/firebird.conf"
  [ -z "$3" ] || cp "$3" "$root/plugins/udr/libvantor_udr.so"
}

# in_root NAME ARGS...: isql in that root's engine.
in_root() {
  root=$dir/$1
  shift
  FIREBIRD=$root FIREBIRD_MSG=$root FIREBIRD_LOCK=$root/lock "$isql" -q -ch WIN1250 "$@"
}

# run CASE ROOT SCRIPT DB: runs a declaration script and reports.
run() {
  in_root "$2" -b -i "$3" "$4" > "$dir/$1.out" 2>&1
  status=$?
  why=$(grep -o 'libvantor.so did not load or answer\|cannot open shared object file\|wrong ELF class' "$dir/$1.out" | head -n 1)
  echo "$1: exit $status${why:+, $why}"
  echo "  $(in_root "$2" "$4" < declare-unloadable/declared.sql \
            | awk 'NF == 2 { out = out (out == "" ? "" : ", ") $1 " " $2 } END { print out }')"
}

make_root refused None ""
make_root missing "Restrict $dir/empty" ""
make_root other-class "Restrict $dir/other" ""
make_root allowed "Restrict $build" ""
make_root udr-missing "Restrict $build" ""
make_root udr-other-class "Restrict $build" "$other"
make_root udr-there "Restrict $build" "$build/libvantor_udr.so"

for case in refused missing other-class allowed; do
  echo "create database '$dir/$case.fdb' user 'SYSDBA';" | in_root "$case"
  run "legacy, $case" "$case" "$sql/vantor.sql" "$dir/$case.fdb"
done
for case in udr-missing udr-other-class udr-there; do
  echo "create database '$dir/$case.fdb' user 'SYSDBA';" | in_root allowed
  in_root allowed -b -i "$sql/vantor.sql" "$dir/$case.fdb" > /dev/null 2>&1 || echo "vantor.sql failed in $case"
  run "UDR, $case" "$case" "$sql/vantor-udr.sql" "$dir/$case.fdb"
done
