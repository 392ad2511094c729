#!/usr/bin/env bash
# Runs the tests. Installs what is missing first (scripts/setup.sh).
#
#   scripts/test.sh           everything: both flavours' unit tests (also under
#                             ASan+UBSan, and the concurrency tests under TSan),
#                             each shipped library's ELF shape and exports, the
#                             packages, the SQL regression suite in every engine
#                             against the legacy and the UDR module and over
#                             TCP against the real i386 3.0 server and Debian
#                             13's 4.0 server (installcheck), a 3.0 database
#                             upgraded to that 4.0 server, the real
#                             server under concurrent load, vantor-install on
#                             official-layout roots, the Windows DLLs under
#                             Wine (unit tests, the module harness and its
#                             differential check, exports and imports, the
#                             kits), every fuzz target
#                             briefly and the engine benchmark on a few rows.
#   scripts/test.sh --quick   the edit loop: both flavours' unit tests (the
#                             i386 sweeps sampled), the library shapes and the
#                             SQL suite in the amd64 Firebird 3.0 engine.
#
# A step that needs a build runs only when that build succeeded; otherwise it
# counts as failed without running. Ends with one line "N passed, N failed"
# over all steps.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
quick=0
[ "${1:-}" = "--quick" ] && quick=1
bash scripts/setup.sh || exit 1

passed=0 failed=0
built=" "
step() {  # step NAME COMMAND...: runs a step, counts it, returns its status
  local name=$1; shift
  echo "=== $name"
  if "$@"; then passed=$((passed + 1)); echo "--- $name: ok"
  else failed=$((failed + 1)); echo "--- $name: FAILED"; return 1; fi
}
build() {  # build FLAVOUR: a build step that records its success
  step "build $1" bash scripts/build.sh "$1" && built="$built$1 "
}
on() {  # on FLAVOUR NAME COMMAND...: a step that needs build FLAVOUR
  local flavour=$1 name=$2; shift 2
  if [[ "$built" == *" $flavour "* ]]; then step "$name" "$@"
  else failed=$((failed + 1)); echo "--- $name: NOT RUN (build $flavour failed)"; fi
}
# Where the kernel runs no i386 program itself, setup.sh has registered
# QEMU's emulator for them (about 40 times slower on the x87): the i386 sweep
# of every time of day then takes every 13th time (66 million conversions).
. scripts/lib/platform.sh
emulated=0
i386_emulated && emulated=1
ctest_in() { ctest --test-dir "$1" --output-on-failure -j "$(nproc)" --timeout 1800 "${@:2}"; }
ctest_i386() {  # ctest_i386 STRIDE-UNDER-EMULATION DIR ARGS...
  local stride=$1; shift
  [ $emulated -eq 1 ] || stride=""
  VANTOR_SWEEP_STRIDE=$stride ctest_in "$@"
}

build i386
build x86_64
if [ $quick -eq 1 ]; then
  # The sweeps of every time of day and every calendar day run on x86-64;
  # i386 runs them through the sanitized and full runs.
  on i386 "unit i386 (sweeps left to the full run)" ctest_i386 13 build/i386 -E 'Sweep'
else
  on i386 "unit i386" ctest_i386 13 build/i386
fi
on x86_64 "unit x86_64" ctest_in build/x86_64
on i386 "library shape i386" bash scripts/check-library.sh build/i386/libvantor.so
on x86_64 "library shape x86_64" bash scripts/check-library.sh --x86_64 build/x86_64/libvantor.so
on i386 "UDR library shape i386" bash scripts/check-udr-library.sh build/i386/libvantor_udr.so
on x86_64 "UDR library shape x86_64" bash scripts/check-udr-library.sh --x86_64 build/x86_64/libvantor_udr.so
if [ $quick -eq 1 ]; then
  on x86_64 "sql x86_64 engine" bash scripts/sqltest.sh --build build/x86_64 --skip calendar_days
  echo "steps: $passed passed, $failed failed"
  [ "$failed" -eq 0 ]
  exit
fi

# The Windows flavours (mingw-w64), run under Wine against the Linux x86-64
# build: the DLLs' exports and imports, the unit tests, and the module
# harness under MSVC's control word (0x027F) and the x87 default (0x037F),
# with its differential check. Under the emulator the win32 sweeps are
# sampled as the i386 ones are.
build win32
build win64
windows() {  # windows FLAVOUR ARCHITECTURE: the flavour's ctest tests labelled windows
  if [[ "$built" == *" x86_64 "* ]]; then
    on "$1" "windows $2 (Wine): DLL shape, unit tests, harness under 0x027F and 0x037F, differential check" \
      ctest_i386 13 "build/$1" -L windows
  else
    failed=$((failed + 1)); echo "--- windows $2: NOT RUN (build x86_64 failed)"
  fi
}
windows win32 i686
windows win64 x86_64
windows_kit() {  # windows_kit FLAVOUR: the zip holds the two DLLs, the four scripts and the README
  local zip
  zip=$(bash scripts/package.sh "$1") || return 1
  [ "$(unzip -Z1 "$zip" | grep -cE '/(vantor\.dll|vantor_udr\.dll|README\.txt|sql/vantor(-udr)?(-drop)?\.sql)$')" -eq 7 ]
}
on win32 "windows kit win32" windows_kit win32
on win64 "windows kit win64" windows_kit win64

