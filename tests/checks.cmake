# The checks beyond the unit tests, as ctest tests of the flavour's build
# (not of the sanitized builds), each with labels: what it is (sql, shape,
# package, server, install, upgrade, load, fuzz, bench, build), the flavour
# (i386, x86_64) and, for the SQL suite, the engine (fb3, fb4) and module
# (legacy, udr). For example, in build/x86_64:
#   ctest -L sql -L fb4 -L udr     the SQL suite on Firebird 4.0, UDR module
#   ctest -N -L sql                lists the SQL suite's tests
# The checks that stand up servers, install packages or build beside the
# build share the resource "machine" and run one at a time.
set(flavour ${VANTOR_FLAVOUR})
set(scripts ${CMAKE_SOURCE_DIR}/scripts)
set(build ${CMAKE_BINARY_DIR})
# Where the kernel runs no i386 program itself, QEMU does (setup.sh), about
# 40 times slower on the x87: the i386 engines then run less.
if(EXISTS /proc/sys/fs/binfmt_misc/qemu-i386)
  set(emulated ON)
else()
  set(emulated OFF)
endif()

function(vantor_check name labels)
  add_test(NAME ${name} COMMAND ${ARGN})
  set_tests_properties(${name} PROPERTIES LABELS "${labels};${flavour}" TIMEOUT 3600)
endfunction()
function(vantor_machine_check name labels)
  vantor_check(${name} "${labels}" ${ARGN})
  set_tests_properties(${name} PROPERTIES RESOURCE_LOCK machine)
endfunction()

