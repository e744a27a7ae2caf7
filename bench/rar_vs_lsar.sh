#!/usr/bin/env bash
# Whole-process speed of "nuvtool rar test" against "lsar -t" on three archives our own packer
# writes: 20 MiB of text, 16 MiB of machine-code-like data (LZ) and 10 MiB of 16-bit stereo
# PCM (audio coding, 4 channels). Each sample is the CPU (user + system) and wall time of
# BATCH back-to-back runs of one program, measured with /usr/bin/time; the programs take turns
# sample by sample, so that a loaded machine slows all of them alike. Prints the medians and
# the ratios ours/lsar. OTHER_BUILD adds a second nuvtool (say, an older build) to the turns.
#
#   bench/rar_vs_lsar.sh BUILD_DIR [ROUNDS [BATCH [OTHER_BUILD]]]
#   (BUILD_DIR configured with -DNUV_BUILD_BENCH=ON; defaults: 9 rounds of 3 runs)
set -euo pipefail

build=${1:?usage: rar_vs_lsar.sh BUILD_DIR [ROUNDS [BATCH [OTHER_BUILD]]]}
rounds=${2:-9}
batch=${3:-3}
other=${4:-}
inputs=$build/bench/rar_vs_lsar
command -v lsar >/dev/null || { echo "rar_vs_lsar: lsar is missing (Debian package unar)" >&2; exit 2; }
[[ -x /usr/bin/time ]] || { echo "rar_vs_lsar: /usr/bin/time is missing (Debian package time)" >&2; exit 2; }

programs=(ours lsar)
declare -A command=([ours]="$build/tools/nuvtool rar test" [lsar]="lsar -t")
if [[ -n $other ]]; then
    programs+=(other)
    command[other]="$other/tools/nuvtool rar test"
fi

mkdir -p "$inputs"
"$build/bench/bench_rar_decode" --write-inputs "$inputs"
for kind in text binary pcm; do
    options=()
    [[ $kind == pcm ]] && options=(--audio --channels=4)
    rm -f "$inputs/$kind.rar"
    "$build/tools/nuvtool" rar pack "$inputs/$kind.rar" "$inputs/$kind" --time=0 "${options[@]}" >/dev/null
    # Every program must accept the archive before any is timed.
    for p in "${programs[@]}"; do
        ${command[$p]} "$inputs/$kind.rar" >/dev/null || { echo "rar_vs_lsar: $p fails on $kind.rar" >&2; exit 1; }
    done
done

bench=rar_vs_lsar
# shellcheck source=bench/common.sh
source "$(dirname "$0")/common.sh"

header=$(printf '%-8s' archive)
for p in "${programs[@]}"; do header+=$(printf ' %9s %9s' "$p cpu" "$p wall"); done
header+=$(printf ' %9s %9s' "cpu ratio" "wall ratio")
[[ -n $other ]] && header+=$(printf ' %9s' "other cpu")
echo "$header  (seconds per run, medians of $rounds samples of $batch runs; ratios ours/lsar)"
for kind in text binary pcm; do
    archive=$inputs/$kind.rar
    for p in "${programs[@]}"; do : >"$inputs/$p.txt"; done
    for ((i = 0; i < rounds; ++i)); do
        for p in "${programs[@]}"; do
            /usr/bin/time -f '%U %S %e' -o "$inputs/time.txt" \
                sh -c 'n=$1; shift; while [ "$n" -gt 0 ]; do "$@" >/dev/null || exit 1; n=$((n - 1)); done' \
                sh "$batch" ${command[$p]} "$archive"
            awk -v b="$batch" '{ printf "%.4f %.4f\n", ($1 + $2) / b, $3 / b }' "$inputs/time.txt" >>"$inputs/$p.txt"
        done
    done
    line=$(printf '%-8s' "$kind")
    declare -A cpu wall
    for p in "${programs[@]}"; do
        cpu[$p]=$(cut -d' ' -f1 "$inputs/$p.txt" | median)
        wall[$p]=$(cut -d' ' -f2 "$inputs/$p.txt" | median)
        line+=$(printf ' %9.3f %9.3f' "${cpu[$p]}" "${wall[$p]}")
    done
    line+=$(awk -v a="${cpu[ours]}" -v b="${cpu[lsar]}" -v c="${wall[ours]}" -v d="${wall[lsar]}" \
        'BEGIN { printf " %9.3f %9.3f", a / b, c / d }')
    [[ -n $other ]] && line+=$(awk -v a="${cpu[other]}" -v b="${cpu[lsar]}" 'BEGIN { printf " %9.3f", a / b }')
    echo "$line"
done
