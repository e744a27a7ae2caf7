#!/usr/bin/env bash
# Installs what is missing, builds and runs every test of the project, in four stages:
#   native  RelWithDebInfo build; every CTest label (unit, render, e2e, oracle); one short pass of each benchmark
#   asan    AddressSanitizer + UndefinedBehaviorSanitizer build; the unit tests
#   wine    Windows cross build (mingw-w64, with libraries from scripts/build-win-deps.sh); its tests under Wine
#   fuzz    clang libFuzzer build; every fuzz target for NUV_FUZZ_SECONDS (default 30) seconds
# Usage: scripts/test.sh [STAGE...]     (all stages when none is named)
# Build folders: build/ci-native, build/ci-asan, build/ci-win, build/ci-fuzz. Exits non-zero when any
# stage fails; the last line counts the tests (and fuzz targets) of all stages.
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
cd "$NUV_ROOT" || exit 1

all_stages=(native asan wine fuzz)
stages=("$@")
((${#stages[@]})) || stages=("${all_stages[@]}")
for s in "${stages[@]}"; do
    [[ " ${all_stages[*]} " == *" $s "* ]] || { echo "test.sh: unknown stage '$s' (${all_stages[*]})" >&2; exit 2; }
done

started=$(date +%s)
bash scripts/install-deps.sh || { echo "test.sh: installing the packages failed"; echo "0 passed, 1 failed"; exit 1; }

# Assertions stay on in the checking builds.
checked_flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_C_FLAGS_RELWITHDEBINFO=-O2 -g"
    "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g")
ctest_flags=(--output-on-failure --no-tests=error --timeout 900 -j"$NUV_JOBS")

# Each stage sets these two counts; a stage that cannot build counts as one failure.
stage_passed=0
stage_failed=0

build_failed() {
    echo "test.sh: $1"
    stage_passed=0
    stage_failed=1
    return 1
}

# run_ninja BUILD_DIR [targets...] - builds, keeping the output to count the compiler's warnings.
# A failed build is reported and counted as one failure; the stage still runs what was built.
stage_warnings=0
run_ninja() {
    local dir="$1"
    shift
    # -k 0: one broken program does not keep the others from being built and tested.
    ninja -C "$dir" -k 0 -j"$NUV_JOBS" "$@" 2>&1 | tee "$dir/build.log"
    local rc=${PIPESTATUS[0]}
    stage_warnings=$(grep -c 'warning:' "$dir/build.log")
    return "$rc"
}

# count_build STATUS - after the tests: a failed build adds one failure to the stage.
count_build() {
    if (($1 != 0)); then
        echo "test.sh: build failed (see above); the tests that did build have run"
        stage_failed=$((stage_failed + 1))
    fi
}

# run_ctest BUILD_DIR [ctest options...] - runs CTest and counts its results.
run_ctest() {
    local dir="$1"
    shift
    local log="$dir/ctest.log"
    (cd "$dir" && ctest "${ctest_flags[@]}" "$@") 2>&1 | tee "$log"
    local rc=${PIPESTATUS[0]}
    local summary total failed
    summary=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
    total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$summary")
    failed=$(sed -E 's/.*, ([0-9]+) tests? failed.*/\1/' <<<"$summary")
    stage_passed=$((${total:-0} - ${failed:-0}))
    stage_failed=${failed:-0}
    if ((rc != 0 && stage_failed == 0)); then
        stage_failed=1 # no tests found, or CTest itself failed
    fi
    return "$rc"
}

stage_native() {
    local dir=build/ci-native
    nuv_configure "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNUV_BUILD_BENCH=ON || build_failed "configure failed" || return
    local built=0
    run_ninja "$dir" || built=1
    run_ctest "$dir"
    local rc=$?
    # One short pass over every benchmark, so that none of them rots: no timing is judged. The
    # frame counter's preloaded library (a .so) is not a program and is left out.
    local bench
    while IFS= read -r bench; do
        if timeout 300 "$bench" --benchmark_min_time=0.001 >"$bench.log" 2>&1; then
            echo "benchmark smoke run: $(basename "$bench") passed"
            stage_passed=$((stage_passed + 1))
        else
            echo "benchmark smoke run: $(basename "$bench") FAILED; last lines of $bench.log:"
            tail -n 20 "$bench.log" | sed 's/^/    /'
            stage_failed=$((stage_failed + 1))
            rc=1
        fi
    done < <(find "$dir/bench" -path '*/CMakeFiles' -prune -o -type f -executable ! -name '*.so' -print 2>/dev/null | sort)
    # The fixed-shot frame benchmark, one shot and two frames: it still parses what nuvtool prints.
    if NUV_SCENE_SHOTS=Pond NUV_SCENE_CONFIGS="all-on all-off" timeout 300 bench/scene_frames.sh "$dir" 1 2 \
        >"$dir/scene_frames.log" 2>&1; then
        echo "benchmark smoke run: scene_frames.sh passed"
        stage_passed=$((stage_passed + 1))
    else
        echo "benchmark smoke run: scene_frames.sh FAILED; last lines of $dir/scene_frames.log:"
        tail -n 20 "$dir/scene_frames.log" | sed 's/^/    /'
        stage_failed=$((stage_failed + 1))
        rc=1
    fi
    count_build "$built"
    ((rc == 0 && built == 0))
}

stage_asan() {
    local dir=build/ci-asan
    nuv_configure "$dir" "${checked_flags[@]}" -DNUV_SANITIZE=ON || build_failed "configure failed" || return
    # Only what the unit tests need: the rest of the tree gains nothing from a sanitized build.
    local built=0 rc=0
    run_ninja "$dir" nuv_tests_unit || built=1
    ASAN_OPTIONS="detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1" \
    UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
        run_ctest "$dir" -L unit || rc=1
    count_build "$built"
    ((rc == 0 && built == 0))
}

wine_prefix=
stage_wine() {
    local dir=build/ci-win
    # Third-party libraries cross-built from Debian's sources, cached after the first run.
    bash scripts/build-win-deps.sh || build_failed "cross-building the third-party libraries failed" || return
    # halvane.scr carries the content archives, which the native build's content program makes
    # (the native stage's folder and flags, so that a full run builds them once).
    local native=build/ci-native
    nuv_configure "$native" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNUV_BUILD_BENCH=ON >/dev/null &&
        ninja -C "$native" -j"$NUV_JOBS" nuv_content_archives >/dev/null ||
        build_failed "building the content archives failed" || return
    nuv_configure "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_TOOLCHAIN_FILE="$NUV_ROOT/cmake/mingw-w64-x86_64.cmake" \
        -DNUV_CUSTOMDATA_ARCHIVE="$NUV_ROOT/$native/content/CustomData.rar2" \
        -DNUV_MEDIA_ARCHIVE="$NUV_ROOT/$native/content/Media.rar2" || build_failed "configure failed" || return
    local built=0 rc=0
    run_ninja "$dir" || built=1
    # One server with its helper processes for the whole run, started before the tests run in parallel.
    wine_prefix="$(cd "$dir" && pwd)/wineprefix"
    scripts/wine-run.sh --prefix "$wine_prefix" --prepare || build_failed "preparing Wine failed" || return
    run_ctest "$dir" -L wine || rc=1
    count_build "$built"
    ((rc == 0 && built == 0))
}

stage_fuzz() {
    local dir=build/ci-fuzz
    rm -rf "$dir/fuzzers" # target lists of an earlier configuration
    nuv_configure "$dir" "${checked_flags[@]}" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
        -DNUV_BUILD_FUZZ=ON -DNUV_BUILD_TESTS=OFF || build_failed "configure failed" || return
    local built=0
    if compgen -G "$dir/fuzzers/*.path" >/dev/null; then
        run_ninja "$dir" nuv_fuzzers || built=1
    fi
    local log="$dir/fuzz.log"
    scripts/fuzz.sh "$dir" --seconds "${NUV_FUZZ_SECONDS:-30}" 2>&1 | tee "$log"
    local rc=${PIPESTATUS[0]}
    local summary
    summary=$(grep -E '^[0-9]+ passed, [0-9]+ failed$' "$log" | tail -n 1)
    stage_passed=$(cut -d' ' -f1 <<<"$summary")
    stage_failed=$(cut -d' ' -f3 <<<"$summary")
    stage_passed=${stage_passed:-0}
    stage_failed=${stage_failed:-0}
    ((rc != 0 && stage_failed == 0)) && stage_failed=1
    count_build "$built"
    ((rc == 0 && built == 0))
}

cleanup() {
    [[ -n "$wine_prefix" ]] && scripts/wine-run.sh --prefix "$wine_prefix" --stop
}
trap cleanup EXIT

total_passed=0
total_failed=0
report=()
for s in "${stages[@]}"; do
    echo
    echo "==== stage $s ===="
    t0=$(date +%s)
    stage_passed=0
    stage_failed=0
    stage_warnings=0
    if "stage_$s"; then verdict=ok; else verdict=FAILED; fi
    total_passed=$((total_passed + stage_passed))
    total_failed=$((total_failed + stage_failed))
    report+=("$(printf '  %-7s %-6s %3d passed, %3d failed  %s  %d compiler warnings' "$s" "$verdict" \
        "$stage_passed" "$stage_failed" "$(nuv_elapsed "$t0")" "$stage_warnings")")
done

echo
echo "==== summary (total $(nuv_elapsed "$started")) ===="
printf '%s\n' "${report[@]}"
command -v ccache >/dev/null && ccache -s 2>/dev/null | grep -E 'Hits|Misses' | sed 's/^/  ccache /' | head -n 2
echo "$total_passed passed, $total_failed failed"
((total_failed == 0)) && [[ " ${report[*]} " != *" FAILED "* ]]
