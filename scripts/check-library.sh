#!/usr/bin/env bash
# Checks the shape of a built libvantor.so: ELF32 for Intel 80386 (or ELF64 for
# x86-64, with --x86_64), SONAME libvantor.so, exactly the four libraries it
# may need, and a dynamic symbol table that defines exactly the 23 entry
# points of the table of the functions (src/frame/functions.toml); on i386,
# time read through the 64-bit time functions.
#
#   scripts/check-library.sh [--x86_64] LIB
set -euo pipefail
. "$(dirname "$0")/lib/library-shape.sh"
flavour=""
if [ "$1" = "--x86_64" ]; then flavour=$1; shift; fi
lib=$1
check_shape check-library "$lib" libvantor.so $flavour
[ "$needed" = "libc.so.6 libdl.so.2 libib_util.so libpthread.so.0 " ] || fail "NEEDED is: $needed"
expected=$(sort <<<"$functions")
[ "$exported" = "$expected" ] || fail "exports differ from the table's functions: $(diff <(echo "$expected") <(echo "$exported") | tr '\n' ' ')"
# Now reads the clock with 64-bit seconds on both flavours (on i386 the
# 32-bit time functions would fail from 2038-01-19 on).
imports=$(nm -D --undefined-only "$lib" | awk '{print $2}')
if [ "$class" = ELF32 ]; then
  grep -qx '__gettimeofday64@GLIBC_2.34' <<<"$imports" || fail "the clock is not read with 64-bit time"
  grep -qx '__localtime64_r@GLIBC_2.34' <<<"$imports" || fail "local time is not converted with 64-bit time"
  ! grep -qE '^(gettimeofday|localtime_r|time)@' <<<"$imports" || fail "imports a 32-bit time function"
fi
echo "check-library: $lib: $class $machine, SONAME libvantor.so, NEEDED $needed, $(wc -l <<<"$exported") exports"
