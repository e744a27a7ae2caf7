#!/usr/bin/env bash
# Runs the libFuzzer targets of a fuzz build for a bounded time each.
#   scripts/fuzz.sh BUILD_DIR [--seconds N] [--merge] [NAME...]
# BUILD_DIR was configured with clang and -DNUV_BUILD_FUZZ=ON and built (target nuv_fuzzers).
# Each target starts from fuzz/corpus/NAME (and fuzz/NAME.dict when present). New inputs go to a
# temporary folder, so a run leaves the tree clean; --merge adds the ones that reach new code to
# fuzz/corpus/NAME for committing. A crash, leak, timeout or sanitizer report fails the run; the
# input that caused it is kept in BUILD_DIR/fuzz-artifacts/. Targets run NUV_FUZZ_JOBS (default: one
# per core) at a time.
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

# Every sanitizer report ends the run as a failure (the build makes them fatal as well).
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
export ASAN_OPTIONS="${ASAN_OPTIONS:-halt_on_error=1}"

artifacts="$build/fuzz-artifacts"
mkdir -p "$artifacts"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT

# fuzz_one NAME - runs one target; its verdict goes to $scratch/NAME.result, its output to a log.
fuzz_one() {
    local name="$1" exe
    local result="$scratch/$name.result"
    exe="$(cat "$build/fuzzers/$name.path" 2>/dev/null)"
    if [[ ! -x "$exe" ]]; then
        echo "fuzz: $name FAILED (not built: $build/fuzzers/$name.path)" >"$result"
        return 1
    fi
    local seeds="$NUV_ROOT/fuzz/corpus/$name"
    local found="$scratch/$name"
    mkdir -p "$found"
    local args=(-max_total_time="$seconds" -timeout=20 -rss_limit_mb=2560 -print_final_stats=1
        -artifact_prefix="$artifacts/$name-")
    [[ -f "$NUV_ROOT/fuzz/$name.dict" ]] && args+=(-dict="$NUV_ROOT/fuzz/$name.dict")
    local dirs=("$found")
    [[ -d "$seeds" ]] && dirs+=("$seeds")
    local log="$build/fuzz-$name.log"
    if ! "$exe" "${args[@]}" "${dirs[@]}" >"$log" 2>&1; then
        {
            echo "fuzz: $name FAILED (log $log); last lines:"
            tail -n 40 "$log" | sed 's/^/    /'
        } >"$result"
        return 1
    fi
    local runs
    runs=$(grep -oE 'stat::number_of_executed_units: *[0-9]+' "$log" | grep -oE '[0-9]+$' || echo '?')
    echo "fuzz: $name passed ($runs inputs in ${seconds}s, $(ls "$found" | wc -l) new, log $log)" >"$result"
    if ((merge)); then
        mkdir -p "$seeds"
        "$exe" -merge=1 "$seeds" "$found" >>"$log" 2>&1 &&
            echo "fuzz: $name corpus now $(ls "$seeds" | wc -l) inputs in fuzz/corpus/$name" >>"$result"
    fi
    return 0
}

# As many targets at a time as there are cores.
jobs="${NUV_FUZZ_JOBS:-$NUV_JOBS}"
echo "fuzz: ${#names[@]} targets, ${seconds}s each, $jobs at a time"
running=0
for name in "${names[@]}"; do
    if ((running >= jobs)); then
        wait -n || true
        running=$((running - 1))
    fi
    fuzz_one "$name" &
    running=$((running + 1))
done
wait || true

passed=0
failed=0
for name in "${names[@]}"; do
    cat "$scratch/$name.result"
    if grep -q "^fuzz: $name passed" "$scratch/$name.result"; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
    fi
done

echo "$passed passed, $failed failed"
((failed == 0))
