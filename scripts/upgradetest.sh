#!/usr/bin/env bash
# A database that calls vantor through the legacy module, upgraded from
# Firebird 3.0 to Debian 13's Firebird 4.0 server as Debian ships it
# (UdfAccess = None: no legacy UDF loads), with vantor installed there from
# its packages (firebird4.0-vantor, vantor-common). docs/upgrading.md is the
# procedure this follows.
#
#   1. The 3.0 database (tests/upgrade/setup.sql: vantor.sql, user-named
#      legacy declarations, a dependent of every kind, rows with NULLs) is
#      made on the i386 3.0 engine and on the amd64 one, embedded (fbrun.sh),
#      and tests/upgrade/queries.sql runs on each: "before". The two must
#      agree.
#   2. Path A, from the i386 database: vantor-udr.sql moves it on the 3.0
#      engine, gbak -b there, gbak -c on the 4.0 server; the queries must
#      print "before" byte for byte.
#   3. Path B, from the amd64 database: gbak -b of the legacy database,
#      gbak -c on the 4.0 server, which leaves it offline with its
#      expression index inactive; gfix -online; a dry run of the package's
#      vantor-udr.sql (VANTOR_DRY_RUN = 1), which must change nothing; the
#      move itself; the queries must print "before" byte for byte (they
#      read the index's RDB$INDEX_INACTIVE, and use it in their plans).
#   4. installcheck --udr: the SQL suite against that server, where the
#      legacy module cannot load.
#
# Needs root (chroot, dpkg in the Debian 13 root) and both flavours built.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/lib/trixie.sh"
. "$root/scripts/lib/check.sh"
[ "$(id -u)" -eq 0 ] || { echo "upgradetest: needs root (debootstrap, chroot)" >&2; exit 2; }
for flavour in i386 x86_64; do
  [ -f "$root/build/$flavour/libvantor_udr.so" ] \
    || { echo "upgradetest: build $flavour first (scripts/build.sh $flavour)" >&2; exit 2; }
done
scratch=$(mktemp -d)
chmod 755 "$scratch"
installed=0 dbdir=""
cleanup() {
  trixie_stop
  [ $installed -eq 0 ] || trixie_remove_vantor > /dev/null 2>&1 || true
  [ -z "$dbdir" ] || rm -rf "$TRIXIE_DIR$dbdir"
  rm -rf "$scratch"
}
trap cleanup EXIT
same_file() {  # same_file GOT EXPECTED: byte for byte, or the difference
  diff -u "$2" "$1" >&2
}
not_failed() { ! grep -B 2 -A 4 -E 'Statement failed|error' "$1" >&2; }
same_status() { [ "$1" = 1 ] || { cat "$2" >&2; return 1; }; }
queries="$root/tests/upgrade/queries.sql"

# 1. The 3.0 databases, and what they answer.
engine3() {  # engine3 FLAVOUR isql|gbak ARGS...: a tool of that 3.0 engine, on its kept folder
  local dir="$scratch/$1" tool=$2
  shift 2
  ( set -a; . "$dir/engine.env"; set +a
    export FIREBIRD_LOCK="$dir/lock" FIREBIRD_TMP="$dir" ISC_USER=SYSDBA
    if [ "$tool" = isql ]; then exec "$VANTOR_ISQL" -q -ch WIN1250 "$@"; else exec "$VANTOR_GBAK" "$@"; fi )
}
for flavour in i386 x86_64; do
  dir="$scratch/$flavour"
  bash "$root/scripts/fbrun.sh" --build "$root/build/$flavour" --keep "$dir" "$root/tests/upgrade/setup.sql" \
    > "$dir.setup.out" 2>&1 || true
  check "3.0 $flavour: the database is made" not_failed "$dir.setup.out"
  engine3 "$flavour" isql -i "$queries" "$dir/setup.fdb" > "$dir.before" 2>&1
  engine3 "$flavour" gbak -b "$dir/setup.fdb" "$dir/legacy.fbk"
