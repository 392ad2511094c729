#!/usr/bin/env bash
# The SQL regression suite: runs every tests/sql/NAME.sql through the real
# engine (scripts/fbrun.sh) and compares the whole output with
# tests/sql/NAME.out. A test that needs data the SQL cannot make has a file
# tests/sql/NAME.setup naming a program of the build folder (a path relative
# to it), which fbrun.sh runs against the scratch database first. Output that
# differs by the engine's architecture has its own NAME.<flavour>.out.
# With --accept, writes the outputs as the new expected files instead.
# With --udr, runs the suite against the UDR module (fbrun.sh --udr), plus the
# tests/sql/udr_*.sql that only it runs; where the UDR module's output
# differs from the legacy module's (SQL NULL in, NULL out; the error text
# of an overflowing result), a test has its own NAME.udr.out.
# With --charset CS, the scratch databases' default character set is CS
# instead of WIN1250 (fbrun.sh --charset); the expected outputs are the same.
# Prints one line per test and a closing count.
#
#   scripts/sqltest.sh [--build DIR] [--accept] [--udr] [--charset CS] [--skip NAME]... [NAME...]
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
builddir="$root/build/i386"
accept=0
udr=()
charset=()
skip=" "
while [ $# -gt 0 ]; do
  case "$1" in
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
    [[ "$skip" == *" $name "* ]] || names+=("$name")
  done
fi
if readelf -h "$builddir/libvantor.so" | grep -q 'Class:.*ELF64'; then flavour=x86_64; else flavour=i386; fi
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
passed=0 failed=0
for name in "${names[@]}"; do
  sql="$root/tests/sql/$name.sql" expected="$root/tests/sql/$name.out"
  # Output that differs by the engine's architecture has its own expected file.
  [ -f "$root/tests/sql/$name.$flavour.out" ] && expected="$root/tests/sql/$name.$flavour.out"
  if [ ${#udr[@]} -gt 0 ]; then
    [ -f "$root/tests/sql/$name.udr.out" ] && expected="$root/tests/sql/$name.udr.out"
    [ -f "$root/tests/sql/$name.udr.$flavour.out" ] && expected="$root/tests/sql/$name.udr.$flavour.out"
  fi
  setup=()
  [ -f "$root/tests/sql/$name.setup" ] && setup=(--setup "$builddir/$(tr -d '[:space:]' < "$root/tests/sql/$name.setup")")
  # Run from the tests folder so that the echoed statements carry no paths.
  (cd "$root/tests/sql" && "$root/scripts/fbrun.sh" --build "$builddir" "${udr[@]}" "${charset[@]}" "${setup[@]}" "$name.sql") > "$out/$name.out" 2>&1
  if [ $accept -eq 1 ]; then
    # Under --udr, output that differs from the legacy expectation goes to
    # NAME.udr.out; the legacy files are never written.
    if [ ${#udr[@]} -gt 0 ] && [[ "$expected" != *.udr.* ]]; then
      if cmp -s "$out/$name.out" "$expected"; then echo "same as legacy: $name"; passed=$((passed + 1)); continue; fi
      expected="$root/tests/sql/$name.udr.out"
      [ -f "$root/tests/sql/$name.$flavour.out" ] && expected="$root/tests/sql/$name.udr.$flavour.out"
    fi
    cp "$out/$name.out" "$expected"; echo "accepted: $name"; passed=$((passed + 1)); continue
  fi
  if [ -f "$expected" ] && diff -u "$expected" "$out/$name.out" > "$out/$name.diff"; then
    echo "ok: sql/$name"; passed=$((passed + 1))
  else
    echo "FAILED: sql/$name"; [ -f "$expected" ] || echo "  (no expected output $expected)"
    head -n 80 "$out/$name.diff" 2>/dev/null | sed 's/^/  /'
    failed=$((failed + 1))
  fi
done
echo "sql: $passed passed, $failed failed"
[ $failed -eq 0 ]
