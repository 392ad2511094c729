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
# --smoke runs it all on 2,000 rows, one round, amd64 only, into build/x86_64
# (the engine benchmark on both engines, its lengths suite on 3.0 and its
# moved declarations on 4.0) and checks the report made from it: seconds,
# so that its SQL, floors, marker, arithmetic and tables cannot rot.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/lib/platform.sh"
smoke=0 engine_args=() reuse_engine=0 keep_engine=0 reuse_inprocess=0 engines="fb3/i386 fb3/x86_64 fb4/x86_64 fb4/i386"
! i386_emulated || engines="fb3/x86_64 fb4/x86_64"
while [ $# -gt 0 ]; do
  case "$1" in
    --rows|--runs) engine_args+=("$1" "$2"); shift 2 ;;
    --reuse) engine_args+=("$1"); shift ;;
    --engines) engines=$2; shift 2 ;;
    --reuse-engine) reuse_engine=1; shift ;;
    --keep-engine) keep_engine=1; shift ;;
    --reuse-inprocess) reuse_inprocess=1; shift ;;
    --smoke) smoke=1; shift ;;
    *) echo "usage: $0 [--rows N] [--runs N] [--reuse] [--engines LIST] [--reuse-engine | --keep-engine] [--reuse-inprocess]" >&2; exit 2 ;;
  esac
done
python=python3
[ -x /usr/bin/python3 ] && python=/usr/bin/python3
"$python" -c "import matplotlib" 2>/dev/null || bash "$root/scripts/setup.sh"

if [ $smoke -eq 1 ]; then
  out=$root/build/x86_64 small=(--flavour x86_64 --rows 2000 --blobs 5 --runs 1)
  for engine in fb3 fb4; do
    bash "$root/scripts/enginebench.sh" --engine $engine "${small[@]}" --work "$out/enginebench-smoke-$engine" > /dev/null
  done
  grep -q "^| \`IIF_S\` | " < <(bash "$root/scripts/enginebench.sh" --engine fb3 "${small[@]}" --reuse \
    --suite lengths --work "$out/enginebench-smoke-fb3")
  grep -q "^| \`DivDP\` | " < <(bash "$root/scripts/enginebench.sh" --engine fb4 "${small[@]}" --reuse \
    --suite moved --work "$out/enginebench-smoke-fb4")
  "$out/bench/vantor_bench" --benchmark_min_time=0.001 --benchmark_out="$out/bench-smoke.json" \
    --benchmark_out_format=json > /dev/null
  "$python" "$root/bench/perfreport.py" report "$root/bench/PERFORMANCE.md.in" "$out/bench-smoke.json" \
    "$out/bench-smoke.json" "$out/PERFORMANCE-smoke.md" "$out/performance-smoke.png" \
    "$out"/enginebench-smoke-fb{3,4}/results.json
  grep -q "^### Firebird 4" "$out/PERFORMANCE-smoke.md"
  exit
fi
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
