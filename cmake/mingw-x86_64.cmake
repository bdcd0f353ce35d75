# Cross-compiles for 64-bit Windows: the same sources as the shipped 32-bit
# DLL, for machines that run no 32-bit programs (their Wine tests run against
# this build).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
