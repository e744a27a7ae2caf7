# Shared by the end-to-end cases; sourced, not run: . "$(dirname "$0")/e2e_lib.sh"

# e2e_begin NAME - a fresh work folder ($work, removed at exit unless KEEP is set) holding the
# program's data and configuration folders, so the log and the settings file are new; $log is
# the log's path and $failures counts the failed checks.
e2e_begin() {
    work=$(mktemp -d "${TMPDIR:-/tmp}/halvane_$1.XXXXXX")
    trap '[ -n "${KEEP:-}" ] || rm -rf "$work"' EXIT
    export XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config"
    export LP_NUM_THREADS=2 ALSOFT_DRIVERS=null LANG=C.UTF-8 LC_ALL= LC_MESSAGES=
    log="$XDG_DATA_HOME/Quorvel Studio/NuvLog.txt"
    failures=0
}

fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
expect_line() {
    grep -qxF "$1" "$log" || fail "no line [$1]"
}
expect_no_line() {
    if grep -qF "$1" "$log"; then fail "unexpected [$1]"; fi
}
# The log's last line is its end line.
expect_end() {
    if [ -f "$log" ]; then
        last=$(tail -n 1 "$log")
        [ "$last" = "INFO. Конец лога." ] || fail "the log ends with [$last]"
    else
        fail "no log at $log"
    fi
}
# in_xvfb COMMAND... - COMMAND on a virtual display of 1024x768.
in_xvfb() {
    "$(dirname "$0")/in_xvfb.sh" "-screen 0 1024x768x24" "$@"
}

# e2e_end [LINES] - the case's exit: 0 when every check passed, else 1 after the log (its last
# LINES lines when given).
e2e_end() {
    if [ "$failures" -ne 0 ]; then
        echo "--- log:"
        if [ -n "${1:-}" ]; then tail -n "$1" "$log" 2>/dev/null; else cat "$log" 2>/dev/null; fi
        exit 1
    fi
    exit 0
}
