#!/usr/bin/env bash
# Checks the shape of a Windows flavour's two DLLs, as check-library.sh
# checks the Linux modules:
#   vantor.dll      a DLL of the flavour's machine (i386 for win32, x86-64
#                   for win64) exporting exactly the 23 entry points of the
#                   table, undecorated, and importing from Windows' own
#                   KERNEL32.dll and msvcrt.dll and from ib_util.dll, whose
#                   ib_util_malloc is all it takes from it;
#   vantor_udr.dll  the same machine, exporting firebird_udr_plugin alone,
#                   importing from KERNEL32.dll and msvcrt.dll alone, with no
#                   legacy entry point and no ib_util reference at all.
# Neither needs a DLL of the toolchain (libgcc, libstdc++, libwinpthread).
#
#   scripts/check-dll.sh win32|win64 BUILD
set -euo pipefail
fail() { echo "check-dll: $*" >&2; exit 1; }
flavour=${1:-} build=${2:-}
case "$flavour" in
  win32) format=pei-i386 triplet=i686-w64-mingw32 ;;
  win64) format=pei-x86-64 triplet=x86_64-w64-mingw32 ;;
  *) echo "usage: $0 win32|win64 BUILD" >&2; exit 2 ;;
esac
functions=$(python3 "$(dirname "$0")/functions.py" names)

# dll_shape DLL: checks the format, sets exported (sorted), dlls (sorted, one
# line) and imports (DLL:name, sorted).
dll_shape() {
  local dll=$1 headers
  [ -f "$dll" ] || fail "no $dll"
  "$triplet-objdump" -f "$dll" | grep -q "file format $format" || fail "$dll is not $format"
  headers=$("$triplet-objdump" -p "$dll")
  grep -q "^Characteristics .*" <<<"$headers" && grep -q "DLL$" <<<"$headers" || fail "$dll is not a DLL"
  exported=$(sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$headers" | sed -n 's/^[[:space:]]*\[ *[0-9]*\] \(.*\)$/\1/p' | sort)
  imports=$(awk '/DLL Name:/ { dll = $3 } /^[ \t]*[0-9a-f]+[ \t]+[0-9]+[ \t]+[^ \t]+/ && dll != "" { print dll ":" $3 } /^$/ { dll = "" }' <<<"$headers" | sort)
  dlls=$(grep "DLL Name:" <<<"$headers" | awk '{print $3}' | sort | tr '\n' ' ')
}

dll_shape "$build/vantor.dll"
[ "$dlls" = "KERNEL32.dll ib_util.dll msvcrt.dll " ] || fail "vantor.dll imports from: $dlls"
[ "$(grep '^ib_util.dll:' <<<"$imports")" = "ib_util.dll:ib_util_malloc" ] \
  || fail "vantor.dll takes from ib_util.dll: $(grep '^ib_util.dll:' <<<"$imports" | tr '\n' ' ')"
expected=$(sort <<<"$functions")
[ "$exported" = "$expected" ] || fail "vantor.dll's exports differ from the table's functions: $(diff <(echo "$expected") <(echo "$exported") | tr '\n' ' ')"
echo "check-dll: $build/vantor.dll: $format, imports from $dlls, $(wc -l <<<"$exported") exports"

dll_shape "$build/vantor_udr.dll"
[ "$dlls" = "KERNEL32.dll msvcrt.dll " ] || fail "vantor_udr.dll imports from: $dlls"
[ "$exported" = "firebird_udr_plugin" ] || fail "vantor_udr.dll's exports are: $(tr '\n' ' ' <<<"$exported")"
# Leading underscores aside (i386's C names carry one).
legacy=$("$triplet-nm" "$build/vantor_udr.dll" | awk '{print $NF}' | sed 's/^_//' \
         | grep -xF -f <(echo "$functions"; echo ib_util_malloc) || true)
[ -z "$legacy" ] || fail "vantor_udr.dll has legacy symbols: $(tr '\n' ' ' <<<"$legacy")"
echo "check-dll: $build/vantor_udr.dll: $format, imports from $dlls, exports firebird_udr_plugin"
