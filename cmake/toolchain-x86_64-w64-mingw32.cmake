# The same sources built as 64-bit Windows programs. Ombrel itself is 32-bit; this build exists so that its
# tests can run under a 64-bit-only Wine on machines that cannot execute 32-bit code (see scripts/test-windows.sh).
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(OMBREL_MINGW_TRIPLE x86_64-w64-mingw32)
set(OMBREL_WINEARCH win64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