build asan
build asan-i386
build tsan
on asan "unit x86_64 ASan+UBSan" ctest_in build/asan
# Under the emulator a sanitized i386 process takes minutes just to start
# (QEMU maps ASan's shadow memory page by page), so there the sanitized i386
# build is built but not run; x86-64 runs every test under the sanitizers.
if [ $emulated -eq 1 ]; then
  echo "=== unit i386 ASan+UBSan: not run, i386 programs are emulated here"
else
  on asan-i386 "unit i386 ASan+UBSan" ctest_i386 97 build/asan-i386
fi
# Many threads calling all 23 entry points at once; any shared mutable state
# is a reported race.
on tsan "concurrency x86_64 TSan" build/tsan/tests/vantor_unit_tests --gtest_filter='Concurrency.*'
on i386 "package i386" bash scripts/check-package.sh i386
on x86_64 "package x86_64" bash scripts/check-package.sh x86_64
# The every-day calendar check makes 18 million legacy UDF calls: the i386
# engine runs it, or the amd64 one where i386 programs are emulated.
if [ $emulated -eq 1 ]; then
  on i386 "sql i386 engine" bash scripts/sqltest.sh --build build/i386 --skip calendar_days
  on x86_64 "sql x86_64 engine" bash scripts/sqltest.sh --build build/x86_64
else
  on i386 "sql i386 engine" bash scripts/sqltest.sh --build build/i386
  on x86_64 "sql x86_64 engine" bash scripts/sqltest.sh --build build/x86_64 --skip calendar_days
fi
# The same suite against the UDR module, with udr_compare checking it
# against the legacy module in one database.
on i386 "sql i386 engine, UDR module" bash scripts/sqltest.sh --udr --build build/i386 --skip calendar_days --skip reinstall --skip unloadable
on x86_64 "sql x86_64 engine, UDR module" bash scripts/sqltest.sh --udr --build build/x86_64 --skip calendar_days --skip reinstall --skip unloadable
# Firebird 4.0 (amd64): the whole suite with both modules, and the UDR
# module built against the 4.0 interface headers.
on x86_64 "sql Firebird 4.0 engine" bash scripts/sqltest.sh --engine fb4 --build build/x86_64 --skip calendar_days
on x86_64 "sql Firebird 4.0 engine, UDR module" bash scripts/sqltest.sh --engine fb4 --udr --build build/x86_64 \
  --skip calendar_days --skip reinstall --skip unloadable
# Firebird 4.0 i386 (Debian 13's), the library's own platform: the suite
# with both modules; where i386 programs are emulated, the examples of the
# README and the guides, and the comparison of the two modules.
if [ $emulated -eq 1 ]; then
  on i386 "sql Firebird 4.0 i386 engine (emulated: the docs examples)" bash scripts/sqltest.sh --engine fb4 \
    --build build/i386 docs_readme docs_dates docs_blobs fb4_timezone
  on i386 "sql Firebird 4.0 i386 engine, UDR module (emulated: the docs examples, udr_compare)" bash scripts/sqltest.sh \
    --engine fb4 --udr --build build/i386 docs_readme docs_dates docs_blobs udr_compare
else
  on i386 "sql Firebird 4.0 i386 engine" bash scripts/sqltest.sh --engine fb4 --build build/i386 --skip calendar_days
  on i386 "sql Firebird 4.0 i386 engine, UDR module" bash scripts/sqltest.sh --engine fb4 --udr --build build/i386 \
    --skip calendar_days --skip reinstall --skip unloadable
fi
# The examples of the README and the guides in databases of every other
# usual default character set (the suite's own databases are WIN1250), with
# both modules, in both amd64 engines. (In UTF8 a text holds at most 8191
# characters, so the masks guide's 32 KiB examples of the matcher's bound
# are left to the single-byte character sets.)
charset_loop() {
  local cs module engine masks
  for cs in UTF8 ISO8859_1 NONE; do
    masks=docs_masks
    [ $cs = UTF8 ] && masks=""
    for module in "" --udr; do
      for engine in fb3 fb4; do
        bash scripts/sqltest.sh --engine $engine --build build/x86_64 $module --charset $cs \
          docs_readme docs_dates docs_blobs $masks || return 1
      done
    done
  done
}
on x86_64 "character sets: the docs examples in UTF8, ISO8859_1 and NONE databases, both modules, 3.0 and 4.0" charset_loop
step "UDR module against the Firebird 4.0 headers" bash -c 'cmake -S . -B build/x86_64-fb4headers \
  -DCMAKE_TOOLCHAIN_FILE=cmake/x86_64.cmake -DVANTOR_TESTS=OFF \
  -DVANTOR_FIREBIRD_INCLUDE=/opt/vantor/firebird4.0/usr/include >/dev/null \
  && cmake --build build/x86_64-fb4headers --target vantor_udr -j 2 >/dev/null'
