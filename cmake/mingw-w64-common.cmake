# Shared by the mingw-w64 toolchain files, which set OMBREL_MINGW_TRIPLE, OMBREL_WINEARCH and the processor
# first. Test programs run under Wine through wine-run.sh, in one prefix inside the build directory.
set(CMAKE_SYSTEM_NAME Windows)

# The posix thread model gives std::thread and friends; the win32 one is the fallback on systems without it.
find_program(OMBREL_MINGW_C NAMES ${OMBREL_MINGW_TRIPLE}-gcc-posix ${OMBREL_MINGW_TRIPLE}-gcc REQUIRED)
find_program(OMBREL_MINGW_CXX NAMES ${OMBREL_MINGW_TRIPLE}-g++-posix ${OMBREL_MINGW_TRIPLE}-g++ REQUIRED)
find_program(OMBREL_MINGW_RC NAMES ${OMBREL_MINGW_TRIPLE}-windres REQUIRED)
set(CMAKE_C_COMPILER ${OMBREL_MINGW_C})
set(CMAKE_CXX_COMPILER ${OMBREL_MINGW_CXX})
set(CMAKE_RC_COMPILER ${OMBREL_MINGW_RC})

set(CMAKE_FIND_ROOT_PATH /usr/${OMBREL_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Everything linked in (libgcc, libstdc++, winpthread), so each .exe runs with nothing beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

set(CMAKE_CROSSCOMPILING_EMULATOR
    "${CMAKE_CURRENT_LIST_DIR}/wine-run.sh;${OMBREL_WINEARCH};${CMAKE_BINARY_DIR}/wineprefix")

# GoogleTest lists a test program's cases when ctest runs, not when it is built: building never needs Wine.
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
