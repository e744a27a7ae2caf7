# Shared by run.sh and test.sh: the repository root, ccache and CMake configuration.
# Source it; it defines functions and variables only.

NUV_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# nuv_configure BUILD_DIR [cmake options...] - configures with Ninja (ccache comes from NuvOptions.cmake).
nuv_configure() {
    local dir="$1"
    shift
    cmake -S "$NUV_ROOT" -B "$dir" -G Ninja "$@"
}

# Two cores are all this machine has; an explicit NUV_JOBS wins.
NUV_JOBS="${NUV_JOBS:-$(nproc)}"

nuv_elapsed() {
    local seconds=$(($(date +%s) - $1))
    printf '%dm%02ds' $((seconds / 60)) $((seconds % 60))
}
