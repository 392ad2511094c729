#!/usr/bin/env bash
# A database that calls the legacy module (tests/upgrade/setup.sql), made on the i386 and amd64 3.0 engines, upgraded
# to Debian 13's 4.0 server as shipped (UdfAccess = None), vantor installed there from its packages, by both paths of
# docs/upgrading.md; after each, tests/upgrade/queries.sql must answer byte for byte as on 3.0 (they read the
# expression index's RDB$INDEX_INACTIVE and use it in their plans). Then installcheck --udr against that server.
#   scripts/upgradetest.sh     (needs root: chroot, dpkg in the Debian 13 root; both flavours built)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/lib/trixie.sh"
. "$root/scripts/lib/check.sh"
[ "$(id -u)" -eq 0 ] || { echo "upgradetest: needs root (debootstrap, chroot)" >&2; exit 2; }
[ -f "$root/build/i386/libvantor_udr.so" ] && [ -f "$root/build/x86_64/libvantor_udr.so" ] \
  || { echo "upgradetest: build i386 and x86_64 first (scripts/build.sh)" >&2; exit 2; }
scratch=$(mktemp -d)
chmod 755 "$scratch"
trap 'trixie_unserve; rm -rf "$scratch"' EXIT
tests="$root/tests/upgrade" queries="$root/tests/upgrade/queries.sql"
same_file() { diff -u "$2" "$1" >&2; }  # same_file GOT EXPECTED
not_failed() { ! grep -B 2 -A 4 -E 'Statement failed|error' "$1" >&2; }
# silent FILE COMMAND... and fails_saying FILE PATTERN COMMAND...: the command's output in FILE, shown if not as said.
silent() { "${@:2}" > "$1" 2>&1 && [ ! -s "$1" ] || { cat "$1" >&2; return 1; }; }
fails_saying() { ! "${@:3}" > "$1" 2>&1 && grep -q -- "$2" "$1" || { cat "$1" >&2; return 1; }; }
engine3() {  # engine3 FLAVOUR ISQL|GBAK ARGS...: a tool of the 3.0 engine that fbrun.sh kept in $scratch/FLAVOUR
  local dir="$scratch/$1" tool=VANTOR_$2
  ( set -a; . "$dir/engine.env"; set +a
    FIREBIRD_LOCK="$dir/lock" FIREBIRD_TMP="$dir" ISC_USER=SYSDBA exec "${!tool}" "${@:3}" )
}
for flavour in i386 x86_64; do
  dir="$scratch/$flavour"
  bash "$root/scripts/fbrun.sh" --build "$root/build/$flavour" --keep "$dir" "$root/tests/upgrade/setup.sql" \
    > "$dir.setup.out" 2>&1 || true
  check "3.0 $flavour: the database is made" not_failed "$dir.setup.out"
  engine3 "$flavour" ISQL -q -ch WIN1250 -i "$queries" "$dir/setup.fdb" > "$dir.before" 2>&1
  engine3 "$flavour" GBAK -b "$dir/setup.fdb" "$dir/legacy.fbk"
done
alike() { not_failed "$scratch/i386.before" && same_file "$scratch/x86_64.before" "$scratch/i386.before"; }
check "3.0: the queries answer, alike on the i386 and amd64 engines" alike

# Path A on 3.0, with the UDR module beside the legacy one.
cp "$scratch/i386/setup.fdb" "$scratch/i386/moved.fdb"
check "path A: vantor-udr.sql moves the database on 3.0" logged "$scratch/path-a-move.out" \
  bash "$root/scripts/fbrun.sh" --udr --build "$root/build/i386" --keep "$scratch/i386-udr" \
  --database "$scratch/i386/moved.fdb" "$root/sql/vantor-udr.sql"
engine3 i386-udr GBAK -b "$scratch/i386/moved.fdb" "$scratch/moved.fbk"

