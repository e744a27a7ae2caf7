#!/usr/bin/env bash
# Installs what is missing, builds the project (Release) and runs its main job.
# Until the screensaver host exists the main job is nuvtool on a sample: a copy of the engine
# sources is packed into a RAR 2.0 archive, which is then listed, tested, extracted and compared
# with the originals (and checked by lsar, a program we did not write, when it is installed).
# Usage: scripts/run.sh        Build folder: build/release (NUV_BUILD_DIR overrides it).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
cd "$NUV_ROOT"

bash scripts/install-deps.sh

build="${NUV_BUILD_DIR:-build/release}"
nuv_configure "$build" -DCMAKE_BUILD_TYPE=Release -DNUV_BUILD_TESTS=OFF
ninja -C "$build" -j"$NUV_JOBS"

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
