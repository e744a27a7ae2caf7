#!/usr/bin/env bash
# Installs what is missing, builds the project (Release) and runs its main job: the screensaver
# on its embedded winter scene.
#   On a desktop (DISPLAY or WAYLAND_DISPLAY set) it runs full screen until a key or a mouse
#   button ends it, as the system would start it ("halvane /s").
#   Without a display it runs for a few seconds on a virtual display (Xvfb), saves a picture of
#   what it drew and prints where that picture and the log are.
# Usage: scripts/run.sh        Build folder: build/release (NUV_BUILD_DIR overrides it).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
cd "$NUV_ROOT"

bash scripts/install-deps.sh

build="${NUV_BUILD_DIR:-build/release}"
nuv_configure "$build" -DCMAKE_BUILD_TYPE=Release -DNUV_BUILD_TESTS=OFF
ninja -C "$build" -j"$NUV_JOBS"

halvane="$build/app/halvane"
log="${XDG_DATA_HOME:-$HOME/.local/share}/Quorvel Studio/NuvLog.txt"
if [[ -x "$halvane" ]]; then
    if [[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]]; then
        echo "== Halvane 3D Screensaver, full screen: press a key or a mouse button to end it"
        "$halvane" /s
        echo "== the log of the run: $log"
        exit 0
    fi
    shot="$(realpath "$build")/screenshot.png"
    seconds="${NUV_RUN_SECONDS:-12}"
    echo "== no display here: headless picture mode. The screensaver runs for $seconds s on a virtual"
    echo "   1024x768 display (Xvfb) that nobody sees, and a picture of what it drew is saved."
    rm -f "$shot"
    # The screensaver in the background, a picture of the screen near the end, then the same
    # ending a user's key press would give it: a termination request, handled like a close.
    status=0
    xvfb-run -a -s "-screen 0 1024x768x24 -noreset" bash -c '
        "$1" /s & pid=$!
        sleep "$2"
        import -window root "$3" || true
        kill -TERM "$pid" 2>/dev/null
        wait "$pid"' _ "$(realpath "$halvane")" "$seconds" "$shot" || status=$?
    echo "== the screensaver ended with status $status"
    [[ -f "$shot" ]] && echo "== what it drew: $shot"
    echo "== the log of the run: $log"
    tail -n 5 "$log" 2>/dev/null || true
    exit 0
fi

echo "run.sh: the screensaver was not built (no SDL2/OpenGL here?); showing nuvtool instead."
nuvtool="$(find "$build" -path "$build/CMakeFiles" -prune -o -type f -name nuvtool -perm -u+x -print -quit)"
if [[ -z "$nuvtool" ]]; then
    echo
    echo "run.sh: the build succeeded, but it has no nuvtool yet (tools/ builds nothing): nothing to run."
    exit 0
fi

sample="$build/sample"
rm -rf "$sample"
mkdir -p "$sample"
# A snapshot of the engine's sources, so that edits made meanwhile cannot confuse the comparison.
cp -r engine "$sample/input"
archive="$sample/engine-sources.rar"
count=$(find "$sample/input" -type f | wc -l)
bytes=$(find "$sample/input" -type f -exec cat {} + | wc -c)
echo
echo "== nuvtool rar pack: $count files ($bytes bytes) of engine/ into $archive"
"$nuvtool" rar pack "$archive" "$sample/input"
echo "== nuvtool rar list"
"$nuvtool" rar list "$archive"
echo "== nuvtool rar test"
"$nuvtool" rar test "$archive"
echo "== nuvtool rar extract"
"$nuvtool" rar extract "$archive" "$sample/extracted"
diff -r "$sample/input" "$sample/extracted"
echo "== all $count files came back unchanged; the archive holds them in $(stat -c %s "$archive") bytes"
if command -v lsar >/dev/null; then
    echo "== lsar, a program we did not write, checks every entry of the same archive:"
    lsar -t "$archive" | tail -n 1
fi