dbdir=/tmp/vantor-upgradetest-$$
trixie_serve "$scratch" "$dbdir" shipped || { echo "upgradetest: no Debian 13 server with vantor installed" >&2; exit 1; }
port=$TRIXIE_PORT
creds=(-user SYSDBA -password "$TRIXIE_PASSWORD")
dbname() { echo "127.0.0.1/$port:$dbdir/$1.fdb"; }
sql4() { "$scratch/tools/isql-fb" -q -ch WIN1250 "${creds[@]}" "$@"; }
move_script="$TRIXIE_DIR/usr/share/vantor/vantor-udr.sql"
state() { sql4 -i "$tests/state.sql" "$(dbname "$1")" 2>&1 | grep -v '^$'; }
unchanged() { same_file <(state path_b) "$scratch/path-b.state"; }
answers() { same_file <(sql4 -i "$queries" "$(dbname "$1")" 2>&1) "$scratch/i386.before"; }
check "path A: gbak -c on 4.0 restores the moved database, silently" silent "$scratch/path-a-restore.out" \
  "$scratch/tools/gbak" -c "${creds[@]}" "$scratch/moved.fbk" "$(dbname path_a)"
check "path A: the queries answer on 4.0 as on 3.0" answers path_a

# Path B. The index on D2DP cannot be built where the legacy module does not load.
check "path B: gbak -c on 4.0 fails, leaving the database offline" fails_saying "$scratch/path-b-restore.out" \
  'Database is not online due to failure to activate one or more indices' \
  "$scratch/tools/gbak" -c "${creds[@]}" "$scratch/x86_64/legacy.fbk" "$(dbname path_b)"
"$scratch/tools/gfix" -online "${creds[@]}" "$(dbname path_b)"
legacy_offline() { local s; s=$(state path_b); grep -q -x 'INDEX_INACTIVE *1' <<< "$s" && ! grep -q ' UDR$' <<< "$s"; }
check "path B: after gfix -online, the index is inactive and the functions legacy" legacy_offline
sql4 -i "$tests/misfit.sql" "$(dbname path_b)"
state path_b > "$scratch/path-b.state"
sql4 -i <(printf "SELECT RDB\$SET_CONTEXT('USER_SESSION', 'VANTOR_DRY_RUN', '1') FROM RDB\$DATABASE;\nINPUT '%s';\n" \
  "$move_script") "$(dbname path_b)" > "$scratch/path-b-dry-run.out" 2>&1 || true
check "path B: the dry run changes nothing" unchanged
listed() { grep -A2 -x "FUNCTION_NAME *$1" "$scratch/path-b-dry-run.out" | grep -q "^WHAT *$2"; }
lists_all() {
  listed F_MATCH move && listed F_TWO_DOWS 'refuse: declared' && listed INVOICE_DP 'activate index' \
    || { cat "$scratch/path-b-dry-run.out" >&2; return 1; }
}
check "path B: the dry run lists the moves, the refusal and the index" lists_all
check "path B: the move refuses F_TWO_DOWS by name" fails_saying "$scratch/path-b-refused.out" \
  '^-F_TWO_DOWS: declared .* Nothing was changed\.$' sql4 -i "$move_script" "$(dbname path_b)"
check "path B: the refused move changes nothing" unchanged
echo "DROP EXTERNAL FUNCTION F_TWO_DOWS; COMMIT;" | sql4 "$(dbname path_b)"
check "path B: the package's vantor-udr.sql moves the database on 4.0" logged "$scratch/path-b-move.out" \
  sql4 -i "$move_script" "$(dbname path_b)"
check "path B: the queries answer on 4.0 as on 3.0" answers path_b
check "installcheck --udr against the 4.0 server with UdfAccess = None" \
  bash "$root/scripts/installcheck.sh" --server "127.0.0.1/$port" --user SYSDBA --password "$TRIXIE_PASSWORD" \
    --dir "$dbdir" --isql "$scratch/tools/isql-fb" --build "$root/build/x86_64" --skip calendar_days --udr
checked upgradetest
