# Cross-compiles BrimoCNC for 64-bit Windows with Debian's MinGW-w64 (posix
# threads variant, package g++-mingw-w64-x86-64-posix) and runs what it
# builds (test discovery, ctest) under Wine:
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
#         -DBRIMO_GUI=OFF -DBRIMO_BENCH=OFF
# The executables link libgcc, libstdc++ and winpthread statically, so a
# single .exe runs on a Windows machine (and under Wine) with no MinGW DLLs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(BRIMO_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${BRIMO_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${BRIMO_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${BRIMO_MINGW_TRIPLE}-windres)

# Headers and libraries from the MinGW sysroot only; build tools from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${BRIMO_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

# Wine runs the test executables (gtest discovery, ctest) and the command-line
# build. Its own prefix inside the build folder, owned by whoever builds (Wine
# refuses a prefix owned by another user, root included); no debug chatter;
# no Mono or Gecko install prompt on the prefix's first start.
find_program(BRIMO_WINE64 NAMES wine64 PATHS /usr/lib/wine /usr/lib64/wine NO_DEFAULT_PATH)
find_program(BRIMO_WINE64 NAMES wine64 wine)
set(BRIMO_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix" CACHE PATH "Wine prefix the tests run in")
if(BRIMO_WINE64)
  set(CMAKE_CROSSCOMPILING_EMULATOR
      ${CMAKE_COMMAND} -E env WINEPREFIX=${BRIMO_WINEPREFIX} WINEDEBUG=-all
      WINEDLLOVERRIDES=mscoree,mshtml= ${BRIMO_WINE64})
endif()
