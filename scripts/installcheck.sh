#!/usr/bin/env bash
# installcheck: the SQL regression suite (tests/sql and its expected
# outputs) against a Firebird server of 3.0 or later that is already
# running, with vantor already installed in it, over TCP with credentials.
#
#   scripts/installcheck.sh --server HOST[/PORT] --user USER --password PASSWORD [--udr]
#       [--dir SERVER_FOLDER] [--isql PROGRAM] [--build DIR] [--skip NAME]... [NAME...]
#
# Each test gets a scratch database of its own, which the server creates in
# SERVER_FOLDER (a folder of the server's machine that the server may write
# and its DatabaseAccess allows; /tmp by default) and which is dropped after
# the test. vantor is declared in it with sql/vantor.sql, or with --udr
# sql/vantor-udr.sql (and the legacy functions beside it under the prefix
# LEGACY_, for the tests that compare the two modules), exactly as
# scripts/sqltest.sh does in the embedded engine; then the test runs, and its
# output is compared with the expected output of the server's variant: the
# module, the server's engine version (3.0, or 4.0 for 4.0 and later) and
# its architecture (i386 for 32-bit x86, whose engine divides at extended
# precision, x86_64 for every other).
#
# The client is isql-fb (or isql) on PATH, or --isql PROGRAM; a test that
# backs up and restores uses the gbak beside it. A client of 4.0 or later
# is needed for the 4.0 tests (time zone types). The BLOB test's setup
# program comes from the build folder (--build; build/x86_64 or build/i386
# by default) and writes its BLOBs over the same connection.
#
# Prints one line per test ("ok:", "FAILED:" with the difference, or
# "skipped:" with the reason) and closes with "N passed, M failed". Exits 0
# when every test that ran passed, 1 when one failed, 2 when the suite
# cannot run against this server (no connection, the module not installed).
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/lib/declare.sh"
usage="usage: $0 --server HOST[/PORT] --user USER --password PASSWORD [--udr] [--dir SERVER_FOLDER]
       [--isql PROGRAM] [--build DIR] [--skip NAME]... [NAME...]"
server="" user="" password="" udr=0 dir=/tmp isql="" builddir="" skip=" "
while [ $# -gt 0 ]; do
  case "$1" in
    --server) server=$2; shift 2 ;;
    --user) user=$2; shift 2 ;;
    --password) password=$2; shift 2 ;;
    --udr) udr=1; shift ;;
    --dir) dir=${2%/}; shift 2 ;;
    --isql) isql=$2; shift 2 ;;
    --build) builddir=$(cd "$2" && pwd) || exit 2; shift 2 ;;
    --skip) skip="$skip$2 "; shift 2 ;;
    -h|--help) echo "$usage"; exit 0 ;;
    -*) echo "$usage" >&2; exit 2 ;;
    *) break ;;
  esac
done
[ -n "$server" ] && [ -n "$user" ] && [ -n "$password" ] || { echo "$usage" >&2; exit 2; }
fail() { echo "installcheck: $*" >&2; exit 2; }
if [ -z "$isql" ]; then
  isql=$(command -v isql-fb || command -v isql) || fail "no isql-fb or isql on PATH (--isql PROGRAM)"
fi
command -v "$isql" > /dev/null || fail "$isql is not a program"
gbak=$(dirname "$(command -v "$isql")")/gbak
[ -x "$gbak" ] || gbak=$(command -v gbak || true)
if [ -z "$builddir" ]; then
  for flavour in x86_64 i386; do [ -d "$root/build/$flavour" ] && { builddir=$root/build/$flavour; break; }; done
fi
module=legacy declare="$root/sql/vantor.sql" module_file=libvantor.so
module_place="its UDF folder, which UdfAccess in its firebird.conf allows"
if [ $udr -eq 1 ]; then
  module=udr declare="$root/sql/vantor-udr.sql" module_file=libvantor_udr.so
  module_place="the folder plugins/udr, a copy, not a link"
fi
[ -f "$declare" ] || fail "no declaration script $declare"
charset=WIN1250

scratch=$(mktemp -d)
# Server-side names: unique to this run, so that runs side by side and what
# a killed run left behind do not meet.
stem="$server:$dir/vantor-installcheck-$(hostname -s 2>/dev/null || echo host)-$$-"
current=""  # the scratch database that exists now, if any
cleanup() {
  [ -z "$current" ] || drop "$current"
  rm -rf "$scratch"
}
trap cleanup EXIT
# The clients of the tests' own scripts connect as this user.
export ISC_USER=$user ISC_PASSWORD=$password
export VANTOR_ISQL=$isql VANTOR_GBAK=$gbak VANTOR_DB_STEM="${stem}text-" FIREBIRD_TMP=$scratch

