#!/usr/bin/env bash
# Runs the tests: installs what is missing (scripts/setup.sh), builds the flavours and runs each build's
# ctest tests (tests/checks.cmake; labels say what each is), then prints "N passed, M failed" (a failed
# build counts as one).
#   scripts/test.sh           every flavour: i386, x86_64 (with the engines and servers), win32, win64
#                             (under Wine), asan, asan-i386, tsan; writes build/RELIABILITY.md
#                             (tests/tools/record.py; docs/ holds a copy)
#   scripts/test.sh --quick   both flavours' unit tests (the i386 sweeps left out), the shapes, the SQL
#                             suite in amd64 Firebird 3.0
# One slice of a build: e.g. ctest --test-dir build/x86_64 -L fb4 -L udr.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
quick=0
[ "${1:-}" = "--quick" ] && quick=1
bash scripts/setup.sh || exit 1
. scripts/lib/platform.sh
# Under QEMU (about 40 times slower on the x87) the i386 sweep of every time
# of day takes every 13th time (every 97th under the sanitizers).
emulated=0
i386_emulated && emulated=1

passed=0 failed=0
built=" "
build() {  # build FLAVOUR [CONFIGURE-ARG...]
  echo "=== build $1"
  if bash scripts/build.sh "$@"; then built="$built$1 "
  else failed=$((failed + 1)); echo "--- build $1: FAILED"; fi
}
tests() {  # tests FLAVOUR [CTEST-ARG...]: its build's tests, counted
  local flavour=$1 log stride="" bad all; shift
  [[ "$built" == *" $flavour "* ]] || { echo "--- $flavour: NOT RUN (its build failed)"; return; }
  [ $emulated -eq 0 ] || case $flavour in i386|win32) stride=13 ;; asan-i386) stride=97 ;; esac
  echo "=== tests $flavour $*"
  log=$(mktemp)
  VANTOR_SWEEP_STRIDE=$stride ctest --test-dir "build/$flavour" --output-on-failure -j "$(nproc)" \
    --timeout 1800 --output-junit ctest.xml --test-output-size-passed 65536 "$@" 2>&1 | tee "$log"
  # "95% tests passed, 2 tests failed out of 40"
  read -r bad all < <(sed -n 's/.* \([0-9]*\) tests failed out of \([0-9]*\)$/\1 \2/p' "$log" | tail -n 1)
  grep -q 'No tests were found' "$log" && { bad=0 all=0; }
  [ -n "${all:-}" ] || { bad=1 all=1; echo "--- $flavour: ctest did not finish"; }
  passed=$((passed + all - bad)) failed=$((failed + bad))
  rm -f "$log"
}

build i386
build x86_64 -DVANTOR_BENCH=ON
if [ $quick -eq 1 ]; then
  tests i386 -L '^(unit|shape)$' -E Sweep
  tests x86_64 -L '^(unit|shape)$'
  tests x86_64 -L sql -L fb3 -L legacy -LE charset -E calendar_days
else
  for flavour in asan asan-i386 tsan; do build $flavour; done
  tests i386
  tests x86_64
  # The Windows flavours under Wine compare with the Linux x86-64 build.
  for flavour in win32 win64; do build $flavour; done
  for flavour in win32 win64; do tests $flavour; done
  tests asan
  # Under QEMU a sanitized i386 process takes minutes just to start (ASan's
  # shadow memory is mapped page by page): built but not run there.
  if [ $emulated -eq 1 ]; then echo "=== asan-i386: not run, i386 programs are emulated here"
  else tests asan-i386; fi
  tests tsan -R '^Concurrency\.'
  python3 tests/tools/record.py > build/RELIABILITY.md || true
  echo "=== the reliability record of this run: build/RELIABILITY.md"
fi
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
