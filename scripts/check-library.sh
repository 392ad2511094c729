#!/usr/bin/env bash
# Checks built modules, by file name and flavour: the format, the ELF SONAME, the libraries each needs (no
# DLL of the toolchain). libvantor.so and vantor.dll export exactly the 23 entry points of the table of the
# functions, take ib_util_malloc alone from ib_util and on i386 read time with 64-bit functions;
# libvantor_udr.so and vantor_udr.dll export firebird_udr_plugin alone, need the C library (and libm) alone,
# the engine handing them every Firebird interface, and hold no legacy entry point or ib_util reference,
# not even as a local symbol.
#   scripts/check-library.sh [--i386|--x86_64|--win32|--win64] LIB...
set -euo pipefail
flavour=i386
case "${1:-}" in --*) flavour=${1#--}; shift ;; esac
usage() { echo "usage: $0 [--i386|--x86_64|--win32|--win64] LIB..." >&2; exit 2; }
tools="" loader=""
case "$flavour" in
  i386) class=ELF32 machine="Intel 80386" loader=ld-linux.so.2 ;;
  x86_64) class=ELF64 machine=X86-64 loader=ld-linux-x86-64.so.2 ;;
  win32) class=pei-i386 machine=DLL tools=i686-w64-mingw32- ;;
  win64) class=pei-x86-64 machine=DLL tools=x86_64-w64-mingw32- ;;
  *) usage ;;
esac
[ $# -gt 0 ] || usage
functions=$(python3 "$(dirname "$0")/functions.py" names)
fail() { echo "check-library: $lib: $*" >&2; exit 1; }

# elf_shape, pe_shape: check $lib's format; set needed (one line), exported and imports (DLL:name, name@VER).
elf_shape() {
  local header dynamic
  header=$(readelf -h "$lib") || fail "cannot read it"
  grep -q "Class:.*$class" <<<"$header" || fail "not $class"
  grep -q "Machine:.*$machine" <<<"$header" || fail "not $machine"
  dynamic=$(readelf -d "$lib")
  grep -q "Library soname: \[$name\]" <<<"$dynamic" || fail "SONAME is not $name"
  needed=$(grep NEEDED <<<"$dynamic" | sed 's/.*\[\(.*\)\]/\1/' | sort | tr '\n' ' ')
  exported=$(nm -D --defined-only "$lib" | awk '{print $3}' | sort)
  imports=$(nm -D --undefined-only "$lib" | awk '{print $2}')
}
pe_shape() {
  local headers
  "${tools}objdump" -f "$lib" | grep -q "file format $class" || fail "not $class"
  headers=$("${tools}objdump" -p "$lib")
  grep -q "^Characteristics .*" <<<"$headers" && grep -q "DLL$" <<<"$headers" || fail "not a DLL"
  exported=$(sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$headers" \
             | sed -n 's/^[[:space:]]*\[ *[0-9]*\] \(.*\)$/\1/p' | sort)
  imports=$(awk '/DLL Name:/ { dll = $3 } /^$/ { dll = "" }
                 /^[ \t]*[0-9a-f]+[ \t]+[0-9]+[ \t]+[^ \t]+/ && dll != "" { print dll ":" $3 }' <<<"$headers" | sort)
  needed=$(grep "DLL Name:" <<<"$headers" | awk '{print $3}' | sort | tr '\n' ' ')
}

for lib in "$@"; do
  name=$(basename "$lib")
  case "$flavour" in win*) pe_shape ;; *) elf_shape ;; esac
  case "$name" in
    libvantor.so | vantor.dll)
      case "$name:$needed" in
        "libvantor.so:libc.so.6 libdl.so.2 libib_util.so libpthread.so.0 ") ;;
        "vantor.dll:KERNEL32.dll ib_util.dll msvcrt.dll ")
          [ "$(grep '^ib_util.dll:' <<<"$imports")" = "ib_util.dll:ib_util_malloc" ] \
            || fail "takes from ib_util.dll: $(grep '^ib_util.dll:' <<<"$imports" | tr '\n' ' ')" ;;
        *) fail "needs: $needed" ;;
      esac
      expected=$(sort <<<"$functions")
      [ "$exported" = "$expected" ] \
        || fail "exports differ from the table's functions: $(diff <(echo "$expected") <(echo "$exported") | tr '\n' ' ')"
      # The 32-bit time functions would fail from 2038-01-19 on.
      if [ "$flavour" = i386 ]; then
        grep -qx '__gettimeofday64@GLIBC_2.34' <<<"$imports" || fail "the clock is not read with 64-bit time"
        grep -qx '__localtime64_r@GLIBC_2.34' <<<"$imports" || fail "local time is not converted with 64-bit time"
        ! grep -qE '^(gettimeofday|localtime_r|time)@' <<<"$imports" || fail "imports a 32-bit time function"
      fi ;;
    libvantor_udr.so | vantor_udr.dll)
      case "$name:$needed" in
        "libvantor_udr.so:libc.so.6 libm.so.6 " | "libvantor_udr.so:$loader libc.so.6 libm.so.6 ") ;;
        "vantor_udr.dll:KERNEL32.dll msvcrt.dll ") ;;
        *) fail "needs: $needed" ;;
      esac
      # Leading underscores aside on Windows (i386's C names carry one).
      legacy=$("${tools}nm" "$lib" | awk '{print $NF}' | sed "s/^${tools:+_}//" \
               | grep -xF -f <(echo "$functions"; echo ib_util_malloc) || true)
      [ -z "$legacy" ] || fail "has legacy symbols: $(tr '\n' ' ' <<<"$legacy")"
      [ "$exported" = "firebird_udr_plugin" ] || fail "exports are: $(tr '\n' ' ' <<<"$exported")" ;;
    *) fail "is none of libvantor.so, libvantor_udr.so, vantor.dll, vantor_udr.dll" ;;
  esac
  echo "check-library: $lib: $class $machine, needs $needed$(wc -l <<<"$exported") exports"
done
