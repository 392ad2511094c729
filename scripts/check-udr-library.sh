#!/usr/bin/env bash
# Checks the shape of a built libvantor_udr.so: ELF32 for Intel 80386 (or
# ELF64 for x86-64, with --x86_64), SONAME libvantor_udr.so, no library but
# the C library and the dynamic loader (the UDR engine hands the module every
# Firebird interface it uses, and the C++ runtime is linked in), and a
# dynamic symbol table that defines firebird_udr_plugin alone, and no legacy
# entry point or ib_util reference at all.
set -euo pipefail
class=ELF32 machine="Intel 80386" loader=ld-linux.so.2
if [ "$1" = "--x86_64" ]; then class=ELF64 machine="X86-64" loader=ld-linux-x86-64.so.2; shift; fi
lib=$1
fail() { echo "check-udr-library: $*" >&2; exit 1; }
header=$(readelf -h "$lib")
grep -q "Class:.*$class" <<<"$header" || fail "not $class"
grep -q "Machine:.*$machine" <<<"$header" || fail "not $machine"
dynamic=$(readelf -d "$lib")
grep -q 'Library soname: \[libvantor_udr.so\]' <<<"$dynamic" || fail "SONAME is not libvantor_udr.so"
needed=$(grep NEEDED <<<"$dynamic" | sed 's/.*\[\(.*\)\]/\1/' | sort | tr '\n' ' ')
case "$needed" in
  "libc.so.6 " | "$loader libc.so.6 ") ;;
  *) fail "NEEDED is: $needed" ;;
esac
# No legacy entry point and no ib_util reference anywhere in the module, not
# even as a local symbol: the UDR module is built from the UDR adapter and
# the core alone.
root=$(cd "$(dirname "$0")/.." && pwd)
legacy=$(nm "$lib" | awk '{print $NF}' | grep -xF -f <(grep -E '^[A-Za-z0-9_]+$' "$root/src/frame/exports.list"; echo ib_util_malloc) || true)
[ -z "$legacy" ] || fail "has legacy symbols: $(tr '\n' ' ' <<<"$legacy")"
exported=$(nm -D --defined-only "$lib" | awk '{print $3}')
[ "$exported" = "firebird_udr_plugin" ] || fail "exports are: $(tr '\n' ' ' <<<"$exported")"
echo "check-udr-library: $lib: $class $machine, SONAME libvantor_udr.so, NEEDED $needed, exports firebird_udr_plugin"
