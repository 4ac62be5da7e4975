# The 32-bit Windows build, with Debian's mingw-w64:
#   cmake --preset windows-i686     (CMakePresets.json)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(OMBREL_MINGW_TRIPLE i686-w64-mingw32)
set(OMBREL_WINEARCH win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
