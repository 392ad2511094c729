# The x86-64 flavour built with ThreadSanitizer, for the concurrency tests.
include(${CMAKE_CURRENT_LIST_DIR}/x86_64.cmake)
set(VANTOR_SANITIZE ON CACHE BOOL "" FORCE)
set(VANTOR_SANITIZERS "thread" CACHE STRING "" FORCE)
