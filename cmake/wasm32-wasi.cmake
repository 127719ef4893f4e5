# SPDX-License-Identifier: MIT
# WebAssembly (wasm32-wasi) with Debian's clang-19 and lld-19, wasi-libc and
# the wasm32 builds of libc++ and libc++abi (packages clang-19, lld-19,
# wasi-libc, libc++-19-dev-wasm32, libc++abi-19-dev-wasm32,
# libclang-rt-19-dev-wasm32). Everything is on the machine: nothing is
# downloaded at build time.
set(CMAKE_SYSTEM_NAME Generic)
set(CMAKE_SYSTEM_PROCESSOR wasm32)

set(CMAKE_C_COMPILER clang-19)
set(CMAKE_CXX_COMPILER clang++-19)
set(CMAKE_C_COMPILER_TARGET wasm32-wasi)
set(CMAKE_CXX_COMPILER_TARGET wasm32-wasi)
# Any llvm-ar reads wasm objects; the renderer and the JSON document are
# static archives.
find_program(CMAKE_AR NAMES llvm-ar-19 llvm-ar REQUIRED)
find_program(CMAKE_RANLIB NAMES llvm-ranlib-19 llvm-ranlib REQUIRED)
set(CMAKE_EXECUTABLE_SUFFIX .wasm)
# The wasm32 libc++abi has no exceptions to unwind.
set(CMAKE_CXX_FLAGS_INIT -fno-exceptions)

# wasi-libc's headers and libraries are where Debian puts them, under /usr.
set(CMAKE_SYSROOT /usr)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
