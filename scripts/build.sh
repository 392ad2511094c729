#!/usr/bin/env bash
# Configures and builds one flavour (cmake/FLAVOUR.cmake; i386 by default) into build/FLAVOUR.
# Extra arguments are passed to the configure step (-DVANTOR_BENCH=ON, ...).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
flavour=${1:-i386}
shift || true
cmake -S "$root" -B "$root/build/$flavour" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$flavour.cmake" "$@" >/dev/null
cmake --build "$root/build/$flavour" -j "$(nproc)" >/dev/null
