# Cross build for 64-bit Windows with Debian's mingw-w64 (the posix thread model,
# which std::thread and std::mutex need), linked statically so Loreth.exe needs no
# DLL beside it. Programs built here run under Wine through the emulator script.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(LORETH_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${LORETH_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${LORETH_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${LORETH_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${LORETH_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# ctest (and gtest_discover_tests) run the cross-built tests under Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-env.sh)
