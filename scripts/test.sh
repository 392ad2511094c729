#!/usr/bin/env bash
# Runs every test: installs what is missing, builds both flavours, runs the
# unit tests of each (and under ASan/UBSan, x86-64 and i386), runs the
# concurrency tests under ThreadSanitizer, checks each shipped library's
# ELF shape and exports (legacy and UDR module), runs the SQL regression
# suite with each flavour in the real engine of its own architecture (i386
# and amd64 Firebird 3.0), against the legacy and the UDR module, puts the
# real server under concurrent load, runs every fuzz target briefly and the
# engine benchmark on a few rows.
# Ends with one line "N passed, N failed" over all suites.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh || exit 1

passed=0 failed=0
step() {  # step NAME COMMAND...: runs a suite, counts it
  local name=$1; shift
  echo "=== $name"
  if "$@"; then passed=$((passed + 1)); echo "--- $name: ok"
  else failed=$((failed + 1)); echo "--- $name: FAILED"; fi
}
ctest_in() { ctest --test-dir "$1" --output-on-failure -j "$(nproc)" --timeout 600; }

step "build i386" bash scripts/build.sh i386
step "build x86_64" bash scripts/build.sh x86_64
step "build x86_64 sanitized" bash scripts/build.sh asan
step "build i386 sanitized" bash scripts/build.sh asan-i386
step "build x86_64 TSan" bash scripts/build.sh tsan
step "unit i386" ctest_in build/i386
step "unit x86_64" ctest_in build/x86_64
step "unit x86_64 ASan+UBSan" ctest_in build/asan
step "unit i386 ASan+UBSan" ctest_in build/asan-i386
# Many threads calling all 23 entry points at once; any shared mutable state
# is a reported race.
step "concurrency x86_64 TSan" build/tsan/tests/vantor_unit_tests --gtest_filter='Concurrency.*'
step "library shape i386" bash scripts/check-library.sh build/i386/libvantor.so
step "library shape x86_64" bash scripts/check-library.sh --x86_64 build/x86_64/libvantor.so
step "UDR library shape i386" bash scripts/check-udr-library.sh build/i386/libvantor_udr.so
step "UDR library shape x86_64" bash scripts/check-udr-library.sh --x86_64 build/x86_64/libvantor_udr.so
step "package i386" bash scripts/check-package.sh i386
step "package x86_64" bash scripts/check-package.sh x86_64
step "sql i386 engine" bash scripts/sqltest.sh --build build/i386
# The every-day calendar check makes 18 million legacy UDF calls; the i386
# engine runs it, and the amd64 engine everything else.
step "sql x86_64 engine" bash scripts/sqltest.sh --build build/x86_64 --skip calendar_days
# The same suite against the UDR module, with udr_compare checking it
# against the legacy module in one database.
step "sql i386 engine, UDR module" bash scripts/sqltest.sh --udr --build build/i386 --skip calendar_days --skip reinstall
step "sql x86_64 engine, UDR module" bash scripts/sqltest.sh --udr --build build/x86_64 --skip calendar_days --skip reinstall
# Firebird 4.0 (amd64): the whole suite with both modules, and the UDR
# module built against the 4.0 interface headers.
step "sql Firebird 4.0 engine" bash scripts/sqltest.sh --engine fb4 --build build/x86_64 --skip calendar_days
step "sql Firebird 4.0 engine, UDR module" bash scripts/sqltest.sh --engine fb4 --udr --build build/x86_64 \
  --skip calendar_days --skip reinstall
step "UDR module against the Firebird 4.0 headers" bash -c 'cmake -S . -B build/x86_64-fb4headers \
  -DCMAKE_TOOLCHAIN_FILE=cmake/x86_64.cmake -DVANTOR_TESTS=OFF \
  -DVANTOR_FIREBIRD_INCLUDE=/opt/vantor/firebird4.0/usr/include >/dev/null \
  && cmake --build build/x86_64-fb4headers --target vantor_udr -j 2 >/dev/null'
step "load: 8 connections on the i386 server" bash scripts/loadtest.sh
step "server path: packages installed in the i386 server, declared, moved, removed" bash scripts/servertest.sh
step "fuzz every target (12 s each)" bash scripts/fuzz.sh all 12
# The engine benchmark on 2,000 rows, one round: seconds, so that its SQL,
# floors and arithmetic cannot rot (the full run is scripts/perfreport.sh).
step "engine benchmark smoke (2,000 rows)" bash scripts/enginebench.sh --rows 2000 --blobs 5 --runs 1 \
  --work build/i386/enginebench-smoke

echo "suites: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
