# The x86-64 flavour built with AddressSanitizer and UndefinedBehaviorSanitizer.
include(${CMAKE_CURRENT_LIST_DIR}/x86_64.cmake)
set(VANTOR_SANITIZE ON CACHE BOOL "" FORCE)
