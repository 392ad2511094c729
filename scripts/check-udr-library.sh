#!/usr/bin/env bash
# Checks the shape of a built libvantor_udr.so: ELF32 for Intel 80386 (or
# ELF64 for x86-64, with --x86_64), SONAME libvantor_udr.so, no library but
# the C library (libc, and libm for the floating-point environment the BLOB
# readers set around the host's calls) and the dynamic loader (the UDR
# engine hands the module every Firebird interface it uses, and the C++
# runtime is linked in), and a
# dynamic symbol table that defines firebird_udr_plugin alone, and no legacy
# entry point or ib_util reference at all.
#
#   scripts/check-udr-library.sh [--x86_64] LIB
set -euo pipefail
. "$(dirname "$0")/lib/library-shape.sh"
flavour=""
if [ "$1" = "--x86_64" ]; then flavour=$1; shift; fi
lib=$1
check_shape check-udr-library "$lib" libvantor_udr.so $flavour
case "$needed" in
  "libc.so.6 libm.so.6 " | "$loader libc.so.6 libm.so.6 ") ;;
  *) fail "NEEDED is: $needed" ;;
esac
# No legacy entry point and no ib_util reference anywhere in the module, not
# even as a local symbol: the UDR module is built from the UDR adapter and
# the core alone.
legacy=$(nm "$lib" | awk '{print $NF}' | grep -xF -f <(echo "$functions"; echo ib_util_malloc) || true)
[ -z "$legacy" ] || fail "has legacy symbols: $(tr '\n' ' ' <<<"$legacy")"
[ "$exported" = "firebird_udr_plugin" ] || fail "exports are: $(tr '\n' ' ' <<<"$exported")"
echo "check-udr-library: $lib: $class $machine, SONAME libvantor_udr.so, NEEDED $needed, exports firebird_udr_plugin"
