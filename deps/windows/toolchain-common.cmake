# The parts of the Windows cross builds that do not depend on the architecture: MinGW-w64 with
# POSIX threads (std::thread in the texture workers), one static executable, and the libraries
# of deps/windows/build for QV_WINDOWS_ARCH.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${QV_WINDOWS_ARCH})
set(CMAKE_C_COMPILER ${QV_WINDOWS_ARCH}-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER ${QV_WINDOWS_ARCH}-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER ${QV_WINDOWS_ARCH}-w64-mingw32-windres)
# The C and C++ runtimes and winpthreads inside: no DLL beyond Windows' own.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

if(NOT QV_WINDOWS_DEPS)
  execute_process(COMMAND ${CMAKE_CURRENT_LIST_DIR}/build --arch ${QV_WINDOWS_ARCH} --prefix
                  OUTPUT_VARIABLE QV_WINDOWS_DEPS OUTPUT_STRIP_TRAILING_WHITESPACE
                  RESULT_VARIABLE prefix_status)
  if(NOT prefix_status EQUAL 0 OR NOT EXISTS "${QV_WINDOWS_DEPS}/built")
    message(FATAL_ERROR
            "The Windows libraries are not built: run deps/windows/build --arch ${QV_WINDOWS_ARCH}")
  endif()
  set(QV_WINDOWS_DEPS "${QV_WINDOWS_DEPS}" CACHE PATH "libraries from deps/windows/build")
endif()
# The compiler checks run in projects of their own, which see only the variables listed here.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES QV_WINDOWS_DEPS)

set(CMAKE_FIND_ROOT_PATH /usr/${QV_WINDOWS_ARCH}-w64-mingw32 ${QV_WINDOWS_DEPS})
set(CMAKE_PREFIX_PATH ${QV_WINDOWS_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(ENV{PKG_CONFIG_LIBDIR} "${QV_WINDOWS_DEPS}/lib/pkgconfig")
