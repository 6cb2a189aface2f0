# 32-bit Windows: the shipped installer, and the tests where this machine
# runs 32-bit code.
set(CMAKE_SYSTEM_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
