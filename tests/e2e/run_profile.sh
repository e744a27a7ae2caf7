#!/bin/sh
# A run with --profile: run_profile.sh PROGRAM
# At its end the log holds the frame profile: how many frames were measured, a row per section
# with the pixels it drew, and the totals; the run still ends normally.
set -u
program=$1

work=$(mktemp -d "${TMPDIR:-/tmp}/halvane_profile.XXXXXX")
trap 'rm -rf "$work"' EXIT
export XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config"
export LP_NUM_THREADS=2 LANG=C.UTF-8 LC_ALL= LC_MESSAGES=
log="$XDG_DATA_HOME/Quorvel Studio/NuvLog.txt"
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

cat > "$work/drive.sh" <<'DRIVE'
#!/bin/sh
"$1" /s --profile --no-music --no-effects 2> "$2/stderr.txt" &
pid=$!
timeout 30 xdotool search --sync --onlyvisible --name "Halvane" >/dev/null
sleep 3
kill -TERM $pid
wait $pid
DRIVE
chmod +x "$work/drive.sh"
"$(dirname "$0")/in_xvfb.sh" "-screen 0 640x480x24" "$work/drive.sh" "$program" "$work"
status=$?
[ $status -eq 0 ] || fail "exit status $status"
grep -qxF "INFO. Профиль кадра:" "$log" || fail "no profile in the log"
frames=$(sed -n 's/^INFO\. profile over \([0-9]*\) frame(s), per frame:$/\1/p' "$log")
[ "${frames:-0}" -ge 1 ] 2>/dev/null || fail "no measured frames [$frames]"
# The scene's own section drew pixels, and the total is the sum of the rows (each row and the
# total rounded to whole pixels per frame on their own, so within one pixel a row).
opaque=$(awk '$2 == "opaque" { print $(NF - 1) }' "$log" | sort -n | tail -n 1)
[ "${opaque:-0}" -gt 0 ] 2>/dev/null || fail "the opaque section drew no pixels [$opaque]"
check=$(awk '/^INFO\. section / { on = 1; next }
    on && $2 == "total" { total = $NF; on = 0 }
    on { ++rows; if ($(NF - 1) > 0) sum += $(NF - 1) }
    END { d = total - sum; if (d < 0) d = -d; print (total > 0 && d <= rows) ? "ok" : "total " total " rows " sum }' "$log")
[ "$check" = ok ] || fail "the profile's total does not add up: $check"
grep -qxF "INFO. Работа скринсейвера завершена корректно." "$log" || fail "the run did not end normally"

if [ $failures -ne 0 ]; then
    echo "--- log:"
    cat "$log" 2>/dev/null
    exit 1
fi
exit 0
