#!/usr/bin/env bash
# Hosts built against vexlith as others get it, each run on a good and a bad
# file:
#   run.sh prefix BUILD SOURCE           the build installed into a scratch
#                                        prefix; pkg-config and find_package
#   run.sh windows BUILD SOURCE TOOLCHAIN EMULATOR
#                                        the Windows build installed into a
#                                        scratch prefix (DLLs and the tool in
#                                        bin/, import libraries in lib/); hosts
#                                        cross-built with pkg-config and
#                                        find_package, run under EMULATOR
#   run.sh distribution SOURCE VERSION   vexlith as a subproject, configured as
#                                        Debian does (prefix /usr, libdir
#                                        lib/x86_64-linux-gnu), installed with
#                                        DESTDIR and moved; pkg-config and
#                                        find_package again
set -euo pipefail
mode=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# Under an emulator in a Windows build: Windows ends the lines with CR LF.
run_host() {
    $emulator "$@" | tr -d '\r'
    return "${PIPESTATUS[0]}"
}

check() {
    local host=$1
    local out
    out=$(run_host "$host" "$source_dir/examples/house.dxf")
    [ "$out" = '$ACADVER = AC1009' ] || { echo "unexpected output: $out"; exit 1; }
    set +e
    out=$(run_host "$host" "$scratch/missing.dxf")
    local status=$?
    set -e
    [ $status -eq 1 ] || { echo "expected exit 1 for a missing file, got $status"; exit 1; }
    expected="qdxf_Read: Error opening file $scratch/missing.dxf
qfio_Open: No such file or directory"
    [ "$out" = "$expected" ] || { echo "unexpected chain: $out"; exit 1; }
}

# The host through pkg-config and through find_package, against the prefix
# $1 whose pkg-config folder is $2.
check_installed() {
    local prefix=$1
    export PKG_CONFIG_PATH=$2
    export LD_LIBRARY_PATH=${2%/pkgconfig}
    case " $(pkg-config --cflags vexlith) " in
        *" -I$prefix/"*) ;;
        *) echo "pkg-config points elsewhere: $(pkg-config --cflags vexlith)"; exit 1 ;;
    esac
    cc -std=c11 -Wall -Wextra -pedantic -Werror -o "$scratch/host-pc" \
        "$source_dir/tests/consumer/host.c" $(pkg-config --cflags --libs vexlith)
    check "$scratch/host-pc"
    cmake -S "$source_dir/tests/consumer/cmake_project" -B "$scratch/cmake-build" \
        -DCMAKE_PREFIX_PATH="$prefix" > /dev/null
    cmake --build "$scratch/cmake-build" > /dev/null
    check "$scratch/cmake-build/host"
}

emulator=""
case $mode in
windows)
    build_dir=$2
    source_dir=$3
    emulator=$5
    prefix=$scratch/prefix
    cmake --install "$build_dir" --prefix "$prefix" > /dev/null
    for file in bin/libvexlith.dll bin/libpellund.dll bin/libcorvane.dll bin/vexlith.exe \
        lib/libvexlith.dll.a lib/libpellund.dll.a lib/libcorvane.dll.a include/vexlith/vexlith.h \
        include/vexlith/pellund.h include/vexlith/corvane.h lib/cmake/vexlith/vexlith-config.cmake \
        lib/pkgconfig/vexlith.pc; do
        [ -f "$prefix/$file" ] || { echo "not installed: $file"; exit 1; }
    done
    # The host finds the DLLs on the Windows PATH, as an installed program would.
    export WINEPATH="$(winepath -w "$prefix/bin" 2>/dev/null || echo "Z:$prefix/bin")"
    out=$(run_host "$prefix/bin/vexlith.exe" --version)
    [ "$out" = "vexlith $(pkg-config --modversion "$prefix/lib/pkgconfig/vexlith.pc")" ] ||
        { echo "installed tool: $out"; exit 1; }
    x86_64-w64-mingw32-gcc-posix -std=c11 -Wall -Wextra -pedantic -Werror -o "$scratch/host-pc.exe" \
        "$source_dir/tests/consumer/host.c" \
        $(PKG_CONFIG_PATH="$prefix/lib/pkgconfig" pkg-config --cflags --libs vexlith)
    check "$scratch/host-pc.exe"
    cmake -S "$source_dir/tests/consumer/cmake_project" -B "$scratch/cmake-build" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$4" -DCMAKE_PREFIX_PATH="$prefix" > /dev/null
    cmake --build "$scratch/cmake-build" > /dev/null
    check "$scratch/cmake-build/host.exe"
    echo "the Windows install builds host programs that run under $(basename "$emulator")"
    ;;
prefix)
    build_dir=$2
    source_dir=$3
    cmake --install "$build_dir" --prefix "$scratch/prefix" > /dev/null
    check_installed "$scratch/prefix" "$scratch/prefix/lib/pkgconfig"
    echo "the installed package builds and runs a host program"
    ;;
distribution)
    source_dir=$2
    version=$3
    multiarch=lib/x86_64-linux-gnu
    cmake -S "$source_dir/tests/consumer/subproject" -B "$scratch/build" -G Ninja \
        -DCMAKE_BUILD_TYPE=Release -DVEXLITH_SOURCE_DIR="$source_dir" -DVEXLITH_BUILD_TOOLS=OFF \
        -DCMAKE_INSTALL_PREFIX=/usr -DCMAKE_INSTALL_LIBDIR=$multiarch > /dev/null
    cmake --build "$scratch/build" -j2 > /dev/null
    check "$scratch/build/host"
    out=$("$scratch/build/host" --version)
    [ "$out" = "$version $version" ] || { echo "headers say '$out', not $version"; exit 1; }
    echo "vexlith as a subproject builds and runs a host program"

    DESTDIR="$scratch/stage" cmake --install "$scratch/build" > /dev/null
    mv "$scratch/stage/usr" "$scratch/moved"
    check_installed "$scratch/moved" "$scratch/moved/$multiarch/pkgconfig"
    echo "the multiarch install, moved, builds and runs a host program"
    ;;
esac
