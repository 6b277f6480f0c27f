# 64-bit Windows: the same program for 64-bit Wine, where 32-bit programs cannot run.
set(QV_WINDOWS_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-common.cmake)
