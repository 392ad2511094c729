# The i386 flavour (x87 arithmetic, 32-bit layout) built with AddressSanitizer
# and UndefinedBehaviorSanitizer.
include(${CMAKE_CURRENT_LIST_DIR}/i386.cmake)
set(VANTOR_SANITIZE ON CACHE BOOL "" FORCE)
set(VANTOR_SANITIZERS "address,undefined" CACHE STRING "" FORCE)
