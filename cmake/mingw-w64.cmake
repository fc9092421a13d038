# What the Windows cross builds share, included by the toolchain file of each
# architecture (mingw-w64-x86_64.cmake, mingw-w64-i686.cmake) after it has set
# CMAKE_SYSTEM_PROCESSOR, MINGW_TRIPLET and QMZ_WINEARCH (win64 or win32).
#
# MinGW-w64's -posix compilers, whose C++ runtime has std::thread; linked
# statically so the executables import only system DLLs, and run under Wine
# with a prefix of their own.
#
# Libraries Debian has no MinGW package for (libbzip2, libjpeg-turbo,
# libdeflate, GoogleTest, the CLI11 and nlohmann-json headers) come from the
# prefix that scripts/setup-mingw-deps builds for the triplet. Its path is
# MINGW_DEPS_PREFIX: from the cache, from the environment variable of the same
# name, or from the file mingw-deps.cmake the script writes into the build
# folder.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${MINGW_TRIPLET}-windres)

if(NOT MINGW_DEPS_PREFIX AND DEFINED ENV{MINGW_DEPS_PREFIX})
  set(MINGW_DEPS_PREFIX "$ENV{MINGW_DEPS_PREFIX}")
endif()
if(NOT MINGW_DEPS_PREFIX AND EXISTS "${CMAKE_BINARY_DIR}/mingw-deps.cmake")
  include("${CMAKE_BINARY_DIR}/mingw-deps.cmake")
endif()
if(NOT MINGW_DEPS_PREFIX OR NOT EXISTS "${MINGW_DEPS_PREFIX}/include")
  message(FATAL_ERROR "MinGW dependencies not found (MINGW_DEPS_PREFIX='${MINGW_DEPS_PREFIX}'): "
                      "run scripts/setup-mingw-deps first")
endif()
set(MINGW_DEPS_PREFIX "${MINGW_DEPS_PREFIX}" CACHE PATH "Prefix of the libraries built for MinGW-w64")
# try_compile projects read this file again in a folder of their own.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES MINGW_DEPS_PREFIX)

# Search the MinGW sysroot and the prefix only: never the host's /usr/include.
set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLET} "${MINGW_DEPS_PREFIX}")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(ZLIB_USE_STATIC_LIBS ON)

# Static runtime (libgcc, libstdc++, winpthread): nothing to ship beside the .exe.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# Tests and test discovery run the executables under Wine, in a prefix inside
# the build folder, quietly; nothing touches the user's own Wine prefix.
# Debian's loader of the architecture is used directly: its `wine` wrapper
# picks the 32-bit loader whenever that is installed, and a 32-bit prefix
# (WINEARCH=win32) is run by the 32-bit loader of the package wine32:i386.
# QMZ_WINE_ENV is the environment every Windows program of the build runs in.
set(QMZ_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
if(QMZ_WINEARCH STREQUAL "win32")
  find_program(WINE_PROGRAM NAMES wine PATHS /usr/lib/wine NO_DEFAULT_PATH REQUIRED)
else()
  find_program(WINE_PROGRAM NAMES wine64 wine HINTS /usr/lib/wine REQUIRED)
endif()
set(QMZ_WINE_ENV WINEPREFIX=${QMZ_WINEPREFIX} WINEARCH=${QMZ_WINEARCH} WINEDEBUG=-all
    WINEDLLOVERRIDES=mscoree,mshtml=)
set(CMAKE_CROSSCOMPILING_EMULATOR env ${QMZ_WINE_ENV} ${WINE_PROGRAM})
