# SPDX-License-Identifier: MIT
# Cross build for 64-bit Windows with Debian's MinGW-w64 compilers, the
# posix-thread flavour (std::thread and std::mutex need it). Test programs run
# under Wine through CTest.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VEXLITH_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VEXLITH_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VEXLITH_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VEXLITH_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${VEXLITH_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Packages also from CMAKE_PREFIX_PATH as given, so that a consumer finds an
# installed vexlith with -DCMAKE_PREFIX_PATH=<prefix>.
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)

# Test programs, and GoogleTest's discovery of their tests, run under Wine.
# The wrapper is copied into the build tree, beside the Wine prefix it makes.
if(CMAKE_BINARY_DIR AND NOT CMAKE_BINARY_DIR MATCHES "/CMakeFiles/(CMakeScratch|CMakeTmp)")
    file(COPY ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh DESTINATION ${CMAKE_BINARY_DIR})
    set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run.sh)
endif()
