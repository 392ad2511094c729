#!/usr/bin/env bash
# Regenerates docs/PERFORMANCE.md and docs/performance.png: runs the
# in-process benchmarks of both flavours (Google Benchmark, medians of
# repetitions) and the in-engine benchmark (scripts/enginebench.sh) on
# Firebird 3.0 and 4.0, then fills the report's template
# (bench/PERFORMANCE.md.in) with the tables.
#
#   scripts/perfreport.sh [--rows N] [--runs N] [--reuse] [--engines LIST] [--reuse-engine | --keep-engine]
#                         [--reuse-inprocess]
#
# --rows, --runs and --reuse (time the database an earlier run of the
# same size left) go to the engine benchmark (default 1,000,000 rows, 3
# rounds; the full run takes many minutes). --engines lists the engine runs
# as engine/flavour (default "fb3/i386 fb3/x86_64 fb4/x86_64 fb4/i386" where
# the machine runs 32-bit code natively, "fb3/x86_64 fb4/x86_64" where an
# emulator runs it); the chart shows the first. --reuse-engine keeps the
# engine figures of the last runs (build/<flavour>/enginebench-<engine>);
# --keep-engine runs no engine at all and keeps the engine's tables and
# chart as docs/PERFORMANCE.md has them (the in-process part alone).
# --reuse-inprocess keeps the in-process figures of the last run
# (build/<flavour>/bench.json), for an engine run taken on its own.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/lib/platform.sh"
engine_args=() reuse_engine=0 keep_engine=0 reuse_inprocess=0 engines="fb3/i386 fb3/x86_64 fb4/x86_64 fb4/i386"
! i386_emulated || engines="fb3/x86_64 fb4/x86_64"
while [ $# -gt 0 ]; do
  case "$1" in
    --rows|--runs) engine_args+=("$1" "$2"); shift 2 ;;
    --reuse) engine_args+=("$1"); shift ;;
    --engines) engines=$2; shift 2 ;;
    --reuse-engine) reuse_engine=1; shift ;;
    --keep-engine) keep_engine=1; shift ;;
    --reuse-inprocess) reuse_inprocess=1; shift ;;
    *) echo "usage: $0 [--rows N] [--runs N] [--reuse] [--engines LIST] [--reuse-engine | --keep-engine] [--reuse-inprocess]" >&2; exit 2 ;;
  esac
done
python=python3
[ -x /usr/bin/python3 ] && python=/usr/bin/python3
"$python" -c "import matplotlib" 2>/dev/null || bash "$root/scripts/setup.sh"

for flavour in i386 x86_64; do
  bash "$root/scripts/build.sh" "$flavour" -DVANTOR_BENCH=ON
  [ $reuse_inprocess -eq 0 ] || [ ! -f "$root/build/$flavour/bench.json" ] || continue
  echo "perfreport: in-process benchmarks, $flavour" >&2
  "$root/build/$flavour/bench/vantor_bench" --benchmark_repetitions=5 \
    --benchmark_report_aggregates_only=true --benchmark_min_time=0.2 \
    --benchmark_out="$root/build/$flavour/bench.json" --benchmark_out_format=json > /dev/null
done
if [ $keep_engine -eq 1 ]; then
  old=$(mktemp)
  cp "$root/docs/PERFORMANCE.md" "$old"
  "$python" "$root/bench/perfreport.py" report-keep-engine "$root/bench/PERFORMANCE.md.in" \
    "$root/build/i386/bench.json" "$root/build/x86_64/bench.json" "$old" "$root/docs/PERFORMANCE.md"
  rm -f "$old"
  echo "perfreport: wrote docs/PERFORMANCE.md (engine part kept)" >&2
  exit 0
fi
results=()
for run in $engines; do
  engine=${run%/*} flavour=${run#*/}
  if [ $reuse_engine -eq 0 ]; then
    bash "$root/scripts/enginebench.sh" --engine "$engine" --flavour "$flavour" "${engine_args[@]}" > /dev/null
  fi
  results+=("$root/build/$flavour/enginebench-$engine/results.json")
done
"$python" "$root/bench/perfreport.py" report "$root/bench/PERFORMANCE.md.in" \
  "$root/build/i386/bench.json" "$root/build/x86_64/bench.json" \
  "$root/docs/PERFORMANCE.md" "$root/docs/performance.png" "${results[@]}"
echo "perfreport: wrote docs/PERFORMANCE.md and docs/performance.png" >&2
