#!/usr/bin/env bash
# Installs what is missing, builds the project (Release) and runs its main job.
# Until the screensaver host exists the main job is nuvtool on a sample: the repository's own engine
# sources are packed into a RAR 2.0 archive, which is then listed, tested, extracted and compared
# with the originals (and listed by lsar, a program we did not write, when it is installed).
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
mkdir -p "$sample/extracted"
archive="$sample/engine-sources.rar"
# Relative names inside the archive: pack from the repository root.
mapfile -t files < <(git ls-files engine 2>/dev/null || find engine -type f | sort)
echo
echo "== nuvtool rar pack: ${#files[@]} files of engine/ into $archive"
"$nuvtool" rar pack "$archive" "${files[@]}"
echo "== nuvtool rar list"
"$nuvtool" rar list "$archive"
echo "== nuvtool rar test"
"$nuvtool" rar test "$archive"
echo "== nuvtool rar extract"
"$nuvtool" rar extract "$archive" "$sample/extracted"
for f in "${files[@]}"; do
    cmp -s "$f" "$sample/extracted/$f" || { echo "run.sh: $f differs after packing and extracting" >&2; exit 1; }
done
echo "== all ${#files[@]} files came back unchanged ($(stat -c %s "$archive") bytes packed from $(cat "${files[@]}" | wc -c))"
if command -v lsar >/dev/null; then
    echo "== lsar (a program we did not write) reads the same archive:"
    lsar "$archive"
fi
