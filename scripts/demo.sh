#!/usr/bin/env bash
# Builds libvantor.so in both flavours and runs demo/demo.sql with each in
# the embedded Firebird engine of its own architecture (i386 and amd64),
# showing every function with its output.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh"
flavours=(i386 x86_64)
for flavour in "${flavours[@]}"; do
  # Configured as scripts/build.sh does; only the library is built here.
  cmake -S "$root" -B "$root/build/$flavour" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$flavour.cmake" >/dev/null
  cmake --build "$root/build/$flavour" --target vantor -j "$(nproc)" >/dev/null
done
# The two engines run side by side; their outputs are shown one after the other.
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
cd "$root/demo"
for flavour in "${flavours[@]}"; do
  "$root/scripts/fbrun.sh" --build "$root/build/$flavour" demo.sql > "$out/$flavour" 2>&1 &
  echo $! > "$out/$flavour.pid"
done
status=0
for flavour in "${flavours[@]}"; do
  wait "$(cat "$out/$flavour.pid")" || status=1
  echo "=== libvantor.so $flavour in the ${flavour/x86_64/amd64} Firebird 3.0 engine"
  cat "$out/$flavour"
done
exit $status
