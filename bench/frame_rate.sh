#!/usr/bin/env bash
# Frames per second of the real screensaver (its shipped scene, full screen on an 800 x 600 virtual
# display, Xvfb with Mesa's software rasteriser), counted from outside the program: a preloaded
# library (bench/SwapClock.cpp) notes the time of every buffer swap. Configurations take turns,
# round by round, so that a loaded machine slows all of them alike: every option on, each of
# reflections, shadows, snow and shine off in turn, every option off. The camera shots follow the
# program's random numbers: every run of round N starts them from seed N, so the runs of a round
# start alike and the rounds differ (frame timing still moves later picks a little, so figures to
# quote count over several shots, 30 s or more). Each run skips SKIP
# seconds after its first frame of the scene, then counts frames for SECONDS. Prints per
# configuration the median frames/s (and the rounds' lowest and highest), the start-up, the
# process's CPU time per frame (all its threads; on a shared, busy machine a steadier measure of
# the work than frames/s), the time per frame the program waited inside the buffer swap, and the
# frame-time ratio all-on / all-off.
#   Start-up: from exec to the swap of the first frame of the scene (the second swap: the first
#   shows the loading screen), and the same without the time the program's main thread slept in
#   between (its fixed pause after caching the textures).
#
#   bench/frame_rate.sh BUILD_DIR [ROUNDS [SECONDS [SKIP]]]
#   (BUILD_DIR configured with -DNUV_BUILD_BENCH=ON; defaults: 3 rounds, 10 s counted after 4 s)
#   NUV_FRAME_CONFIGS="all-on all-off" picks configurations; NUV_FRAME_OTHER=BUILD_DIR adds the
#   configurations again for a second build (say, main before a change), as "NAME@other".
set -euo pipefail

build=$(realpath "${1:?usage: frame_rate.sh BUILD_DIR [ROUNDS [SECONDS [SKIP]]]}")
rounds=${2:-3}
seconds=${3:-10}
skip=${4:-4}
other=${NUV_FRAME_OTHER:+$(realpath "$NUV_FRAME_OTHER")}

bench=frame_rate
# shellcheck source=bench/common.sh
source "$(dirname "$0")/common.sh"
for b in "$build" ${other:+"$other"}; do
    bench_need "$b" "build with -DNUV_BUILD_BENCH=ON" app/halvane bench/libswap_clock.so
done
# One virtual display for the whole run; the program takes its desktop mode, 800 x 600.
bench_in_display "$@"

declare -A options=(
    [all-on]="--reflections --shadows --snow --shine"
    [no-reflections]="--no-reflections --shadows --snow --shine"
    [no-shadows]="--reflections --no-shadows --snow --shine"
    [no-snow]="--reflections --shadows --no-snow --shine"
    [no-shine]="--reflections --shadows --snow --no-shine"
    [all-off]="--no-reflections --no-shadows --no-snow --no-shine"
)
read -r -a configs <<<"${NUV_FRAME_CONFIGS:-all-on no-reflections no-shadows no-snow no-shine all-off}"
runs=()
for c in "${configs[@]}"; do
    [[ -n ${options[$c]:-} ]] || { echo "frame_rate: unknown configuration $c" >&2; exit 2; }
    runs+=("$c")
    [[ -n $other ]] && runs+=("$c@other")
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A home of its own: the stored settings are the defaults, the log stays out of the user's.
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_DATA_HOME=$work/home/.local/share
mkdir -p "$HOME"

