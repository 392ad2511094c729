#!/usr/bin/env bash
# The in-engine benchmark: builds a table of ROWS rows (default 1,000,000)
# and a table of BLOBS BLOBs of 64 KiB of records (default 1,000) in an
# embedded engine that has both modules declared (the UDR module under the
# functions' names, the legacy one as LEGACY_<name>), warms the cache, then
# times SELECT COUNT(*) ... WHERE <predicate> for the bare scan, a
# do-nothing routine of each argument shape in each module (the floors:
# libvantor_floor.so, libvantor_floor_udr.so), each vantor function through
# each module and the built-ins that do the same job, RUNS rounds (default
# 3), each in an engine process of its own. Writes results.json in its work folder (default
# build/<flavour>/enginebench-<engine>) and prints it as a table
# (scripts/perfreport.sh turns it into the report).
#
#   scripts/enginebench.sh [--engine fb3|fb4] [--flavour i386|x86_64] [--rows N]
#                          [--blobs N] [--runs N] [--reuse] [--work DIR] [--suite functions|lengths|moved]
#
# Each query is timed by the user plus system CPU time of the process that
# runs the engine (isql, with the engine embedded), read from /proc by a
# marker that isql runs before every query, and by its elapsed time (see
# bench/enginebench.py). --suite lengths times, instead of the functions,
# Match, ALC and IIF_S with one text declared at each of 4095 to 32765
# bytes, beside the legacy call (lengths.json; the table of
# docs/ENGINE-LENGTHS.md). --suite moved times each function through its
# fresh UDR declaration and through the declaration a move from the legacy
# module leaves (its legacy NULL rules), side by side (moved.json).
#
# The engine is Firebird 3.0 (default) or 4.0; the flavour picks the build
# and the engine's architecture. The default
# flavour is i386 for 3.0 where the machine runs 32-bit code natively, and
# x86_64 otherwise (under an emulator the i386 engine's figures would be the
# emulator's). --reuse times the database left by an earlier run of the
# same size instead of building it anew. The full run takes many minutes (a
# legacy UDF call costs the engine several microseconds a row); --rows
# 20000 is a smoke run.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/lib/platform.sh"
engine=fb3 flavour="" rows=1000000 blobs=1000 runs=3 reuse=0 work="" suite=functions
usage="usage: $0 [--engine fb3|fb4] [--flavour i386|x86_64] [--rows N] [--blobs N] [--runs N] [--reuse] [--work DIR] [--suite functions|lengths|moved]"
while [ $# -gt 0 ]; do
  case "$1" in
    --engine) engine=$2; shift 2 ;;
    --flavour) flavour=$2; shift 2 ;;
    --rows) rows=$2; shift 2 ;;
    --blobs) blobs=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    --reuse) reuse=1; shift ;;
    --work) work=$2; shift 2 ;;
    --suite) suite=$2; shift 2 ;;
    *) echo "$usage" >&2; exit 2 ;;
  esac
done
if [ -z "$flavour" ]; then
  flavour=x86_64
  [ "$engine" != fb3 ] || i386_emulated || flavour=i386
fi
case "$engine/$flavour" in
  fb3/i386|fb3/x86_64|fb4/i386|fb4/x86_64) ;;
  *) echo "enginebench: no $engine engine for the $flavour flavour" >&2; exit 2 ;;
esac
python=python3
[ -x /usr/bin/python3 ] && python=/usr/bin/python3
bench="$root/bench/enginebench.py"
builddir="$root/build/$flavour"
[ -n "$work" ] || work="$builddir/enginebench-$engine"

