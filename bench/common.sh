# shellcheck shell=bash
# Helpers the benchmark scripts share; sourced, not run. Each script sets `bench` to its own
# name (for messages) before sourcing this.
: "${bench:?set bench to the name of the script before sourcing common.sh}"

# bench_need DIR FILE...: stops (status 2) naming the first FILE missing under DIR; the hint
# after the files says how to get them.
bench_need() {
    local dir=$1 hint=$2 f
    shift 2
    for f in "$@"; do
        [[ -e $dir/$f ]] || { echo "$bench: $dir/$f is missing ($hint)" >&2; exit 2; }
    done
}

# bench_in_display "$@": runs the script again inside one 800 x 600 virtual display (Xvfb) for the
# whole run, unless it already is there. Returns only inside it.
bench_in_display() {
    [[ ${NUV_BENCH_DISPLAY:-} == "$bench" ]] && return 0
    command -v xvfb-run >/dev/null || { echo "$bench: xvfb-run is missing (Debian package xvfb)" >&2; exit 2; }
    NUV_BENCH_DISPLAY=$bench exec xvfb-run -a -s "-screen 0 800x600x24 -noreset" "$0" "$@"
}

# median: the median of the numbers on standard input, one a line.
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