sql() { "$isql" -q -ch "$charset" -user "$user" -password "$password" "$@"; }
drop() { echo 'drop database;' | sql "$1" > /dev/null 2>&1; }
# scratch_db NAME creates the scratch database NAME with vantor declared in
# it, as $current; on failure the output is in $scratch/declare.out.
scratch_db() {
  current="$stem$1.fdb"
  local bytes
  bytes=$(suite_text_bytes "$1")
  {
    echo "create database '$current' user '$user' password '$password' default character set $charset;"
    # The lengths sqltest.sh declares for the test.
    [ $udr -eq 0 ] || [ -z "$bytes" ] || udr_text_lengths "$bytes"
    cat "$declare"
    [ $udr -eq 0 ] || legacy_beside_udr "$root" "$charset"
    echo "commit;"
  } > "$scratch/declare.sql"
  sql -b -i "$scratch/declare.sql" > "$scratch/declare.out" 2>&1 && return 0
  drop "$current"
  current=""
  return 1
}
# The server, once: a connection, its version and architecture, the module.
if ! scratch_db probe; then
  cat "$scratch/declare.out" >&2
  if grep -q -i -E 'unavailable database|network|connection|password|not defined|login' "$scratch/declare.out"; then
    fail "cannot connect to the server $server as $user (see above)"
  elif grep -q -i -E 'create|I/O error|access to database' "$scratch/declare.out"; then
    fail "the server cannot create a database in $dir (--dir: a folder the server may write, that DatabaseAccess allows)"
  fi
  fail "declaring vantor ($declare) failed (see above): is $module_file installed in the server ($module_place)?"
fi
probe=$current
cat > "$scratch/probe.sql" <<'EOF'
set list on;
select rdb$get_context('SYSTEM', 'ENGINE_VERSION') as engine_version from rdb$database;
show version;
EOF
sql -i "$scratch/probe.sql" "$probe" > "$scratch/probe.out" 2>&1 || { cat "$scratch/probe.out" >&2; fail "cannot query the server"; }
version=$(sed -n 's/^ENGINE_VERSION *//p' "$scratch/probe.out")
major=${version%%.*}
[[ "$major" =~ ^[0-9]+$ ]] || { cat "$scratch/probe.out" >&2; fail "the server did not tell its version"; }
[ "$major" -ge 3 ] || fail "the server is Firebird $version; vantor needs 3.0 or later"
engine=fb3
[ "$major" -lt 4 ] || engine=fb4
# The engine's own line of "show version": "Firebird/Linux/Intel/i386
# (access method)" on a 32-bit x86 server.
if grep '(access method)' "$scratch/probe.out" | grep -q -E 'i386|/x86[ ,(]'; then flavour=i386; else flavour=x86_64; fi
# Does the module load? A call of one of its functions answers.
check_call() {  # check_call DB FUNCTION-PREFIX: prints the error, if any
  printf "set list on;\nselect %sDP2TS(36526.75) as loaded from rdb\$database;\n" "$2" > "$scratch/call.sql"
  sql -i "$scratch/call.sql" "$1" 2>&1 | grep -v -E '^(LOADED .*)?$' || true
}
error=$(check_call "$probe" "")
if [ -n "$error" ]; then
  echo "$error" >&2
  fail "the $module module does not load in the server: is $module_file installed there ($module_place)?"
fi
legacy_beside=1
[ $udr -eq 0 ] || [ -z "$(check_call "$probe" LEGACY_)" ] || legacy_beside=0
# The time-zone test wants a session in the server process's zone, UTC
# (Etc/UTC where the process takes it from /etc/localtime).
zone=""
if [ "$engine" = fb4 ]; then
  printf "set list on;\nselect rdb\$get_context('SYSTEM', 'SESSION_TIMEZONE') as zone,\n  datediff(minute from now() to localtimestamp) as drift from rdb\$database;\n" \
    > "$scratch/zone.sql"
  zone=$(sql -i "$scratch/zone.sql" "$probe" 2>&1 | awk '$1 == "ZONE" {z = $2} $1 == "DRIFT" {d = $2} END {print z "/" d}')
fi
client=$("$isql" -z -q < /dev/null 2>&1 | sed -n 's/.*ISQL Version: *[A-Z]*-[A-Z]\([0-9][0-9]*\)\..*/\1/p' | head -n 1)
drop "$probe"
current=""
echo "installcheck: Firebird $version ($flavour) at $server, $module module; expected outputs of $module/$flavour/$engine"

