#!/usr/bin/env bash
# The SQL regression suite: runs every tests/sql/NAME.sql through the real
# engine (scripts/fbrun.sh) and compares the whole output with what
# tests/sql/NAME.out expects of the run's variant. A test that needs data the
# SQL cannot make has a file tests/sql/NAME.setup naming a program of the
# build folder (a path relative to it), which fbrun.sh runs against the
# scratch database first.
# A variant is the module (legacy, or udr with --udr), the flavour of the
# build (i386 or x86_64) and the engine (--engine fb3, the default, or fb4).
# NAME.out holds the output of every variant: the few lines that differ by
# variant carry the variants' tags (tests/tools/expected.py says how), e.g.
# '@udr ' before a line only the UDR module prints.
# With --accept, records the outputs as this variant's expected output,
# keeping every other variant's.
# With --udr, runs the suite against the UDR module (fbrun.sh --udr), plus the
# tests/sql/udr_*.sql that only it runs; tests/sql/fb4_*.sql run on the
# Firebird 4.0 engine only. The udr_* tests run against the declarations as
# shipped; the others get the UDR texts and masks declared 32765 bytes long
# (suite_text_bytes in scripts/lib/declare.sh, through fbrun.sh
# --udr-texts), so that their long texts reach the functions through both
# modules alike.
# With --charset CS, the scratch databases' default character set is CS
# instead of WIN1250 (fbrun.sh --charset); the expected outputs are the same.
# Prints one line per test and a closing count.
#
#   scripts/sqltest.sh [--engine fb3|fb4] [--build DIR] [--accept] [--udr] [--charset CS] [--skip NAME]... [NAME...]
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/lib/platform.sh"
. "$root/scripts/lib/declare.sh"
builddir="$root/build/i386"
accept=0
engine=fb3
udr=()
charset=()
skip=" "
while [ $# -gt 0 ]; do
  case "$1" in
    --engine) engine=$2; shift 2 ;;
    --build) builddir=$(cd "$2" && pwd); shift 2 ;;
    --accept) accept=1; shift ;;
    --udr) udr=(--udr); shift ;;
    --charset) charset=(--charset "$2"); shift 2 ;;
    --skip) skip="$skip$2 "; shift 2 ;;
    *) break ;;
  esac
done
if [ $# -gt 0 ]; then names=("$@"); else
  names=()
  for f in "$root"/tests/sql/*.sql; do
    name=$(basename "$f" .sql)
    # udr_* tests compare the two modules and run with --udr only.
    if [ ${#udr[@]} -eq 0 ] && [[ "$name" == udr_* ]]; then continue; fi
    # fb4_* tests show what only Firebird 4.0 has.
    if [ "$engine" != fb4 ] && [[ "$name" == fb4_* ]]; then continue; fi
    [[ "$skip" == *" $name "* ]] || names+=("$name")
  done
fi
flavour=$(elf_flavour "$builddir/libvantor.so")
module=legacy
[ ${#udr[@]} -eq 0 ] || module=udr
expected_tool="$root/tests/tools/expected.py"
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
passed=0 failed=0
for name in "${names[@]}"; do
  expected="$root/tests/sql/$name.out"
  setup=()
  [ -f "$root/tests/sql/$name.setup" ] && setup=(--setup "$builddir/$(tr -d '[:space:]' < "$root/tests/sql/$name.setup")")
  # fb4_* tests run the engine with a known process time zone, UTC.
  zone=()
  [[ "$name" != fb4_* ]] || zone=(TZ=UTC)
  texts=()
  bytes=$(suite_text_bytes "$name")
  [ ${#udr[@]} -eq 0 ] || [ -z "$bytes" ] || texts=(--udr-texts "$bytes")
  # Run from the tests folder so that the echoed statements carry no paths.
  (cd "$root/tests/sql" && env "${zone[@]}" "$root/scripts/fbrun.sh" --engine "$engine" --build "$builddir" "${udr[@]}" \
    "${texts[@]}" "${charset[@]}" "${setup[@]}" "$name.sql") > "$out/$name.out" 2>&1
  if [ $accept -eq 1 ]; then
    python3 "$expected_tool" accept "$expected" $module $flavour $engine "$out/$name.out"
    echo "accepted: $name"; passed=$((passed + 1)); continue
  fi
  if [ -f "$expected" ] && python3 "$expected_tool" expand "$expected" $module $flavour $engine > "$out/$name.expected" \
     && diff -u "$out/$name.expected" "$out/$name.out" > "$out/$name.diff"; then
    echo "ok: sql/$name"; passed=$((passed + 1))
  else
    echo "FAILED: sql/$name"; [ -f "$expected" ] || echo "  (no expected output $expected)"
    head -n 80 "$out/$name.diff" 2>/dev/null | sed 's/^/  /'
    failed=$((failed + 1))
  fi
done
echo "sql: $passed passed, $failed failed"
[ $failed -eq 0 ]
