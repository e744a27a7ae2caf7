#!/usr/bin/env bash
# The shipped scene drawn by nuvtool.exe through Direct3D 9 under Wine against the native nuvtool's
# OpenGL picture of the same camera and time: small thumbnails (the snow differs between runs)
# must be close, and the shots must differ from each other by far more.
#   render_d3d9_compare.sh WINE_RUN PREFIX NUVTOOL_EXE NATIVE_BUILD_DIR
# Exits 77 (skipped) when the native build with its nuvtool and media archive is not there.
set -euo pipefail
wine_run="$1" prefix="$2" exe="$3" native="$4"
native_tool="$native/tools/nuvtool"
media="$native/content/Media.rar2"
if [[ ! -x "$native_tool" || ! -f "$media" ]]; then
    echo "no native nuvtool and media archive in $native: skipped"
    exit 77
fi
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cameras=("Camera Snowman" "Camera Garlands" "Camera Skater")
for camera in "${cameras[@]}"; do
    name="${camera// /_}"
    mkdir -p "$work/gl_$name" "$work/dx_$name"
    if ! "$native_tool" render Main.STR --media "$media" --camera "$camera" --size 320x240 \
        --out "$work/gl_$name" >"$work/log" 2>&1; then
        cat "$work/log"
        exit 1
    fi
    if ! "$wine_run" --prefix "$prefix" "$exe" render Main.STR --media "$media" --camera "$camera" --size 320x240 \
        --out "Z:$work/dx_$name" >"$work/log" 2>&1; then
        cat "$work/log"
        exit 1
    fi
    for kind in gl dx; do
        convert "$work/${kind}_$name/frame_0000.tga" -resize '40x30!' "$work/${kind}_$name.png"
    done
done
# Normalised RMSE of two thumbnails, in thousandths.
distance() {
    # compare exits 1 for pictures that differ at all.
    { compare -metric RMSE "$1" "$2" null: 2>&1 || true; } | sed -E 's/.*\(([0-9.e-]+)\).*/\1/' | awk '{ printf "%d", $1 * 1000 }'
}
status=0
for camera in "${cameras[@]}"; do
    name="${camera// /_}"
    same=$(distance "$work/dx_$name.png" "$work/gl_$name.png")
    echo "$camera: Direct3D 9 against OpenGL $same/1000"
    if ((same > 40)); then
        echo "  too far apart (more than 40/1000)"
        status=1
    fi
done
other=$(distance "$work/dx_Camera_Snowman.png" "$work/gl_Camera_Garlands.png")
echo "two different shots: $other/1000"
if ((other < 100)); then
    echo "  the comparison does not tell shots apart"
    status=1
fi
exit $status
