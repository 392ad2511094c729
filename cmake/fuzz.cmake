# The libFuzzer targets (fuzz/): the x86-64 flavour built with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer, every object instrumented for the fuzzer.
include(${CMAKE_CURRENT_LIST_DIR}/x86_64.cmake)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_CXX_FLAGS_INIT "-m64 -fsanitize=fuzzer-no-link")
set(CMAKE_BUILD_TYPE RelWithDebInfo CACHE STRING "")
set(VANTOR_SANITIZE ON CACHE BOOL "" FORCE)
set(VANTOR_TESTS OFF CACHE BOOL "" FORCE)
set(VANTOR_FUZZ ON CACHE BOOL "" FORCE)
