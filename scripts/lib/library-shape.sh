# Sourced by check-library.sh and check-udr-library.sh: the checks both
# modules share. check_shape NAME LIB SONAME [--x86_64] checks that LIB is
# an ELF shared object of the flavour's class and machine (ELF32 for Intel
# 80386, or ELF64 for x86-64 with --x86_64) whose SONAME is SONAME, and
# sets for the caller's own checks:
#   class, machine   the ELF class and machine checked
#   loader           the flavour's dynamic loader
#   needed           the NEEDED libraries, sorted, each followed by a blank
#   exported         the defined dynamic symbols, sorted
#   functions        the 23 function names of the table, one a line
# fail MESSAGE ends the check with NAME: MESSAGE.
check_shape() {
  check_name=$1
  local lib=$2 soname=$3 flavour=${4:-}
  class=ELF32 machine="Intel 80386" loader=ld-linux.so.2
  if [ "$flavour" = --x86_64 ]; then class=ELF64 machine="X86-64" loader=ld-linux-x86-64.so.2; fi
  local header dynamic
  header=$(readelf -h "$lib") || fail "cannot read $lib"
  grep -q "Class:.*$class" <<<"$header" || fail "not $class"
  grep -q "Machine:.*$machine" <<<"$header" || fail "not $machine"
  dynamic=$(readelf -d "$lib")
  grep -q "Library soname: \[$soname\]" <<<"$dynamic" || fail "SONAME is not $soname"
  needed=$(grep NEEDED <<<"$dynamic" | sed 's/.*\[\(.*\)\]/\1/' | sort | tr '\n' ' ')
  exported=$(nm -D --defined-only "$lib" | awk '{print $3}' | sort)
  functions=$(python3 "$(dirname "${BASH_SOURCE[0]}")/../functions.py" names)
}

fail() { echo "$check_name: $*" >&2; exit 1; }
