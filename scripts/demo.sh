#!/usr/bin/env bash
# Builds libvantor.so and libvantor_udr.so in both flavours and runs
# demo/demo.sql with each in the embedded Firebird 3.0 engine of its own
# architecture (i386 and amd64), and with the UDR module in the Firebird 4.0
# amd64 engine, showing every function with its output.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh"
flavours=(i386 x86_64)
for flavour in "${flavours[@]}"; do
  # Configured as scripts/build.sh does; only the library is built here.
  cmake -S "$root" -B "$root/build/$flavour" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$flavour.cmake" >/dev/null
  cmake --build "$root/build/$flavour" --target vantor vantor_udr -j "$(nproc)" >/dev/null
done
# The engines run side by side; their outputs are shown one after the other:
# Firebird 3.0 i386 and amd64 with the legacy module, Firebird 4.0 amd64
# with the UDR module (the module for 4.0 and later).
runs=("i386 fb3" "x86_64 fb3" "x86_64 fb4 --udr")
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
cd "$root/demo"
for index in "${!runs[@]}"; do
  set -- ${runs[$index]}
  flavour=$1 engine=$2
  shift 2
  "$root/scripts/fbrun.sh" --engine "$engine" --build "$root/build/$flavour" "$@" demo.sql > "$out/$index" 2>&1 &
  echo $! > "$out/$index.pid"
done
status=0
for index in "${!runs[@]}"; do
  set -- ${runs[$index]}
  wait "$(cat "$out/$index.pid")" || status=1
  module=libvantor.so
  [ "${3:-}" != --udr ] || module=libvantor_udr.so
  version=3.0
  [ "$2" != fb4 ] || version=4.0
  echo "=== $module $1 in the ${1/x86_64/amd64} Firebird $version engine"
  cat "$out/$index"
done
exit $status
