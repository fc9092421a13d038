# Cross build for 64-bit Windows with MinGW-w64; tests run under 64-bit Wine.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(MINGW_TRIPLET x86_64-w64-mingw32)
set(QMZ_WINEARCH win64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