# One run: prints "FPS STARTUP STARTUP_WITHOUT_SLEEP".
run_one() {
    local dir=$1 opts=$2 round=$3 clock=$work/swaps.txt
    rm -f "$clock"
    : >"$clock"
    # shellcheck disable=SC2086
    SWAP_CLOCK_FILE=$clock SWAP_CLOCK_SEED=$round LD_PRELOAD=$dir/bench/libswap_clock.so \
        bash -c 'echo "exec $EPOCHREALTIME" >>"$1"; shift; exec "$@"' _ "$clock" \
        "$dir/app/halvane" /s --no-music --no-effects --no-clock --no-fps $opts >/dev/null 2>&1 &
    local pid=$! waited=0
    # The first frame of the scene, then the stretch that is skipped and the one that is counted.
    until (($(grep -c '^swap' "$clock") >= 2)); do
        sleep 0.2
        waited=$((waited + 1))
        if ((waited > 300)) || ! kill -0 "$pid" 2>/dev/null; then
            kill -TERM "$pid" 2>/dev/null || true
            wait "$pid" 2>/dev/null || true
            echo "frame_rate: no frame of the scene within a minute ($opts)" >&2
            return 1
        fi
    done
    # The process's CPU time (all its threads: the rasteriser's too) over the counted stretch.
    sleep "$skip"
    echo "cpu $EPOCHREALTIME $(cpu_ticks "$pid")" >>"$clock"
    sleep "$seconds"
    echo "cpu $EPOCHREALTIME $(cpu_ticks "$pid")" >>"$clock"
    kill -TERM "$pid"
    wait "$pid" || true
    awk -v tick="$(getconf CLK_TCK)" '
        $1 == "exec" { exec = $2 }
        $1 == "swap" { swaps[++n] = $2; called[n] = $3 }
        $1 == "sleep" && n == 1 { slept += $3 - $2 }
        $1 == "cpu" { at[++c] = $2; ticks[c] = $3 }
        END {
            scene = swaps[2]; from = at[1]; to = at[2]
            for (i = 2; i <= n; ++i) if (swaps[i] >= from && swaps[i] <= to) {
                if (!first) first = swaps[i]
                last = swaps[i]; ++count; inswap += swaps[i] - called[i]
            }
            fps = (count > 1) ? (count - 1) / (last - first) : 0
            cpu = (count > 0) ? (ticks[2] - ticks[1]) * 1000.0 / tick / count : 0
            printf "%.2f %.3f %.3f %.1f %.1f\n", fps, scene - exec, scene - exec - slept, cpu, (count > 0) ? inswap * 1000 / count : 0
        }' "$clock"
}

# User and system time of a process and its threads, in clock ticks.
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat" 2>/dev/null || echo 0; }


for r in "${runs[@]}"; do : >"$work/$r.txt"; done
for ((i = 1; i <= rounds; ++i)); do
    for r in "${runs[@]}"; do
        dir=$build
        [[ $r == *@other ]] && dir=$other
        result=$(run_one "$dir" "${options[${r%@other}]}" "$i")
        echo "$result" >>"$work/$r.txt"
        echo "round $i/$rounds $r: $result" >&2
    done
done

printf '%-22s %8s %8s %8s %10s %10s %12s %12s\n' configuration "frames/s" lowest highest "start s" "w/o sleep" "cpu ms/frame" "swap ms"
declare -A fps cpu
for r in "${runs[@]}"; do
    fps[$r]=$(cut -d' ' -f1 "$work/$r.txt" | median)
    low=$(cut -d' ' -f1 "$work/$r.txt" | sort -g | head -n1)
    high=$(cut -d' ' -f1 "$work/$r.txt" | sort -g | tail -n1)
    start=$(cut -d' ' -f2 "$work/$r.txt" | median)
    bare=$(cut -d' ' -f3 "$work/$r.txt" | median)
    cpu[$r]=$(cut -d' ' -f4 "$work/$r.txt" | median)
    swap=$(cut -d' ' -f5 "$work/$r.txt" | median)
    printf '%-22s %8.2f %8.2f %8.2f %10.3f %10.3f %12.1f %12.1f\n' "$r" "${fps[$r]}" "$low" "$high" "$start" "$bare" "${cpu[$r]}" "$swap"
done
echo "(medians of $rounds rounds; frames counted for $seconds s after $skip s; 800 x 600, Xvfb, $(sed -n 's/.*Vendor \[\(.*\)\].*/\1/p' "$XDG_DATA_HOME/Quorvel Studio/NuvLog.txt" 2>/dev/null | tail -n1))"
for suffix in "" ${other:+@other}; do
    on=${fps[all-on$suffix]:-} off=${fps[all-off$suffix]:-}
    if [[ -n $on && -n $off ]]; then
        awk -v on="$on" -v off="$off" -v s="$suffix" -v con="${cpu[all-on$suffix]}" -v coff="${cpu[all-off$suffix]}" \
            'BEGIN { if (on > 0) printf "frame time all-on / all-off%s: %.2f (CPU time per frame: %.2f)\n", s, off / on,
                     (coff > 0 ? con / coff : 0) }'
    fi
done
