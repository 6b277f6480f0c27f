# 32-bit Windows, the player's own platform. float and double in SSE registers, rounded to
# their own width after every operation as on x86-64; long double stays the x87 80-bit format
# where the engine asks for extended precision.
set(QV_WINDOWS_ARCH i686)
set(CMAKE_C_FLAGS_INIT "-march=pentium4 -msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-march=pentium4 -msse2 -mfpmath=sse")
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-common.cmake)