# Heavy Match calls on every connection at once: the server's peak memory
# stays within the matcher's per-call bound (16 MiB) and a margin.
on i386 "load: heavy Match calls at once on the i386 server, memory watched" bash scripts/loadtest.sh \
  --connections 4 --rounds 2 --workload tests/load/heavy_match.sql --peak-per-connection 20
# Under the emulator the server is about ten times slower: four connections,
# one round.
if [ $emulated -eq 1 ]; then
  on i386 "load: 4 connections on the i386 server" bash scripts/loadtest.sh --connections 4 --rounds 1
else
  on i386 "load: 8 connections on the i386 server" bash scripts/loadtest.sh
fi
# The server path: the packages installed in the server, the SQL suite over
# TCP against it with both modules (installcheck), declarations, moves and
# removal; on the i386 3.0 server of this machine, and on Debian 13's own
# Firebird 4.0 server in a Debian 13 root (made once per machine).
on i386 "server path: packages in the i386 3.0 server, installcheck with both modules, moves, removal" \
  bash scripts/servertest.sh
on x86_64 "server path: Debian 13's Firebird 4.0 server, its vantor package, installcheck with both modules, moves, removal" \
  bash scripts/servertest.sh --debian13
# A 3.0 database using the legacy module upgraded to Debian 13's 4.0 server
# as shipped (UdfAccess = None), by both paths of docs/upgrading.md, and the
# SQL suite against that server with the UDR module.
if [[ "$built" == *" i386 "* ]]; then
  on x86_64 "upgrade: 3.0 legacy database to Debian 13's 4.0 server as shipped, both paths; installcheck --udr there" \
    bash scripts/upgradetest.sh
else
  failed=$((failed + 1)); echo "--- upgrade: NOT RUN (build i386 failed)"
fi
# vantor-install on official-layout roots of 3.0 i386, 4.0 amd64 and 4.0
# i386: installed, loaded by the engine from that root, removed; and its
# refusals.
if [[ "$built" == *" x86_64 "* ]]; then
  on i386 "vantor-install: official-layout roots of 3.0 and 4.0, round trip and refusals" bash scripts/installtest.sh
else
  failed=$((failed + 1)); echo "--- vantor-install: NOT RUN (build x86_64 failed)"
fi
step "fuzz every target (12 s each)" bash scripts/fuzz.sh all 12
# The engine benchmark on 2,000 rows, one round, on both amd64 engines (and
# its lengths suite on 3.0), and the report made from it: seconds, so that
# its SQL, floors, marker, arithmetic and tables cannot rot (the full run is
# scripts/perfreport.sh).
benchmark_smoke() {
  local engine results=()
  for engine in fb3 fb4; do
    bash scripts/enginebench.sh --engine "$engine" --flavour x86_64 --rows 2000 --blobs 5 --runs 1 \
      --work "build/x86_64/enginebench-smoke-$engine" > /dev/null || return 1
    results+=("build/x86_64/enginebench-smoke-$engine/results.json")
  done
  bash scripts/enginebench.sh --engine fb3 --flavour x86_64 --rows 2000 --blobs 5 --runs 1 --reuse \
    --suite lengths --work build/x86_64/enginebench-smoke-fb3 > build/x86_64/enginebench-smoke-fb3/lengths.md \
    && grep -q "^| \`IIF_S\` | " build/x86_64/enginebench-smoke-fb3/lengths.md || return 1
  # The moved declarations (legacy NULL rules) beside the fresh ones, on 4.0.
  bash scripts/enginebench.sh --engine fb4 --flavour x86_64 --rows 2000 --blobs 5 --runs 1 --reuse \
    --suite moved --work build/x86_64/enginebench-smoke-fb4 > build/x86_64/enginebench-smoke-fb4/moved.md \
    && grep -q "^| \`DivDP\` | " build/x86_64/enginebench-smoke-fb4/moved.md || return 1
  build/x86_64/bench/vantor_bench --benchmark_min_time=0.001 --benchmark_out=build/x86_64/bench-smoke.json \
    --benchmark_out_format=json > /dev/null || return 1
  /usr/bin/python3 bench/perfreport.py report bench/PERFORMANCE.md.in build/x86_64/bench-smoke.json \
    build/x86_64/bench-smoke.json build/x86_64/PERFORMANCE-smoke.md build/x86_64/performance-smoke.png \
    "${results[@]}" && grep -q "^### Firebird 4" build/x86_64/PERFORMANCE-smoke.md
}
on x86_64 "engine benchmark and report smoke (2,000 rows, both modules, 3.0 and 4.0)" benchmark_smoke

echo "steps: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
