#!/usr/bin/env bash
# The in-engine benchmark: builds a table of ROWS rows (default 1,000,000)
# and a table of BLOBS BLOBs of 64 KiB of records (default 1,000) in the
# embedded i386 engine, warms the cache, then times SELECT COUNT(*) ... WHERE
# <predicate> for the bare scan, a do-nothing UDF of each argument shape
# (libvantor_floor.so), each vantor function and the built-ins that do the
# same job, RUNS rounds (default 3). Writes results.json in its work folder
# (default build/i386/enginebench) and prints it as a table
# (scripts/perfreport.sh turns it into the report).
#
#   scripts/enginebench.sh [--rows N] [--blobs N] [--runs N] [--reuse] [--work DIR]
#
# --reuse times the database left by an earlier run of the same size instead
# of building it anew. The full run takes many minutes (a legacy UDF call
# costs the engine several microseconds a row); --rows 20000 is a smoke run.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
rows=1000000 blobs=1000 runs=3 reuse=0 work=""
while [ $# -gt 0 ]; do
  case "$1" in
    --rows) rows=$2; shift 2 ;;
    --blobs) blobs=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    --reuse) reuse=1; shift ;;
    --work) work=$2; shift 2 ;;
    *) echo "usage: $0 [--rows N] [--blobs N] [--runs N] [--reuse] [--work DIR]" >&2; exit 2 ;;
  esac
done
python=python3
[ -x /usr/bin/python3 ] && python=/usr/bin/python3
bench="$root/bench/enginebench.py"
builddir="$root/build/i386"
[ -n "$work" ] || work="$builddir/enginebench"

bash "$root/scripts/build.sh" i386 -DVANTOR_BENCH=ON
mkdir -p "$work"
work=$(cd "$work" && pwd)
db="$work/build.fdb"

if [ $reuse -eq 0 ] || [ ! -f "$db" ] || [ "$(cat "$work/size" 2>/dev/null)" != "$rows $blobs" ]; then
  rm -f "$work/size"
  "$python" "$bench" build-sql "$rows" "$root/sql/vantor.sql" "$work/build.sql"
  printf '#!/bin/sh\nexec "%s" "$1" %s\n' "$builddir/bench/vantor_blobfill" "$blobs" > "$work/blobfill.sh"
  chmod +x "$work/blobfill.sh"
  echo "enginebench: building $rows rows and $blobs BLOBs" >&2
  bash "$root/scripts/fbrun.sh" --build "$builddir" --keep "$work" --setup "$work/blobfill.sh" \
    "$work/build.sql" > "$work/build.out" 2>&1
  if grep -q "Statement failed\|SQLSTATE" "$work/build.out" \
     || ! grep -q "ROWS_IN_T *$rows\$" "$work/build.out"; then
    cat "$work/build.out" >&2
    echo "enginebench: building the table failed" >&2
    exit 1
  fi
  echo "$rows $blobs" > "$work/size"
fi

# The same private engine root and scratch folders that scripts/fbrun.sh
# used to build the database, with a page cache that holds the whole table.
"$python" "$bench" time-sql "$runs" "$blobs" "$work/time.sql"
echo "enginebench: timing $runs rounds" >&2
FIREBIRD="$builddir/fbroot" FIREBIRD_LOCK="$work/lock" FIREBIRD_TMP="$work" ISC_USER=SYSDBA \
  /usr/bin/isql-fb -q -ch WIN1250 -c 30000 -i "$work/time.sql" "$db" -user SYSDBA > "$work/time.out" 2>&1 || true
if grep -q "Statement failed\|SQLSTATE" "$work/time.out"; then
  grep -B2 -A6 "Statement failed\|SQLSTATE" "$work/time.out" | head -40 >&2
  echo "enginebench: a timed query failed" >&2
  exit 1
fi
"$python" "$bench" results "$work/time.out" "$rows" "$blobs" "$runs" "$work/results.json"
"$python" "$root/bench/perfreport.py" engine-table "$work/results.json"
