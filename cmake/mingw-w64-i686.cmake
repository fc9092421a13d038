# Cross build for 32-bit Windows (i686) with MinGW-w64: the launcher a medium
# carries, which starts on 32-bit and 64-bit Windows alike. Tests run under
# 32-bit Wine (wine32:i386) in a prefix of its own.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(MINGW_TRIPLET i686-w64-mingw32)
set(QMZ_WINEARCH win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
