#!/usr/bin/env bash
# Configures and builds one flavour (i386 or x86_64) into build/<flavour>.
# Extra arguments are passed to the configure step (-DVANTOR_BENCH=ON, ...).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
flavour=${1:-i386}
shift || true
builddir="$root/build/$flavour"
cmake -S "$root" -B "$builddir" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$flavour.cmake" "$@" >/dev/null
cmake --build "$builddir" -j "$(nproc)" >/dev/null
