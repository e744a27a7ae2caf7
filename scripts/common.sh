# Shared by run.sh and test.sh: the repository root, ccache and CMake configuration.
# Source it; it defines functions and variables only.

NUV_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# Builds of different checkouts on one machine share the compiler cache: paths under the checkout are
# hashed relative to it, and the build folder is not part of the hash.
export CCACHE_BASEDIR="$NUV_ROOT"
export CCACHE_NOHASHDIR=true
export CCACHE_MAXSIZE="${CCACHE_MAXSIZE:-8G}"

# nuv_configure BUILD_DIR [cmake options...] - configures with Ninja and ccache.
nuv_configure() {
    local dir="$1"
    shift
    cmake -S "$NUV_ROOT" -B "$dir" -G Ninja \
        -DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache "$@"
}

# Two cores are all this machine has; an explicit NUV_JOBS wins.
NUV_JOBS="${NUV_JOBS:-$(nproc)}"

nuv_elapsed() {
    local seconds=$(($(date +%s) - $1))
    printf '%dm%02ds' $((seconds / 60)) $((seconds % 60))
}