# The SQL suite: sql.ENGINE.MODULE.NAME runs tests/sql/NAME.sql in the
# embedded engine. vantor_sql(ENGINE MODULE SKIP|ONLY NAMES...): every test
# of the slice but the NAMES, or only the NAMES.
file(GLOB sql_files CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/sql/*.sql)
function(vantor_sql engine module how)
  set(runner ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/tools/sqlrun.py --engine ${engine} --build ${build})
  if(module STREQUAL udr)
    list(APPEND runner --udr)
  endif()
  foreach(file ${sql_files})
    get_filename_component(test ${file} NAME_WE)
    list(FIND ARGN ${test} listed)
    if((how STREQUAL SKIP AND NOT listed EQUAL -1) OR (how STREQUAL ONLY AND listed EQUAL -1)
       OR (test MATCHES "^udr_" AND module STREQUAL legacy) OR (test MATCHES "^fb4_" AND engine STREQUAL fb3))
      continue()
    endif()
    vantor_check(sql.${engine}.${module}.${test} "sql;${engine};${module}" ${runner} ${test})
  endforeach()
endfunction()

# The every-day calendar check makes 18 million legacy UDF calls: the i386
# engine runs it, or the amd64 one where i386 programs are emulated. The UDR
# module does not reinstall the legacy module nor run engines of its own.
set(udr_skips calendar_days reinstall unloadable)
if(flavour STREQUAL i386 AND emulated)
  vantor_sql(fb3 legacy SKIP calendar_days)
elseif(flavour STREQUAL x86_64 AND NOT emulated)
  vantor_sql(fb3 legacy SKIP calendar_days)
else()
  vantor_sql(fb3 legacy SKIP)
endif()
vantor_sql(fb3 udr SKIP ${udr_skips})
if(flavour STREQUAL i386 AND emulated)
  # Firebird 4.0 i386 emulated: the examples of the README and the guides,
  # and the comparison of the two modules.
  vantor_sql(fb4 legacy ONLY docs_readme docs_dates docs_blobs fb4_timezone)
  vantor_sql(fb4 udr ONLY docs_readme docs_dates docs_blobs udr_compare)
else()
  vantor_sql(fb4 legacy SKIP calendar_days)
  vantor_sql(fb4 udr SKIP ${udr_skips})
endif()

# The library's shape, and its packages.
vantor_check(shape.legacy "shape;legacy" bash ${scripts}/check-library.sh --${flavour} ${build}/libvantor.so)
vantor_check(shape.udr "shape;udr" bash ${scripts}/check-library.sh --${flavour} ${build}/libvantor_udr.so)
vantor_machine_check(package "package" bash ${scripts}/check-package.sh ${flavour})

if(flavour STREQUAL x86_64)
  # The examples of the README and the guides in databases of every other
  # usual default character set (the suite's own are WIN1250), with both
  # modules, on both engines. In UTF8 a text holds at most 8191 characters,
  # so the masks guide's 32 KiB examples are left to the single-byte ones.
  foreach(charset UTF8 ISO8859_1 NONE)
    set(docs docs_readme docs_dates docs_blobs)
    if(NOT charset STREQUAL UTF8)
      list(APPEND docs docs_masks)
    endif()
    foreach(engine fb3 fb4)
      vantor_check(sql.${engine}.legacy.charset.${charset} "sql;charset;${engine};legacy"
                   ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/tools/sqlrun.py --engine ${engine}
                   --build ${build} --charset ${charset} ${docs})
      vantor_check(sql.${engine}.udr.charset.${charset} "sql;charset;${engine};udr"
                   ${Python3_EXECUTABLE} ${CMAKE_CURRENT_SOURCE_DIR}/tools/sqlrun.py --engine ${engine}
                   --build ${build} --udr --charset ${charset} ${docs})
    endforeach()
  endforeach()
  # The UDR module built against the Firebird 4.0 interface headers.
  vantor_machine_check(build.fb4headers "build;fb4;udr" bash -c
    "cmake -S ${CMAKE_SOURCE_DIR} -B ${build}-fb4headers -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/x86_64.cmake -DVANTOR_TESTS=OFF -DVANTOR_FIREBIRD_INCLUDE=/opt/vantor/firebird4.0/usr/include >/dev/null && cmake --build ${build}-fb4headers --target vantor_udr -j 2 >/dev/null")
  # Debian 13's own Firebird 4.0 server: its vantor package, installcheck
  # with both modules, moves, removal.
  vantor_machine_check(server.fb4 "server;fb4" bash ${scripts}/servertest.sh --debian13)
  # A 3.0 database using the legacy module upgraded to Debian 13's 4.0
  # server as shipped, by both paths of docs/upgrading.md, and the SQL suite
  # against that server with the UDR module (needs build/i386 too).
  vantor_machine_check(upgrade "upgrade;fb4" bash ${scripts}/upgradetest.sh)
  # Every fuzz target for 12 seconds (VANTOR_FUZZ_SECONDS).
  foreach(target match datetime dpdow alc blob)
    vantor_check(fuzz.${target} fuzz bash -c "bash ${scripts}/fuzz.sh ${target} \${VANTOR_FUZZ_SECONDS:-12}")
    set_tests_properties(fuzz.${target} PROPERTIES RESOURCE_LOCK fuzz)
  endforeach()
  # The engine benchmark and its report on 2,000 rows, so that its SQL,
  # floors and tables cannot rot (the full run is bench/perfreport.py).
  vantor_machine_check(bench.smoke bench ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/bench/perfreport.py --smoke)
else()
  # The packages in this machine's i386 Firebird 3.0 server, installcheck
  # with both modules, moves, removal.
  vantor_machine_check(server.fb3 "server;fb3" bash ${scripts}/servertest.sh)
  # Heavy Match calls on every connection at once: the server's peak memory
  # stays within the matcher's per-call bound (16 MiB) and a margin; then
  # the whole workload on 8 connections (4 and one round, emulated).
  vantor_machine_check(load.heavy_match "load;fb3" bash ${scripts}/loadtest.sh --connections 4 --rounds 2
                       --workload ${CMAKE_SOURCE_DIR}/tests/load/heavy_match.sql --peak-per-connection 20)
  # VANTOR_LOAD_ROUNDS sets the rounds of the latter.
  set(connections 8)
  set(rounds 3)
  if(emulated)
    set(connections 4)
    set(rounds 1)
  endif()
  vantor_machine_check(load.workload "load;fb3" bash -c
    "bash ${scripts}/loadtest.sh --connections ${connections} --rounds \${VANTOR_LOAD_ROUNDS:-${rounds}}")
  # vantor-install on official-layout roots of 3.0 i386, 4.0 amd64 and 4.0
  # i386 (needs build/x86_64 too).
  vantor_machine_check(install "install" bash ${scripts}/installtest.sh)
endif()
