#!/usr/bin/env bash
# Checks the shape of a built i386 libvantor.so: ELF32 for Intel 80386, SONAME
# libvantor.so, exactly the four libraries it may need, and a dynamic symbol
# table that defines exactly the entry points of src/frame/exports.list.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
lib=$1
fail() { echo "check-library: $*" >&2; exit 1; }
header=$(readelf -h "$lib")
grep -q 'Class:.*ELF32' <<<"$header" || fail "not ELF32"
grep -q 'Machine:.*Intel 80386' <<<"$header" || fail "not Intel 80386"
dynamic=$(readelf -d "$lib")
grep -q 'Library soname: \[libvantor.so\]' <<<"$dynamic" || fail "SONAME is not libvantor.so"
needed=$(grep NEEDED <<<"$dynamic" | sed 's/.*\[\(.*\)\]/\1/' | sort | tr '\n' ' ')
[ "$needed" = "libc.so.6 libdl.so.2 libib_util.so libpthread.so.0 " ] || fail "NEEDED is: $needed"
exported=$(nm -D --defined-only "$lib" | awk '{print $3}' | sort)
expected=$(grep -E '^[A-Za-z0-9_]+$' "$root/src/frame/exports.list" | sort)
[ "$exported" = "$expected" ] || fail "exports differ from exports.list: $(diff <(echo "$expected") <(echo "$exported") | tr '\n' ' ')"
echo "check-library: $lib: ELF32 i386, SONAME libvantor.so, NEEDED $needed, $(wc -l <<<"$exported") exports"
