#!/usr/bin/env bash
# Runs the tests. Installs what is missing first (scripts/setup.sh), builds
# the flavours and runs each build's ctest tests (tests/CMakeLists.txt,
# tests/checks.cmake; their labels say what each is):
#
#   scripts/test.sh           everything. i386 and x86_64: the unit tests,
#                             each shipped library's ELF shape and exports,
#                             the packages, the SQL suite in the embedded
#                             Firebird 3.0 and 4.0 engines with both modules
#                             (and the docs examples in other character
#                             sets), the server path on the i386 3.0 server
#                             and Debian 13's 4.0 server (installcheck), a
#                             3.0 database upgraded to that 4.0 server, the
#                             real server under concurrent load,
#                             vantor-install on official-layout roots, every
#                             fuzz target briefly and the engine benchmark
#                             on a few rows; win32, win64: the Windows DLLs
#                             under Wine (shape, unit tests, the module
#                             harness and its differential check, the kits);
#                             asan, asan-i386: the unit tests under
#                             ASan+UBSan; tsan: the concurrency tests.
#   scripts/test.sh --quick   the edit loop: both flavours' unit tests (the
#                             i386 sweeps left out), the library shapes and
#                             the SQL suite in the amd64 Firebird 3.0 engine.
#
# One slice of a build: e.g. ctest --test-dir build/x86_64 -L fb4 -L udr.
# A flavour whose build fails counts as one failed test. Ends with one line
# "N passed, M failed" over every test run. A whole run also writes the
# reliability record of what it ran, build/RELIABILITY.md (tests/tools/record.py
# over each build's ctest.xml; docs/RELIABILITY.md is a copy).
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
quick=0
[ "${1:-}" = "--quick" ] && quick=1
bash scripts/setup.sh || exit 1
. scripts/lib/platform.sh
# Where the kernel runs no i386 program itself, setup.sh has registered
# QEMU's emulator for them (about 40 times slower on the x87): the i386
# sweep of every time of day then takes every 13th time (every 97th under
# the sanitizers).
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
  build asan
  build asan-i386
  build tsan
  tests i386
  tests x86_64
  # The Windows flavours (mingw-w64) under Wine, against the Linux x86-64
  # build: the DLLs' exports and imports, the unit tests, the module harness
  # under MSVC's control word (0x027F) and the x87 default (0x037F) with its
  # differential check, and the kits.
  build win32
  build win64
  tests win32
  tests win64
  tests asan
  # Under the emulator a sanitized i386 process takes minutes just to start
  # (QEMU maps ASan's shadow memory page by page): there the sanitized i386
  # build is built but not run.
  if [ $emulated -eq 1 ]; then echo "=== asan-i386: not run, i386 programs are emulated here"
  else tests asan-i386; fi
  # Many threads calling all 23 entry points at once; any shared mutable
  # state is a reported race.
  tests tsan -R '^Concurrency\.'
  # The reliability record, from the reports of these runs.
  python3 tests/tools/record.py > build/RELIABILITY.md || true
  echo "=== the reliability record of this run: build/RELIABILITY.md"
fi
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
