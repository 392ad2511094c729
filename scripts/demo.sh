#!/usr/bin/env bash
# Builds both modules in both flavours and runs demo/demo.sql, showing every function with its output: the legacy
# module in the Firebird 3.0 engine of each architecture (i386, amd64), the UDR module in the amd64 4.0 one.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh"
for flavour in i386 x86_64; do
  # Configured as scripts/build.sh does; only the modules are built here.
  cmake -S "$root" -B "$root/build/$flavour" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$flavour.cmake" >/dev/null
  cmake --build "$root/build/$flavour" --target vantor vantor_udr -j "$(nproc)" >/dev/null
done
# The engines run side by side; their outputs are shown one after the other.
runs=("i386 fb3" "x86_64 fb3" "x86_64 fb4 --udr")
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
cd "$root/demo"
for index in 0 1 2; do
  set -- ${runs[$index]}
  "$root/scripts/fbrun.sh" --engine "$2" --build "$root/build/$1" "${@:3}" demo.sql > "$out/$index" 2>&1 &
  pids[$index]=$!
done
status=0
for index in 0 1 2; do
  set -- ${runs[$index]}
  wait "${pids[$index]}" || status=1
  echo "=== libvantor${3:+_udr}.so $1 in the ${1/x86_64/amd64} Firebird ${2#fb}.0 engine"
  cat "$out/$index"
done
exit $status
