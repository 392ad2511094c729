#!/usr/bin/env bash
# Builds libvantor.so (i386) and runs demo/demo.sql in the embedded Firebird
# engine, showing every function with its output.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh" i386 -DVANTOR_TESTS=OFF
cd "$root/demo" && "$root/scripts/fbrun.sh" --build "$root/build/i386" demo.sql