done
alike() { not_failed "$1" && same_file "$2" "$1"; }
check "3.0: the queries answer, alike on the i386 and amd64 engines" alike "$scratch/i386.before" "$scratch/x86_64.before"
before="$scratch/i386.before"

# 2. Path A on the old server: the move in the i386 3.0 engine (with the UDR
# module beside the legacy one), then the backup.
cp "$scratch/i386/setup.fdb" "$scratch/i386/moved.fdb"
bash "$root/scripts/fbrun.sh" --udr --build "$root/build/i386" --keep "$scratch/i386-udr" \
  --database "$scratch/i386/moved.fdb" "$root/sql/vantor-udr.sql" > "$scratch/path-a-move.out" 2>&1 && ok=1 || ok=0
check "path A: vantor-udr.sql moves the database on 3.0" same_status $ok "$scratch/path-a-move.out"
engine3 i386-udr gbak -b "$scratch/i386/moved.fdb" "$scratch/moved.fbk"

# Debian 13's 4.0 server as shipped, vantor from its packages.
mkdir -p "$(dirname "$TRIXIE_DIR")"
exec 9> "$TRIXIE_DIR.lock"
flock 9
trixie_make || { echo "upgradetest: no Debian 13 root" >&2; exit 1; }
bash "$root/scripts/package.sh" x86_64 > /dev/null
installed=1
trixie_install_vantor "$root/build/x86_64" > "$scratch/dpkg.log" 2>&1 \
  || { cat "$scratch/dpkg.log"; echo "upgradetest: installing vantor in the Debian 13 root failed" >&2; exit 1; }
port=$(free_port 34000 34999) || { echo "upgradetest: no free port" >&2; exit 1; }
trixie_start "$port" "$scratch" shipped || exit 1
trixie_tools "$scratch/tools"
dbdir=/tmp/vantor-upgradetest-$$
mkdir -p "$TRIXIE_DIR$dbdir"
chroot "$TRIXIE_DIR" chown firebird:firebird "$dbdir"
creds=(-user SYSDBA -password "$TRIXIE_PASSWORD")
dbname() { echo "127.0.0.1/$port:$dbdir/$1.fdb"; }
sql4() { "$scratch/tools/isql-fb" -q -ch WIN1250 "${creds[@]}" "$@"; }
move_script="$TRIXIE_DIR/usr/share/vantor/vantor-udr.sql"
# What the database declares and whether its expression index is active.
cat > "$scratch/state.sql" <<'EOF'
set list on;
select trim(rdb$function_name) || ' ' || iif(rdb$legacy_flag = 1, 'legacy', trim(rdb$engine_name)) as function_
  from rdb$functions where rdb$system_flag = 0 order by 1;
select rdb$index_inactive as index_inactive from rdb$indices where rdb$index_name = 'INVOICE_DP';
EOF
state() { sql4 -i "$scratch/state.sql" "$(dbname "$1")" 2>&1 | grep -v '^$'; }

# Path A on the new server: the restore needs nothing more.
"$scratch/tools/gbak" -c "${creds[@]}" "$scratch/moved.fbk" "$(dbname path_a)" > "$scratch/path-a-restore.out" 2>&1 \
  && ok=1 || ok=0
[ ! -s "$scratch/path-a-restore.out" ] || ok=0
check "path A: gbak -c on 4.0 restores the moved database, silently" same_status $ok "$scratch/path-a-restore.out"
sql4 -i "$queries" "$(dbname path_a)" > "$scratch/path-a.after" 2>&1 || true
check "path A: the queries answer on 4.0 as on 3.0" same_file "$scratch/path-a.after" "$before"

# 3. Path B: the legacy database restored first. The index on D2DP cannot be
# built where the legacy module does not load.
"$scratch/tools/gbak" -c "${creds[@]}" "$scratch/x86_64/legacy.fbk" "$(dbname path_b)" > "$scratch/path-b-restore.out" 2>&1 \
  && ok=1 || ok=0
