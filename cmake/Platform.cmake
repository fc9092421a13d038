# The one place the build picks its platform. Code above the platform seam is
# the same everywhere; each folder lists its backends per platform, as
# <name>_win32 and <name>_posix, and builds ${<name>_${QMZ_PLATFORM}}.
#   QMZ_PLATFORM   win32 (MinGW-w64 cross build) or posix
#   QMZ_FRONT_END  the launcher's windows: win32, or qt on POSIX
if(WIN32)
  set(QMZ_PLATFORM win32)
  set(QMZ_FRONT_END win32)
else()
  set(QMZ_PLATFORM posix)
  set(QMZ_FRONT_END qt)
endif()
message(STATUS "Platform: ${QMZ_PLATFORM}, launcher front end: ${QMZ_FRONT_END}")
