#!/usr/bin/env bash
# Runs the libFuzzer targets of a fuzz build for a bounded time each.
#   scripts/fuzz.sh BUILD_DIR [--seconds N] [--merge] [NAME...]
# BUILD_DIR was configured with clang and -DNUV_BUILD_FUZZ=ON and built (target nuv_fuzzers).
# Each target starts from fuzz/corpus/NAME (and fuzz/NAME.dict when present). New inputs go to a
# temporary folder, so a run leaves the tree clean; --merge adds the ones that reach new code to
# fuzz/corpus/NAME for committing. A crash, leak, timeout or sanitizer report fails the run; the
# input that caused it is kept in BUILD_DIR/fuzz-artifacts/.
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

if (($# == 0)); then
    echo "usage: scripts/fuzz.sh BUILD_DIR [--seconds N] [--merge] [NAME...]" >&2
    exit 2
fi
build="$(cd "$1" && pwd)" || exit 2
shift
seconds="${NUV_FUZZ_SECONDS:-30}"
merge=0
names=()
while (($#)); do
    case "$1" in
    --seconds) seconds="$2"; shift 2 ;;
    --merge) merge=1; shift ;;
    *) names+=("$1"); shift ;;
    esac
done
if ((${#names[@]} == 0)); then
    for f in "$build"/fuzzers/*.path; do
        [[ -e "$f" ]] && names+=("$(basename "$f" .path)")
    done
fi
if ((${#names[@]} == 0)); then
    echo "fuzz: no fuzz targets in $build"
    echo "0 passed, 0 failed"
    exit 0
fi

artifacts="$build/fuzz-artifacts"
mkdir -p "$artifacts"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT

passed=0
failed=0
for name in "${names[@]}"; do
    exe="$(cat "$build/fuzzers/$name.path" 2>/dev/null)"
    if [[ ! -x "$exe" ]]; then
        echo "fuzz: $name FAILED (not built: $build/fuzzers/$name.path)"
        failed=$((failed + 1))
        continue
    fi
    seeds="$NUV_ROOT/fuzz/corpus/$name"
    found="$scratch/$name"
    mkdir -p "$found"
    args=(-max_total_time="$seconds" -timeout=20 -rss_limit_mb=2560 -print_final_stats=1
        -artifact_prefix="$artifacts/$name-")
    [[ -f "$NUV_ROOT/fuzz/$name.dict" ]] && args+=(-dict="$NUV_ROOT/fuzz/$name.dict")
    dirs=("$found")
    [[ -d "$seeds" ]] && dirs+=("$seeds")
    log="$build/fuzz-$name.log"
    if "$exe" "${args[@]}" "${dirs[@]}" >"$log" 2>&1; then
        runs=$(grep -oE 'stat::number_of_executed_units: *[0-9]+' "$log" | grep -oE '[0-9]+$' || echo '?')
        echo "fuzz: $name passed ($runs inputs in ${seconds}s, $(ls "$found" | wc -l) new, log $log)"
        passed=$((passed + 1))
        if ((merge)); then
            mkdir -p "$seeds"
            "$exe" -merge=1 "$seeds" "$found" >>"$log" 2>&1 &&
                echo "fuzz: $name corpus now $(ls "$seeds" | wc -l) inputs in fuzz/corpus/$name"
        fi
    else
        echo "fuzz: $name FAILED (log $log); last lines:"
        tail -n 40 "$log" | sed 's/^/    /'
        failed=$((failed + 1))
    fi
done

echo "$passed passed, $failed failed"
((failed == 0))