# The tests, as scripts/sqltest.sh chooses them, and why any is left out.
skipped() { echo "skipped: sql/$1 ($2)"; }
names=()
if [ $# -gt 0 ]; then names=("$@"); else
  for f in "$root"/tests/sql/*.sql; do
    name=$(basename "$f" .sql)
    if [ $udr -eq 0 ] && [[ "$name" == udr_* ]]; then continue; fi
    if [ "$engine" != fb4 ] && [[ "$name" == fb4_* ]]; then continue; fi
    if [[ "$skip" == *" $name "* ]]; then skipped "$name" "--skip"; continue; fi
    names+=("$name")
  done
fi
expected_tool="$root/tests/tools/expected.py"
without_legacy_parts() { sed '/^-- legacy-only:/,/^-- end legacy-only$/d'; }
error_lines_unnumbered() { sed -E 's/^After line [0-9]+ in file .*/After line N/'; }
passed=0 failed=0
for name in "${names[@]}"; do
  sqlfile="$root/tests/sql/$name.sql"
  [ -f "$sqlfile" ] || { echo "FAILED: sql/$name (no $sqlfile)"; failed=$((failed + 1)); continue; }
  setup=""
  if [ -f "$root/tests/sql/$name.setup" ]; then
    setup="$builddir/$(tr -d '[:space:]' < "$root/tests/sql/$name.setup")"
    [ -n "$builddir" ] && [ -x "$setup" ] || { skipped "$name" "its setup program $setup is not built (--build DIR)"; continue; }
  fi
  if [ "$name" = unloadable ]; then
    skipped "$name" "it runs engines of its own, embedded, from roots it makes beside the build"; continue
  fi
  if [ $udr -eq 1 ] && [ "$name" = reinstall ]; then
    skipped "$name" "it reinstalls the legacy module: it runs without --udr"; continue
  fi
  if [ $udr -eq 1 ] && [[ "$name" == udr_* ]] && [ $legacy_beside -eq 0 ]; then
    skipped "$name" "it compares with the legacy module, which does not load in this server"; continue
  fi
  if grep -q '^shell ' "$sqlfile" && { [ -z "$gbak" ] || ! command -v perl > /dev/null; }; then
    skipped "$name" "its script backs up and restores a database: it needs gbak beside $isql and perl"; continue
  fi
  if [[ "$name" == fb4_* ]]; then
    if [ -n "$client" ] && [ "$client" -lt 4 ]; then
      skipped "$name" "it needs a client of 4.0 or later; $isql is $client.x"; continue
    fi
    if [ "$zone" != "UTC/0" ] && [ "$zone" != "Etc/UTC/0" ]; then
      skipped "$name" "it needs a server whose process time zone is UTC; a session here is in ${zone%/*}"; continue
    fi
  fi
  # Where the legacy module does not load, the parts of a test between
  # "-- legacy-only: REASON" and "-- end legacy-only" (declarations of the
  # legacy module of its own) are left out of it and of its expected
  # output; the lines isql reports errors at then move, and are not compared.
  run_file="$name.sql" legacy_parts=""
  if [ $udr -eq 1 ] && [ $legacy_beside -eq 0 ] && grep -q '^-- legacy-only:' "$sqlfile"; then
    legacy_parts=$(sed -n 's/^-- legacy-only: //p' "$sqlfile" | paste -s -d ';' | sed 's/;/; /g')
    run_file="$scratch/$name.sql"
    without_legacy_parts < "$sqlfile" > "$run_file"
  fi
  if ! scratch_db "$name"; then
    echo "FAILED: sql/$name (declaring vantor failed)"; sed 's/^/  /' "$scratch/declare.out"
    failed=$((failed + 1)); continue
  fi
  db=$current
  {
    [ -z "$setup" ] || "$setup" "$db" || echo "installcheck: setup $setup failed"
    # From the tests folder, so that the echoed statements carry no paths.
    (cd "$root/tests/sql" && sql -e -i "$run_file" "$db")
  } > "$scratch/$name.out" 2>&1
  drop "$db"
  current=""
  if python3 "$expected_tool" expand "$root/tests/sql/$name.out" $module $flavour $engine > "$scratch/$name.expected" \
     && if [ -z "$legacy_parts" ]; then diff -u "$scratch/$name.expected" "$scratch/$name.out"
        else diff -u <(without_legacy_parts < "$scratch/$name.expected" | error_lines_unnumbered) \
               <(error_lines_unnumbered < "$scratch/$name.out"); fi > "$scratch/$name.diff"; then
    echo "ok: sql/$name"; passed=$((passed + 1))
    [ -z "$legacy_parts" ] || echo "  (its parts that need the legacy module, which does not load in this server, left out: $legacy_parts)"
  else
    echo "FAILED: sql/$name"
    head -n 80 "$scratch/$name.diff" | sed 's/^/  /'
    failed=$((failed + 1))
  fi
done
echo "$passed passed, $failed failed"
[ $failed -eq 0 ]