bash "$root/scripts/build.sh" "$flavour" -DVANTOR_BENCH=ON
mkdir -p "$work"
work=$(cd "$work" && pwd)
db="$work/build.fdb"
if [ $reuse -eq 0 ] || [ ! -f "$db" ] || [ "$(cat "$work/size" 2>/dev/null)" != "$rows $blobs" ]; then
  rm -f "$work/size"
  "$python" "$bench" build-sql "$rows" "$work/build.sql"
  # A page cache that holds every page of the database (about 9 pages a
  # BLOB, 16 rows of T a page), kept in its header: a Super server ignores
  # the cache size a connection asks for.
  cache_pages=$((blobs * 9 + rows / 16 + 2048))
  printf '#!/bin/sh\nexec $VANTOR_CLIENT_EXEC "%s" "$1" %s %s\n' "$builddir/bench/vantor_blobfill" "$blobs" "$cache_pages" \
    > "$work/blobfill.sh"
  chmod +x "$work/blobfill.sh"
  echo "enginebench: building $rows rows and $blobs BLOBs ($engine, $flavour)" >&2
  bash "$root/scripts/fbrun.sh" --engine "$engine" --udr --build "$builddir" --keep "$work" \
    --setup "$work/blobfill.sh" "$work/build.sql" > "$work/build.out" 2>&1
  if grep -q "Statement failed\|SQLSTATE" "$work/build.out" \
     || ! grep -q "ROWS_IN_T *$rows\$" "$work/build.out"; then
    cat "$work/build.out" >&2
    echo "enginebench: building the table failed" >&2
    exit 1
  fi
  read -r buffers pages < <(awk '/^PAGE_BUFFERS/ { b = $2 } /^PAGES / { p = $2 } END { print b, p }' "$work/build.out")
  if [ "${buffers:-0}" -lt "${pages:-1}" ]; then
    echo "enginebench: the page cache ($buffers pages) does not hold the database ($pages pages)" >&2
    exit 1
  fi
  echo "$rows $blobs" > "$work/size"
fi
# What the results call the engine: its version and architecture.
architecture=amd64
[ "$flavour" = x86_64 ] || architecture=i386
label="Firebird $(sed -n 's/^ENGINE_VERSION *//p' "$work/build.out") $architecture"
! i386_emulated || [ "$flavour" != i386 ] || label="$label (emulated)"

# The same private engine root, tools and scratch folders that
# scripts/fbrun.sh used to build the database, whose header gives it a page
# cache that holds the whole database.
. "$work/engine.env"
# The marker: one line per call, the tag, then the clock, the CPU time of
# all the engine process's threads (ns, /proc/PID/task/*/schedstat), its
# minor page faults and its user and system ticks (/proc/PID/stat). isql
# runs it through the shell, outside its own CPU time but for the spawn.
mark="$work/mark.sh"
cat > "$mark" <<MARK
#!/bin/sh
p=\$VANTOR_ENGINE_PID
cpu=\$(cat /proc/\$p/task/*/schedstat | awk '{ s += \$1 } END { printf "%.0f", s }')
echo "\$1 \$(date +%s%N) \$cpu \$(cut -d' ' -f10,14,15 /proc/\$p/stat)" >> "$work/marks-$suite"
MARK
chmod +x "$mark"
rm -f "$work/marks-$suite"
case "$suite" in
  functions) out=results.json ;;
  lengths) out=lengths.json ;;
  moved) out=moved.json ;;
  *) echo "$usage" >&2; exit 2 ;;
esac
"$python" "$bench" time-sql "$suite" 1 "$blobs" "$mark" "$work/time-$suite.sql"
echo "enginebench: timing $runs rounds of $suite ($label), each in an engine process of its own" >&2
# Each round runs in an engine process of its own, with the cache warmed
# anew: where the engine's buffers and the modules' stacks fall in memory
# (the address layout differs from process to process) moves a BLOB reader's
# cost by a few per cent, so the median of the rounds is the median of as
# many layouts. The engine process is isql itself: the shell's pid, kept by
# exec.
: > "$work/time-$suite.out"
for _ in $(seq "$runs"); do
  FIREBIRD="$FIREBIRD" FIREBIRD_MSG="$FIREBIRD_MSG" FIREBIRD_LOCK="$work/lock" FIREBIRD_TMP="$work" ISC_USER=SYSDBA \
    sh -c 'export VANTOR_ENGINE_PID=$$; exec "$@"' sh \
    "$VANTOR_ISQL" -q -ch WIN1250 -i "$work/time-$suite.sql" "$db" -user SYSDBA >> "$work/time-$suite.out" 2>&1 || true
done
if grep -q "Statement failed\|SQLSTATE" "$work/time-$suite.out"; then
  grep -B2 -A6 "Statement failed\|SQLSTATE" "$work/time-$suite.out" | head -40 >&2
  echo "enginebench: a timed query failed" >&2
  exit 1
fi
"$python" "$bench" results "$suite" "$work/time-$suite.out" "$work/marks-$suite" "$rows" "$blobs" "$runs" \
  "$label" "$work/$out"
"$python" "$root/bench/perfreport.py" engine-table "$work/$out"
