# 64-bit Windows: the test build on machines that run 64-bit code only
# (scripts/test-arch.sh); never shipped.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
