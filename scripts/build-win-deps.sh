#!/usr/bin/env bash
# Cross-builds the third-party libraries of the Windows build from Debian's source packages and
# caches them, so that a second run costs nothing:
#   $NUV_WIN_DEPS (default ~/.cache/halvane/win64)/libjpeg-turbo   static libjpeg (interface 62)
#   $NUV_WIN_DEPS/vorbis                                            static libogg, libvorbis, libvorbisfile
#                                                                   and libvorbisenc (the sound library, tests)
# The sources come from `apt-get source`, which needs a deb-src entry beside the deb one; the
# entry is added once (as root) in a file of its own.
# Usage: scripts/build-win-deps.sh
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

cache="${XDG_CACHE_HOME:-$HOME/.cache}/halvane"
deps="${NUV_WIN_DEPS:-$cache/win64}"
src_root="$cache/src"
toolchain="$NUV_ROOT/cmake/mingw-w64-x86_64.cmake"
mkdir -p "$deps" "$src_root"

sudo_cmd() {
    if [[ $(id -u) -eq 0 ]]; then "$@"; else sudo "$@"; fi
}

# deb-src entries mirroring the deb ones of the Debian sources (deb822 format), added once.
ensure_deb_src() {
    local list=/etc/apt/sources.list.d/halvane-deb-src.sources
    if grep -rqsE '^(Types:.*deb-src|deb-src )' /etc/apt/sources.list /etc/apt/sources.list.d/; then
        return 0
    fi
    local from=/etc/apt/sources.list.d/debian.sources
    if [[ -f "$from" ]]; then
        sed -E 's/^Types:.*/Types: deb-src/' "$from" | sudo_cmd tee "$list" >/dev/null
    elif [[ -f /etc/apt/sources.list ]]; then
        grep -E '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' |
            sudo_cmd tee /etc/apt/sources.list.d/halvane-deb-src.list >/dev/null
    else
        echo "build-win-deps: no Debian sources to mirror" >&2
        return 1
    fi
    sudo_cmd apt-get update -q
}

# fetch_source PACKAGE - unpacks the Debian source package into $src_root; prints its folder.
fetch_source() {
    local pkg="$1" dir
    dir=$(find "$src_root" -maxdepth 1 -type d -name "$pkg-*" | sort | tail -n 1)
    if [[ -z "$dir" ]]; then
        ensure_deb_src >&2
        (cd "$src_root" && apt-get source -q "$pkg" >&2)
        dir=$(find "$src_root" -maxdepth 1 -type d -name "$pkg-*" | sort | tail -n 1)
    fi
    [[ -n "$dir" ]] || { echo "build-win-deps: no source for $pkg" >&2; return 1; }
    echo "$dir"
}

build_libjpeg() {
    local prefix="$deps/libjpeg-turbo"
    [[ -f "$prefix/lib/libjpeg.a" && -f "$prefix/include/jpeglib.h" ]] && return 0
    local src
    src=$(fetch_source libjpeg-turbo)
    local build="$src_root/build-libjpeg-turbo-win64"
    # SIMD needs nasm; without it the portable C code is used.
    local simd=OFF
    command -v nasm >/dev/null && simd=ON
    rm -rf "$build"
    cmake -S "$src" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
        -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF -DWITH_JPEG8=OFF \
        -DWITH_SIMD="$simd" -DCMAKE_POSITION_INDEPENDENT_CODE=ON >/dev/null
    ninja -C "$build" -j"$NUV_JOBS" jpeg-static >/dev/null
    mkdir -p "$prefix/lib" "$prefix/include"
    cp "$build/libjpeg.a" "$prefix/lib/libjpeg.a"
    cp "$src/jpeglib.h" "$src/jmorecfg.h" "$src/jerror.h" "$build/jconfig.h" "$prefix/include/"
    echo "build-win-deps: libjpeg-turbo built into $prefix"
}

# build_cmake_static NAME SOURCE PREFIX [cmake options...] - configures, builds and installs a static library.
build_cmake_static() {
    local name="$1" src="$2" prefix="$3"
    shift 3
    local build="$src_root/build-$name-win64"
    rm -rf "$build"
    cmake -S "$src" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF \
        -DCMAKE_POSITION_INDEPENDENT_CODE=ON "$@" >/dev/null
    ninja -C "$build" -j"$NUV_JOBS" install >/dev/null
}

build_vorbis() {
    local prefix="$deps/vorbis"
    [[ -f "$prefix/lib/libvorbisfile.a" && -f "$prefix/lib/libvorbisenc.a" && -f "$prefix/lib/libogg.a" ]] && return 0
    local ogg vorbis
    ogg=$(fetch_source libogg)
    vorbis=$(fetch_source libvorbis)
    build_cmake_static libogg "$ogg" "$prefix" -DINSTALL_DOCS=OFF
    # The toolchain only searches the mingw root: libogg is named by its files.
    build_cmake_static libvorbis "$vorbis" "$prefix" -DOGG_INCLUDE_DIR="$prefix/include" \
        -DOGG_LIBRARY="$prefix/lib/libogg.a"
    echo "build-win-deps: libogg and libvorbis built into $prefix"
}

build_libjpeg
build_vorbis
