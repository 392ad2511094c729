#!/usr/bin/env bash
# Builds the libFuzzer targets fuzz/NAME_fuzz.cpp with clang (ASan, UBSan)
# over the library's sources, and runs each for a bounded time on a copy of
# its seed corpus fuzz/corpus/NAME/.
#
#   scripts/fuzz.sh [NAME] [SECONDS]     (default: every target, 20 s each)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
only=${1:-}
seconds=${2:-20}
out="$root/build/fuzz"
mkdir -p "$out"
status=0
for source in "$root"/fuzz/*_fuzz.cpp; do
  name=$(basename "$source" _fuzz.cpp)
  [ -n "$only" ] && [ "$only" != "$name" ] && continue
  clang++ -std=c++17 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
    -fno-omit-frame-pointer -I"$root/src" -I"$root/tests/unit" \
    "$source" "$root"/src/*/*.cpp -o "$out/${name}_fuzz" -L/usr/lib/x86_64-linux-gnu -lib_util
  corpus=$(mktemp -d)
  cp "$root/fuzz/corpus/$name"/* "$corpus"/ 2>/dev/null || true
  echo "fuzz: $name for $seconds s"
  if ! (cd "$out" && "./${name}_fuzz" -max_total_time="$seconds" -max_len=4096 -timeout=10 \
          -rss_limit_mb=2048 -print_final_stats=1 "$corpus" 2>&1 | tail -12); then
    status=1
  fi
  rm -rf "$corpus"
done
exit $status
