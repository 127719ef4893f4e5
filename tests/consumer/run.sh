#!/usr/bin/env bash
# Installs the build into a scratch prefix, then builds the host program twice,
# with pkg-config and with find_package, and runs it on a good and a bad file.
set -euo pipefail
build_dir=$1
source_dir=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

cmake --install "$build_dir" --prefix "$scratch/prefix" > /dev/null
export PKG_CONFIG_PATH="$scratch/prefix/lib/pkgconfig"
export LD_LIBRARY_PATH="$scratch/prefix/lib"

check() {
    local host=$1
    local out
    out=$("$host" "$source_dir/examples/house.dxf")
    [ "$out" = '$ACADVER = AC1009' ] || { echo "unexpected output: $out"; exit 1; }
    set +e
    out=$("$host" "$scratch/missing.dxf")
    local status=$?
    set -e
    [ $status -eq 1 ] || { echo "expected exit 1 for a missing file, got $status"; exit 1; }
    expected="qdxf_Read: Error opening file $scratch/missing.dxf
qfio_Open: No such file or directory"
    [ "$out" = "$expected" ] || { echo "unexpected chain: $out"; exit 1; }
}

cc -std=c11 -Wall -Wextra -pedantic -Werror -o "$scratch/host-pc" "$source_dir/tests/consumer/host.c" \
    $(pkg-config --cflags --libs vexlith)
check "$scratch/host-pc"

cmake -S "$source_dir/tests/consumer/cmake_project" -B "$scratch/cmake-build" \
    -DCMAKE_PREFIX_PATH="$scratch/prefix" > /dev/null
cmake --build "$scratch/cmake-build" > /dev/null
check "$scratch/cmake-build/host"
echo "the installed package builds and runs a host program"
