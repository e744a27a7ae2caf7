#!/usr/bin/env bash
# Who runs while a frame is made: the program's own thread, Mesa's rasteriser threads, or both.
# Draws one camera shot of the shipped scene through nuvtool render (800 x 600 under Xvfb,
# seed 1, warm-up, no read-back) while the kernel's scheduler events are recorded (perf sched),
# then splits the second half of the run (the steady frames) by which of the process's threads
# were running on the cores at each moment. On a software rasteriser that finishes every render
# target before the drawing call returns, "program only" and "rasterisers only" take turns and
# "program and rasteriser" stays near zero: every millisecond of the program's thread (its update,
# the driver's vertex work and binning) is then a millisecond of the frame.
#
#   bench/thread_overlap.sh BUILD_DIR [SHOT [FRAMES]]       (defaults: Pond, 200 frames)
#   SHOT is a camera name without "Camera ". Needs perf (Debian package linux-perf) and the right
#   to record scheduler events (root, or kernel.perf_event_paranoid at most 1).
set -euo pipefail

build=$(realpath "${1:?usage: thread_overlap.sh BUILD_DIR [SHOT [FRAMES]]}")
shot=${2:-Pond}
frames=${3:-200}

bench=thread_overlap
# shellcheck source=bench/common.sh
source "$(dirname "$0")/common.sh"
command -v perf >/dev/null || { echo "thread_overlap: perf is missing (Debian package linux-perf)" >&2; exit 2; }
bench_need "$build" "build the tools and the content" tools/nuvtool content/Media.rar2
bench_in_display "$@"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

if ! perf sched record -o "$work/sched.data" -- "$build/tools/nuvtool" render Main.STR \
    --media "$build/content/Media.rar2" --camera "Camera $shot" --warm-up --seed 1 \
    --frames "$frames" --format none >"$work/render.txt" 2>&1; then
    echo "thread_overlap: recording failed (perf's rights, or the render):" >&2
    tail -n 5 "$work/render.txt" >&2
    exit 1
fi
perf script -i "$work/sched.data" -F time,cpu,event,trace 2>/dev/null | grep 'sched:sched_switch' >"$work/switches.txt" || true
[[ -s $work/switches.txt ]] || { echo "thread_overlap: no scheduler events were recorded" >&2; exit 1; }

# Each line: "[CPU] TIME: sched:sched_switch: prev_comm=A prev_pid=.. ... ==> next_comm=B next_pid=N ...".
# The task named after next_comm runs on CPU from TIME on; idle is pid 0.
awk '
function kind(comm) {
    if (comm == "nuvtool") return "program"
    if (comm ~ /^llvmpipe-/) return "rasteriser"
    return ""
}
function state(   c, p, r) {
    p = 0; r = 0
    for (c in running) { if (running[c] == "program") p++; else if (running[c] == "rasteriser") r++ }
    if (p && r) return "program and rasteriser"
    if (p) return "program only"
    if (r >= 2) return "rasterisers only (two or more)"
    if (r == 1) return "one rasteriser only"
    return "neither"
}
{
    cpu = $1; gsub(/[\[\]]/, "", cpu)
    t = $2; sub(/:$/, "", t)
    next_comm = ""; next_pid = -1
    for (i = 3; i <= NF; i++) {
        if ($i ~ /^next_comm=/) { next_comm = substr($i, 11); j = i + 1
            # a name with spaces runs up to next_pid=
            while (j <= NF && $j !~ /^next_pid=/) { next_comm = next_comm " " $j; j++ }
        }
        if ($i ~ /^next_pid=/) next_pid = substr($i, 10) + 0
    }
    n++; times[n] = t; cpus[n] = cpu; kinds[n] = (next_pid == 0) ? "" : kind(next_comm)
}
END {
    if (n < 2) exit 1
    start = times[1] + (times[n] - times[1]) / 2
    for (i = 1; i <= n; i++) {
        if (i > 1 && times[i] > start) {
            from = (last > start) ? last : start
            share[state()] += times[i] - from
        }
        running[cpus[i]] = kinds[i]
        last = times[i]
    }
    for (s in share) total += share[s]
    split("program only|rasterisers only (two or more)|one rasteriser only|program and rasteriser|neither", order, "|")
    for (k = 1; k <= 5; k++) printf "%-32s %6.1f %%\n", order[k], 100 * share[order[k]] / total
    printf "(%.2f s of steady frames; scheduler events on every core)\n", total
}' "$work/switches.txt"
grep '^per frame after the first' "$work/render.txt" || true
