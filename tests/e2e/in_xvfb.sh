#!/bin/sh
# in_xvfb.sh "SERVER ARGS" COMMAND [ARG...] - runs COMMAND on a virtual X display of its own.
# Xvfb chooses a free display number itself and reports it (-displayfd), so tests running in
# parallel never race for one number or end up on each other's display. -noreset: by default the
# server resets when its last client leaves, and a client connecting during the reset (the program
# right after a probe such as xwininfo) is turned away, so SDL falls back to drawing offscreen.
# Exits with COMMAND's status.
set -u
server_args=$1
shift
dir=$(mktemp -d "${TMPDIR:-/tmp}/in_xvfb.XXXXXX") || exit 1
# shellcheck disable=SC2086 # the server arguments are words
Xvfb -displayfd 3 -nolisten tcp -noreset $server_args 3>"$dir/display" 2>"$dir/server.log" &
server=$!
i=0
while [ $i -lt 300 ] && ! grep -q '^[0-9]' "$dir/display" 2>/dev/null; do
    kill -0 $server 2>/dev/null || break
    sleep 0.1
    i=$((i + 1))
done
number=$(head -n 1 "$dir/display" 2>/dev/null)
if [ -z "$number" ]; then
    echo "in_xvfb.sh: Xvfb did not start:" >&2
    cat "$dir/server.log" >&2
    kill $server 2>/dev/null
    rm -rf "$dir"
    exit 1
fi
DISPLAY=":$number" "$@"
status=$?
kill $server 2>/dev/null
wait $server 2>/dev/null
rm -rf "$dir"
exit $status
