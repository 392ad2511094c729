#!/usr/bin/env bash
# Checks the shape of a built module, libvantor.so or libvantor_udr.so (by
# its file name): ELF32 for Intel 80386 (or ELF64 for x86-64, with
# --x86_64), its own SONAME, and
# - libvantor.so: exactly the four libraries it may need, a dynamic symbol
#   table that defines exactly the 23 entry points of the table of the
#   functions (src/frame/functions.toml), and on i386 time read through the
#   64-bit time functions;
# - libvantor_udr.so: no library but the C library (libc, and libm for the
#   floating-point environment the BLOB readers set around the host's calls)
#   and the dynamic loader (the UDR engine hands the module every Firebird
#   interface it uses, and the C++ runtime is linked in), a dynamic symbol
#   table that defines firebird_udr_plugin alone, and no legacy entry point
#   or ib_util reference at all.
#
#   scripts/check-library.sh [--i386|--x86_64] LIB
set -euo pipefail
class=ELF32 machine="Intel 80386" loader=ld-linux.so.2
case "$1" in
  --x86_64) class=ELF64 machine="X86-64" loader=ld-linux-x86-64.so.2; shift ;;
  --i386) shift ;;
esac
lib=$1 soname=$(basename "$1")
fail() { echo "check-library: $lib: $*" >&2; exit 1; }
header=$(readelf -h "$lib") || fail "cannot read it"
grep -q "Class:.*$class" <<<"$header" || fail "not $class"
grep -q "Machine:.*$machine" <<<"$header" || fail "not $machine"
dynamic=$(readelf -d "$lib")
grep -q "Library soname: \[$soname\]" <<<"$dynamic" || fail "SONAME is not $soname"
needed=$(grep NEEDED <<<"$dynamic" | sed 's/.*\[\(.*\)\]/\1/' | sort | tr '\n' ' ')
exported=$(nm -D --defined-only "$lib" | awk '{print $3}' | sort)
functions=$(python3 "$(dirname "$0")/functions.py" names)
case "$soname" in
  libvantor.so)
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
    fi ;;
  libvantor_udr.so)
    case "$needed" in
      "libc.so.6 libm.so.6 " | "$loader libc.so.6 libm.so.6 ") ;;
      *) fail "NEEDED is: $needed" ;;
    esac
    # Not even as a local symbol: the UDR module is built from the UDR
    # adapter and the core alone.
    legacy=$(nm "$lib" | awk '{print $NF}' | grep -xF -f <(echo "$functions"; echo ib_util_malloc) || true)
    [ -z "$legacy" ] || fail "has legacy symbols: $(tr '\n' ' ' <<<"$legacy")"
    [ "$exported" = "firebird_udr_plugin" ] || fail "exports are: $(tr '\n' ' ' <<<"$exported")" ;;
  *) fail "is neither libvantor.so nor libvantor_udr.so" ;;
esac
echo "check-library: $lib: $class $machine, SONAME $soname, NEEDED $needed, $(wc -l <<<"$exported") exports"
