#!/usr/bin/env bash
# Runs a Windows program of the cross build under Wine; CTest uses it as the cross-compiling emulator.
#   wine-run.sh [--prefix DIR] PROGRAM.exe ARGS...   run one program, exit with its exit code
#   wine-run.sh [--prefix DIR] --prepare             create the prefix and start a Wine server for a test run
#   wine-run.sh [--prefix DIR] --stop                stop the prefix's Wine server and its helpers
# The prefix defaults to $WINEPREFIX, else ./wineprefix. It is created on first use (about 12 s, 700 MB).
set -euo pipefail

prefix="${WINEPREFIX:-$PWD/wineprefix}"
if [[ "${1:-}" == "--prefix" ]]; then
    prefix="$2"
    shift 2
fi
if (($# == 0)); then
    echo "usage: wine-run.sh [--prefix DIR] (--prepare | --stop | PROGRAM [ARGS...])" >&2
    exit 2
fi

export WINEPREFIX="$prefix"
export WINEARCH=win64
export WINEDEBUG="${WINEDEBUG:--all}"
# No debugger (with it a crash can exit 0), no .NET or HTML engine (their installers would be fetched).
export WINEDLLOVERRIDES="winedbg.exe=d;mscoree=;mshtml="
# How long the server stays up after the last program ends: long enough to bridge the gaps of a test run,
# short enough that an interrupted run leaves nothing behind for long.
server_linger=60

create_prefix() {
    [[ -f "$prefix/.nuv-ready" ]] && return 0
    echo "wine-run: creating Wine prefix $prefix" >&2
    rm -rf "$prefix"
    mkdir -p "$(dirname "$prefix")"
    wine wineboot -i </dev/null >/dev/null 2>&1
    # Without a window manager Wine waits about 2 s for each closed window unless it manages none.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1
    # Direct3D without its command-stream thread: on a machine of few, busy cores the program's
    # thread spins waiting for that thread, and frames take five to ten times as long.
    wine reg add 'HKCU\Software\Wine\Direct3D' /v csmt /t REG_DWORD /d 0 /f </dev/null >/dev/null 2>&1
    wineserver -w
    touch "$prefix/.nuv-ready"
}

# Without a display of its own the prefix gets a virtual one (Xvfb), so that windows and Direct3D
# work in every program it runs: its number is kept beside the prefix, and it lives as long as
# the prefix's Wine server (a watcher ends it when the server has gone).
started_display=
ensure_display() {
    [[ -n "${DISPLAY:-}" ]] && return 0
    local file="$prefix.display" n
    if [[ -f "$file" ]]; then
        n=$(cat "$file")
        if [[ -S "/tmp/.X11-unix/X$n" ]]; then
            export DISPLAY=":$n"
            return 0
        fi
    fi
    for n in $(seq 90 189); do
        [[ -e "/tmp/.X11-unix/X$n" || -e "/tmp/.X$n-lock" ]] && continue
        Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp -noreset </dev/null >/dev/null 2>&1 &
        started_display=$!
        for _ in $(seq 100); do
            [[ -S "/tmp/.X11-unix/X$n" ]] && break
            sleep 0.05
        done
        echo "$n" >"$file"
        export DISPLAY=":$n"
        return 0
    done
}

# Ends the display started above once the server (started after it) has gone.
watch_display() {
    [[ -z "$started_display" ]] && return 0
    (wineserver -w; kill "$started_display" 2>/dev/null) </dev/null >/dev/null 2>&1 &
}

# Creates the prefix if needed and makes sure a lingering server with its helper processes runs.
# The helpers are started with closed standard streams: otherwise they inherit the test's pipes
# and CTest waits for them to exit.
ensure_server() {
    mkdir -p "$(dirname "$prefix")"
    exec 9>"$prefix.lock"
    flock 9
    ensure_display
    create_prefix
    if wineserver -p"$server_linger" </dev/null >/dev/null 2>&1; then
        wine cmd /c exit </dev/null >/dev/null 2>&1 || true
    fi
    watch_display
    flock -u 9
    exec 9>&-
}

case "$1" in
--prepare)
    ensure_server
    exit 0
    ;;
--stop)
    [[ -d "$prefix" ]] && wineserver -k >/dev/null 2>&1 || true
    exit 0
    ;;
esac

ensure_server

# Unix paths handed over in NUV_* variables become drive paths (Z: is the Unix root), so that they stay
# valid whatever the program's current drive.
while IFS='=' read -r name _; do
    value="${!name}"
    [[ "$value" == /* ]] && export "$name=Z:$value"
done < <(env | grep -E '^NUV_[A-Za-z0-9_]*=' || true)

exec wine "$@"
