#!/usr/bin/env bash
# Frames per second of the shipped scene drawn offscreen at 800 x 600 (Xvfb, Mesa's software
# rasteriser) through nuvtool render, for a fixed set of camera shots: the same shots, seed and
# steps every run, so that two builds or two configurations see the same pictures. The screensaver
# itself picks its shots at random (bench/frame_rate.sh counts its frames from outside), which
# makes two of its runs differ by more than most changes do; this one is for comparing.
# Configurations take turns shot by shot, round by round, so that a loaded machine slows all of
# them alike: every option on, each of reflections, shadows, snow and shine off in turn, every
# option off. Each run draws one frame that makes the device objects, then FRAMES timed frames
# (update, drawing and presenting; no picture is read back). Prints per configuration the median
# over the rounds of its frames/s over all the shots (frames / time), the rounds' lowest and
# highest, and each shot's median milliseconds per frame; then the frame-time ratio all-on /
# all-off.
#
#   bench/scene_frames.sh BUILD_DIR [ROUNDS [FRAMES]]      (defaults: 3 rounds of 60 frames)
#   NUV_SCENE_CONFIGS="all-on all-off" picks configurations, NUV_SCENE_SHOTS="Pond High" shots
#   (camera names without "Camera "); NUV_SCENE_OTHER=BUILD_DIR adds the configurations again
#   for a second build (say, main before a change), as "NAME@other".
set -euo pipefail

build=$(realpath "${1:?usage: scene_frames.sh BUILD_DIR [ROUNDS [FRAMES]]}")
rounds=${2:-3}
frames=${3:-60}
other=${NUV_SCENE_OTHER:+$(realpath "$NUV_SCENE_OTHER")}

bench=scene_frames
# shellcheck source=bench/common.sh
source "$(dirname "$0")/common.sh"
for b in "$build" ${other:+"$other"}; do
    bench_need "$b" "build the tools and the content" tools/nuvtool content/Media.rar2
done
bench_in_display "$@"

declare -A options=(
    [all-on]=""
    [no-reflections]="--no-reflections"
    [no-shadows]="--no-shadows"
    [no-snow]="--no-snow"
    [no-shine]="--no-shine"
    [all-off]="--no-reflections --no-shadows --no-snow --no-shine"
)
read -r -a configs <<<"${NUV_SCENE_CONFIGS:-all-on no-reflections no-shadows no-snow no-shine all-off}"
read -r -a shots <<<"${NUV_SCENE_SHOTS:-Pond Ice Skater Snowman Garlands Fire High}"
runs=()
for c in "${configs[@]}"; do
    [[ -n ${options[$c]+set} ]] || { echo "scene_frames: unknown configuration $c" >&2; exit 2; }
    runs+=("$c")
    [[ -n $other ]] && runs+=("$c@other")
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# One run: prints the milliseconds per timed frame.
run_one() {
    local dir=$1 shot=$2 opts=$3 line
    # shellcheck disable=SC2086
    line=$("$dir/tools/nuvtool" render Main.STR --media "$dir/content/Media.rar2" --camera "Camera $shot" \
        --warm-up --seed 1 --frames $((frames + 1)) --format none $opts 2>"$work/stderr") || {
        echo "scene_frames: nuvtool render failed for $shot ($opts):" >&2
        cat "$work/stderr" >&2
        return 1
    }
    sed -n 's/^per frame after the first: \([0-9.]*\) ms drawing, \([0-9.]*\) ms reading.*, \([0-9.]*\) ms presenting$/\1 \2 \3/p' \
        <<<"$line" | awk '{ printf "%.3f\n", $1 + $2 + $3 }'
}

for ((i = 1; i <= rounds; ++i)); do
    for s in "${shots[@]}"; do
        for r in "${runs[@]}"; do
            dir=$build
            [[ $r == *@other ]] && dir=$other
            ms=$(run_one "$dir" "$s" "${options[${r%@other}]}")
            [[ -n $ms ]] || { echo "scene_frames: no time per frame for $s ($r)" >&2; exit 1; }
            echo "$i $s $ms" >>"$work/$r.txt"
            echo "round $i/$rounds $s $r: $ms ms" >&2
        done
    done
done

printf '%-22s %8s %8s %8s' configuration "frames/s" lowest highest
for s in "${shots[@]}"; do printf ' %9s' "$s"; done
printf '\n'
declare -A fps
for r in "${runs[@]}"; do
    # Per round: all the shots' frames over all their time.
    per_round=$(awk '{ t[$1] += $3; n[$1]++ } END { for (k in t) printf "%.3f\n", 1000 * n[k] / t[k] }' "$work/$r.txt")
    fps[$r]=$(median <<<"$per_round")
    printf '%-22s %8.2f %8.2f %8.2f' "$r" "${fps[$r]}" "$(sort -g <<<"$per_round" | head -n1)" \
        "$(sort -g <<<"$per_round" | tail -n1)"
    for s in "${shots[@]}"; do
        printf ' %9.2f' "$(awk -v s="$s" '$2 == s { print $3 }' "$work/$r.txt" | median)"
    done
    printf '\n'
done
echo "(medians of $rounds rounds of $frames frames per shot; shot columns: ms per frame; 800 x 600, Xvfb)"
for suffix in "" ${other:+@other}; do
    on=${fps[all-on$suffix]:-} off=${fps[all-off$suffix]:-}
    if [[ -n $on && -n $off ]]; then
        awk -v on="$on" -v off="$off" -v s="$suffix" \
            'BEGIN { printf "frame time all-on / all-off%s: %.2f (goal: 1.5 or less)\n", s, off / on }'
    fi
done
if [[ -n $other && -n ${fps[all-on]:-} && -n ${fps[all-on@other]:-} ]]; then
    awk -v a="${fps[all-on]}" -v b="${fps[all-on@other]}" \
        'BEGIN { printf "all-on frames/s, this build / the other: %.3f\n", a / b }'
fi
