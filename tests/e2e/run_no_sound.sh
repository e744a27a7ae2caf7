#!/bin/sh
# A full-screen run on a machine without a sound device: run_no_sound.sh PROGRAM
# The libraries under the sound output (OpenAL Soft on ALSA) would print a screen of errors;
# the user sees one line on standard error, and the run goes on silent.
set -u
program=$1

. "$(dirname "$0")/e2e_lib.sh"
e2e_begin nosound
# The ALSA output only, on a card no machine has.
export ALSOFT_DRIVERS=alsa ALSA_CARD=99
unset ALSOFT_LOGLEVEL ALSOFT_CONF

cat > "$work/drive.sh" <<'DRIVE'
#!/bin/sh
"$1" /s 2> "$2/stderr.txt" &
pid=$!
timeout 30 xdotool search --sync --onlyvisible --name "Halvane" >/dev/null
sleep 1
xdotool mousemove 300 300 click 1
i=0
while [ $i -lt 100 ] && kill -0 $pid 2>/dev/null; do sleep 0.1; i=$((i + 1)); done
if kill -0 $pid 2>/dev/null; then echo "the click did not end the run"; kill -TERM $pid; fi
wait $pid
DRIVE
chmod +x "$work/drive.sh"
"$(dirname "$0")/in_xvfb.sh" "-screen 0 1024x768x24" "$work/drive.sh" "$program" "$work"
status=$?
[ $status -eq 0 ] || fail "exit status $status"
stderr=$(cat "$work/stderr.txt" 2>/dev/null)
[ "$stderr" = "No sound device: running without sound." ] || fail "standard error was [$stderr]"
grep -q '^ERROR\. Невозможно инициализировать звук\. Причина \[3\]' "$log" || fail "no sound error in the log"
grep -qxF "INFO. Работа скринсейвера завершена корректно." "$log" || fail "the run did not end normally"

e2e_end
