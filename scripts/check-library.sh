#!/usr/bin/env bash
# Checks the shape of a built libvantor.so: ELF32 for Intel 80386 (or ELF64 for
# x86-64, with --x86_64), SONAME
# libvantor.so, exactly the four libraries it may need, and a dynamic symbol
# table that defines exactly the entry points of src/frame/exports.list;
# on i386, time read through the 64-bit time functions.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
class=ELF32 machine="Intel 80386"
if [ "$1" = "--x86_64" ]; then class=ELF64 machine="X86-64"; shift; fi
lib=$1
fail() { echo "check-library: $*" >&2; exit 1; }
header=$(readelf -h "$lib")
grep -q "Class:.*$class" <<<"$header" || fail "not $class"
grep -q "Machine:.*$machine" <<<"$header" || fail "not $machine"
dynamic=$(readelf -d "$lib")
grep -q 'Library soname: \[libvantor.so\]' <<<"$dynamic" || fail "SONAME is not libvantor.so"
needed=$(grep NEEDED <<<"$dynamic" | sed 's/.*\[\(.*\)\]/\1/' | sort | tr '\n' ' ')
[ "$needed" = "libc.so.6 libdl.so.2 libib_util.so libpthread.so.0 " ] || fail "NEEDED is: $needed"
exported=$(nm -D --defined-only "$lib" | awk '{print $3}' | sort)
expected=$(grep -E '^[A-Za-z0-9_]+$' "$root/src/frame/exports.list" | sort)
[ "$exported" = "$expected" ] || fail "exports differ from exports.list: $(diff <(echo "$expected") <(echo "$exported") | tr '\n' ' ')"
# Now reads the clock with 64-bit seconds on both flavours (on i386 the
# 32-bit time functions would fail from 2038-01-19 on).
imports=$(nm -D --undefined-only "$lib" | awk '{print $2}')
if [ "$class" = ELF32 ]; then
  grep -qx '__gettimeofday64@GLIBC_2.34' <<<"$imports" || fail "the clock is not read with 64-bit time"
  grep -qx '__localtime64_r@GLIBC_2.34' <<<"$imports" || fail "local time is not converted with 64-bit time"
fi
grep -qE '^(gettimeofday|localtime_r|time)@' <<<"$imports" && [ "$class" = ELF32 ] && fail "imports a 32-bit time function"
echo "check-library: $lib: $class $machine, SONAME libvantor.so, NEEDED $needed, $(wc -l <<<"$exported") exports"
