#!/usr/bin/env bash
# Installs the Debian 12 packages that building and testing the project need.
# Fast when everything is present: nothing is fetched unless a package is missing.
# Usage: scripts/install-deps.sh        (as root, or through sudo)
set -euo pipefail

# The one list of packages. Add new dependencies here, grouped by what needs them.
PACKAGES=(
    # toolchain
    build-essential cmake ninja-build ccache
    # clang for the libFuzzer targets, clang-format for the sources
    clang libclang-rt-14-dev clang-format
    # tests and benchmarks
    googletest libgtest-dev libbenchmark-dev
    # image codecs
    libjpeg62-turbo-dev
    # our sound library: OpenAL Soft output, Ogg Vorbis decoding (and encoding in tests)
    libopenal-dev libvorbis-dev libogg-dev
    # Windows cross build and its tests under Wine
    mingw-w64 g++-mingw-w64-x86-64-posix wine wine64
    # the Windows sound test: Wine plays through ALSA, whose file output records it
    libasound2
    # witnesses in tests: archives, images, sound
    unar imagemagick sox
    # the OpenGL renderer: SDL2 windows, GL through libepoxy, Mesa's software rasteriser
    libsdl2-dev libepoxy-dev libgl1-mesa-dri libegl-mesa0
    # the settings and About dialogs
    libgtk-3-dev
    # desktop tests under a virtual display
    xvfb xauth xdotool x11-utils
    # display-mode switching: an X server with a dummy screen that can change its mode, and xrandr
    xserver-xorg-core xserver-xorg-video-dummy x11-xserver-utils
    # the program as a hack of the real XScreenSaver daemon; its Debian package (CPack, dpkg-shlibdeps)
    xscreensaver dpkg-dev file man-db
)

# One dpkg-query for the whole list; unknown packages simply do not appear in its output.
declare -A installed=()
while read -r name state; do
    [[ "$state" == "install ok installed" ]] && installed[${name%%:*}]=1
done < <(dpkg-query -W -f='${Package} ${Status}\n' "${PACKAGES[@]}" 2>/dev/null || true)
missing=()
for pkg in "${PACKAGES[@]}"; do
    [[ -n "${installed[$pkg]:-}" ]] || missing+=("$pkg")
done

if ((${#missing[@]} == 0)); then
    echo "install-deps: all ${#PACKAGES[@]} packages present"
    exit 0
fi

echo "install-deps: installing ${missing[*]}"
SUDO=()
if [[ $(id -u) -ne 0 ]]; then
    if ! command -v sudo >/dev/null; then
        echo "install-deps: not root and no sudo; install as root: apt-get install ${missing[*]}" >&2
        exit 1
    fi
    SUDO=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${SUDO[@]}" apt-get update -q
"${SUDO[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}" </dev/null