offline() { [ "$1" = 0 ] && grep -q 'Database is not online due to failure to activate one or more indices' "$2"; }
check "path B: gbak -c on 4.0 fails, leaving the database offline" offline $ok "$scratch/path-b-restore.out"
"$scratch/tools/gfix" -online "${creds[@]}" "$(dbname path_b)"
state path_b > "$scratch/path-b.state"
legacy_offline() { grep -q -x 'INDEX_INACTIVE *1' "$1" && ! grep -q ' UDR$' "$1"; }
check "path B: after gfix -online, the index is inactive and the functions legacy" legacy_offline "$scratch/path-b.state"
# A legacy declaration that its entry point does not fit: the dry run lists
# it as refused (and the moves and the index it would make), the move fails
# by its name and changes nothing; dropped, the move goes on.
echo "DECLARE EXTERNAL FUNCTION F_TWO_DOWS DOUBLE PRECISION, DOUBLE PRECISION RETURNS SMALLINT BY VALUE
  ENTRY_POINT 'DP2DOW' MODULE_NAME 'libvantor'; COMMIT;" | sql4 "$(dbname path_b)"
state path_b > "$scratch/path-b.state"
printf "SELECT RDB\$SET_CONTEXT('USER_SESSION', 'VANTOR_DRY_RUN', '1') FROM RDB\$DATABASE;\nINPUT '%s';\n" \
  "$move_script" > "$scratch/dry-run.sql"
sql4 -i "$scratch/dry-run.sql" "$(dbname path_b)" > "$scratch/path-b-dry-run.out" 2>&1 || true
state path_b > "$scratch/path-b.after-dry-run"
check "path B: the dry run changes nothing" same_file "$scratch/path-b.after-dry-run" "$scratch/path-b.state"
listed() { grep -A2 -x "FUNCTION_NAME *$1" "$scratch/path-b-dry-run.out" | grep -q "^WHAT *$2"; }
lists_all() {
  listed F_MATCH move && listed F_TWO_DOWS 'refuse: declared' && listed INVOICE_DP 'activate index' \
    || { cat "$scratch/path-b-dry-run.out" >&2; return 1; }
}
check "path B: the dry run lists the moves, the refusal and the index" lists_all
sql4 -i "$move_script" "$(dbname path_b)" > "$scratch/path-b-refused.out" 2>&1 && ok=1 || ok=0
state path_b > "$scratch/path-b.after-refusal"
refused() { [ "$1" = 0 ] && grep -q '^-F_TWO_DOWS: declared .* Nothing was changed\.$' "$2" && same_file "$3" "$4"; }
check "path B: the move refuses F_TWO_DOWS by name and changes nothing" \
  refused $ok "$scratch/path-b-refused.out" "$scratch/path-b.after-refusal" "$scratch/path-b.state"
echo "DROP EXTERNAL FUNCTION F_TWO_DOWS; COMMIT;" | sql4 "$(dbname path_b)"
sql4 -i "$move_script" "$(dbname path_b)" > "$scratch/path-b-move.out" 2>&1 && ok=1 || ok=0
check "path B: the package's vantor-udr.sql moves the database on 4.0" same_status $ok "$scratch/path-b-move.out"
sql4 -i "$queries" "$(dbname path_b)" > "$scratch/path-b.after" 2>&1 || true
check "path B: the queries answer on 4.0 as on 3.0" same_file "$scratch/path-b.after" "$before"

# 4. The SQL suite against the server that refuses legacy UDFs.
check "installcheck --udr against the 4.0 server with UdfAccess = None" \
  bash "$root/scripts/installcheck.sh" --server "127.0.0.1/$port" --user SYSDBA --password "$TRIXIE_PASSWORD" \
    --dir "$dbdir" --isql "$scratch/tools/isql-fb" --build "$root/build/x86_64" --skip calendar_days --udr

checked upgradetest
