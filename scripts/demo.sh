#!/usr/bin/env bash
# Builds libvantor.so (i386) and runs demo/demo.sql in the embedded Firebird
# engine, showing every function with its output.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh"
cmake -S "$root" -B "$root/build/i386" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/i386.cmake" >/dev/null
cmake --build "$root/build/i386" --target vantor -j "$(nproc)" >/dev/null
cd "$root/demo" && "$root/scripts/fbrun.sh" --build "$root/build/i386" demo.sql
