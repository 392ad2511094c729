#!/usr/bin/env bash
# Builds the libFuzzer targets fuzz/NAME_fuzz.cpp (match, datetime, dpdow, alc, blob) with clang, ASan and UBSan
# (cmake/fuzz.cmake) and runs each for a bounded time on a copy of its seed corpus fuzz/corpus/NAME/ (on the corpus
# itself, keeping what it finds, with FUZZ_KEEP_CORPUS=1); prints each run's final figures. A failing input is left
# in build/fuzz/ (crash-*, timeout-*): replay it with build/fuzz/NAME_fuzz build/fuzz/crash-...
#   scripts/fuzz.sh [NAME|all] [SECONDS]    (default: every target, 20 s each)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
only=${1:-all} seconds=${2:-20} out=$root/build/fuzz
bash "$root/scripts/build.sh" fuzz
status=0
for source in "$root"/fuzz/*_fuzz.cpp; do
  name=$(basename "$source" _fuzz.cpp) corpus=$root/fuzz/corpus/$name
  [ "$only" = all ] || [ "$only" = "$name" ] || continue
  if [ -z "${FUZZ_KEEP_CORPUS:-}" ]; then
    corpus=$(mktemp -d)
    cp "$root/fuzz/corpus/$name"/* "$corpus"/ 2>/dev/null || true
  fi
  echo "fuzz: $name for $seconds s"
  (cd "$out" && "./${name}_fuzz" -max_total_time="$seconds" -max_len=4096 -timeout=10 \
     -rss_limit_mb=2048 -print_final_stats=1 "$corpus" > "$name.log" 2>&1) || status=1
  tail -12 "$out/$name.log"
  [ -n "${FUZZ_KEEP_CORPUS:-}" ] || rm -rf "$corpus"
done
exit $status
