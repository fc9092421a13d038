# Cross build for 64-bit Windows with MinGW-w64 (the -posix compilers, whose
# C++ runtime has std::thread), linked statically so the executables import
# only system DLLs, and run under Wine with a prefix of their own.
#
# Libraries Debian has no MinGW package for (libbzip2, libjpeg-turbo,
# GoogleTest, the CLI11 and nlohmann-json headers) come from the prefix that
# scripts/setup-mingw-deps builds. Its path is MINGW_DEPS_PREFIX: from the
# cache, from the environment variable of the same name, or from the file
# mingw-deps.cmake the script writes into the build folder.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(MINGW_TRIPLET x86_64-w64-mingw32)
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
# Debian's 64-bit loader is used directly: its `wine` wrapper asks for the
# 32-bit one on every start.
set(QMZ_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
find_program(WINE_PROGRAM NAMES wine64 wine HINTS /usr/lib/wine REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR
    env WINEPREFIX=${QMZ_WINEPREFIX} WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
    ${WINE_PROGRAM})
