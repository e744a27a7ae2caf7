#!/bin/sh
# The program as another program's guest, and its answers to wrong input and to signals:
# run_hack_case.sh CASE PROGRAM TEST_WINDOW_PROGRAM
# Each run gets its own data and configuration folders; the checks read the log it leaves, its
# exit status, its standard error and the pictures on the virtual display.
set -u
case_name=$1
program=$2
test_window=$3

. "$(dirname "$0")/e2e_lib.sh"
e2e_begin hack

# SDL now and then finds no X server in a virtual display that has just started, under load, and
# the program rightly says there is no display. That is not what these cases test: such a run is
# made again, up to three times in all.
no_display() {
    grep -q "^ERROR\. Нет дисплея" "$log" 2>/dev/null
}
in_xvfb_again() {
    for attempt in 1 2 3; do
        rm -f "$log"
        in_xvfb "$@"
        no_display || return 0
        echo "(no display found on attempt $attempt)"
    done
}

case $case_name in
window)
    # Inside a window the test makes: drawn there and nowhere else, following its size, and
    # ended when the window goes.
    cat > "$work/drive.sh" <<'DRIVE'
#!/bin/sh
program=$1 test_window=$2 work=$3
mkfifo "$work/control"
"$test_window" 100 50 640 480 < "$work/control" > "$work/window.out" &
exec 3> "$work/control"
i=0
while [ $i -lt 100 ] && ! [ -s "$work/window.out" ]; do sleep 0.1; i=$((i + 1)); done
id=$(head -n 1 "$work/window.out")
xwininfo -root -children | grep -c '^ *0x' > "$work/toplevel_before"
"$program" --window-id "$id" --fps --no-clock 2> "$work/stderr" &
pid=$!
echo $pid > "$work/pid"
# The test scene: an orange triangle in the middle of a black picture, the clock's white blocks
# at the bottom right. Drawn once the grey is gone.
pixels() {
    import -window "$id" "$work/$1.png" 2>/dev/null &&
        convert "$work/$1.png" -format "$2" info: 2>/dev/null
}
i=0
while [ $i -lt 60 ]; do
    [ "$(pixels first '%[pixel:p{5,5}]')" = "srgb(0,0,0)" ] && break
    sleep 0.5
    i=$((i + 1))
done
sleep 2
pixels before '%[pixel:p{320,240}] %[pixel:p{5,5}] %w %h' > "$work/pixels_before"
# The command line's settings hold: the frame rate's white blocks at the top left, no clock at
# the bottom right.
convert "$work/before.png" -crop 120x60+0+0 -format '%[fx:maxima]' info: > "$work/frame_rate"
convert "$work/before.png" -crop 320x80+320+400 -format '%[fx:maxima]' info: > "$work/clock"
# Keys and clicks belong to whoever owns the window: they do not end a hack.
xdotool mousemove 420 290 click 1 key space
sleep 1
kill -0 $pid 2>/dev/null || echo "input ended the hack" > "$work/left"
xwininfo -root -children | grep -c '^ *0x' > "$work/toplevel_during"
xwininfo -root -tree | grep -ci 'halvane"' > "$work/named" || true
# Grown: the picture follows the window, its middle moves with the window's.
echo "resize 800 600" >&3
sleep 3
pixels grown '%[pixel:p{400,300}] %[pixel:p{795,5}] %[pixel:p{5,595}] %w %h' > "$work/pixels_grown"
echo destroy >&3
i=0
while [ $i -lt 200 ] && kill -0 $pid 2>/dev/null; do sleep 0.1; i=$((i + 1)); done
if kill -0 $pid 2>/dev/null; then echo "still running after its window went" > "$work/left"; kill -TERM $pid; fi
wait $pid
echo $? > "$work/status"
exec 3>&-
wait
DRIVE
    chmod +x "$work/drive.sh"
    # Stored: no frame rate, a clock; the command line asks for the opposite for this run.
    settings="$XDG_CONFIG_HOME/Software/Tessaly Software/Halvane 3D Screensaver.conf"
    mkdir -p "$(dirname "$settings")"
    printf 'ShowFPS=0\nShowTime=1\n' > "$settings"
    cp "$settings" "$work/store"
    in_xvfb_again "$work/drive.sh" "$program" "$test_window" "$work"
    [ -f "$work/left" ] && fail "$(cat "$work/left")"
    [ "$(cat "$work/pixels_before")" = "srgb(255,128,0) srgb(0,0,0) 640 480" ] ||
        fail "the window holds [$(cat "$work/pixels_before")], not the scene (middle, corner, size)"
    [ "$(cat "$work/frame_rate")" = "1" ] || fail "no frame rate though --fps was given"
    [ "$(cat "$work/clock")" = "0" ] || fail "a clock though --no-clock was given"
    cmp -s "$work/store" "$settings" || fail "the run rewrote the stored settings: $(cat "$settings")"
    [ "$(cat "$work/toplevel_before")" = "$(cat "$work/toplevel_during")" ] ||
        fail "top-level windows: $(cat "$work/toplevel_before") before, $(cat "$work/toplevel_during") during the run"
    [ "$(cat "$work/named")" = "0" ] || fail "a window named after the program exists"
    [ "$(cat "$work/pixels_grown")" = "srgb(255,128,0) srgb(0,0,0) srgb(0,0,0) 800 600" ] ||
        fail "the grown window holds [$(cat "$work/pixels_grown")] (middle, corners, size)"
    [ "$(cat "$work/status")" = "1" ] || fail "exit status $(cat "$work/status") after the window went"
    grep -q "has gone" "$work/stderr" || fail "standard error: [$(cat "$work/stderr")]"
    grep -q '^ERROR\. Окно \[0x[0-9a-f]*\] исчезло\.$' "$log" || fail "no line about the window going"
    expect_line "INFO. Режим скринсейвера 1."
    expect_line "ERROR. Работа скринсейвера завершена некорректно."
    expect_line "INFO. Скринсейвер завершил работу."
    ;;
preview_gone)
    # The preview inside a window that its owner destroys ends as a closed window does.
    cat > "$work/drive.sh" <<'DRIVE'
#!/bin/sh
program=$1 test_window=$2 work=$3
mkfifo "$work/control"
"$test_window" 0 0 200 150 < "$work/control" > "$work/window.out" &
exec 3> "$work/control"
i=0
while [ $i -lt 100 ] && ! [ -s "$work/window.out" ]; do sleep 0.1; i=$((i + 1)); done
id=$(head -n 1 "$work/window.out")
"$program" /p $(printf '%d' "$id") &
pid=$!
sleep 3
echo destroy >&3
i=0
while [ $i -lt 100 ] && kill -0 $pid 2>/dev/null; do sleep 0.1; i=$((i + 1)); done
if kill -0 $pid 2>/dev/null; then echo "the preview outlived its window" > "$work/left"; kill -TERM $pid; fi
wait $pid
echo $? > "$work/status"
exec 3>&-
wait
DRIVE
    chmod +x "$work/drive.sh"
    in_xvfb_again "$work/drive.sh" "$program" "$test_window" "$work"
    [ -f "$work/left" ] && fail "$(cat "$work/left")"
    [ "$(cat "$work/status")" = "0" ] || fail "exit status $(cat "$work/status")"
    grep -q '^INFO\. Окно \[[0-9]*\] закрыто\.$' "$log" || fail "no line about the window closing"
    expect_line "INFO. Работа скринсейвера завершена корректно."
    ;;
signals)
    # Each termination signal ends a full-screen run through its shutdown, also one that comes
    # while the scene still loads.
    cat > "$work/drive.sh" <<'DRIVE'
#!/bin/sh
program=$1 signal=$2 early=$3
"$program" /s &
pid=$!
if [ "$early" = early ]; then
    sleep 0.3
else
    timeout 30 xdotool search --sync --onlyvisible --name "Halvane" >/dev/null
    sleep 1
fi
kill -$signal $pid
wait $pid
DRIVE
    chmod +x "$work/drive.sh"
    for run in "TERM 15 late" "INT 2 late" "HUP 1 late" "QUIT 3 late" "TERM 15 early" "HUP 1 early"; do
        set -- $run
        in_xvfb_again "$work/drive.sh" "$program" $1 $3
        status=$?
        [ $status -eq 0 ] || fail "SIG$1 ($3): exit status $status"
        expect_line "INFO. Получен сигнал завершения $2."
        expect_line "INFO. Окна скринсейвера удалены."
        expect_line "INFO. Скринсейвер завершил работу."
        if [ "$3" = late ]; then expect_line "INFO. Работа скринсейвера завершена корректно."; fi
        expect_end
    done
    ;;
bad_input)
    # Wrong arguments and windows that do not exist: a message on standard error, a log line,
    # a failing exit status and the log's end. Each run: the exit status it must give, its
    # arguments, a piece of its standard error, a line of its log.
    cat > "$work/runs" <<'RUNS'
2|--bogus|unknown option '--bogus'|ERROR. Ошибка в командной строке: unknown option '--bogus'.
2|/x|unknown option '/x'|ERROR. Невозможно выбрать режим скринсейвера.
2|--window-id zz|'zz' given to '--window-id' is not a window id|ERROR. Невозможно создать скринсейвер.
2|--volume 300|'--volume' takes a number from 0 to 100, not '300'|ERROR. Невозможно выбрать режим скринсейвера.
2|/s /c|ask for two different modes|ERROR. Невозможно выбрать режим скринсейвера.
2|stray|unexpected argument 'stray'|ERROR. Невозможно выбрать режим скринсейвера.
1|--window-id 0x7ffffff0|0x7ffffff0 is not a window|ERROR. Окно [0x7ffffff0] не найдено.
1|/p 2147483000|2147483000 is not a window|ERROR. Окно [2147483000] не найдено.
1|--root|0x7ffffff1 is not a window|ERROR. Окно [0x7ffffff1] не найдено.
RUNS
    cat > "$work/drive.sh" <<'DRIVE'
#!/bin/sh
program=$1 work=$2 n=0
while IFS='|' read -r want arguments message line; do
    n=$((n + 1))
    for attempt in 1 2 3; do
        XSCREENSAVER_WINDOW=0x7ffffff1 "$program" $arguments > /dev/null 2> "$work/err_$n"
        echo $? > "$work/status_$n"
        grep -q "^halvane: no display" "$work/err_$n" || break
    done
    cp "$XDG_DATA_HOME/Quorvel Studio/NuvLog.txt" "$work/log_$n"
done < "$work/runs"
DRIVE
    chmod +x "$work/drive.sh"
    in_xvfb "$work/drive.sh" "$program" "$work"
    n=0
    while IFS='|' read -r want arguments message line; do
        n=$((n + 1))
        got=$(cat "$work/status_$n" 2>/dev/null)
        [ "$got" = "$want" ] || fail "[$arguments]: exit status $got, not $want"
        grep -qF -- "$message" "$work/err_$n" || fail "[$arguments]: standard error [$(cat "$work/err_$n")]"
        grep -qxF -- "$line" "$work/log_$n" || fail "[$arguments]: no log line [$line]"
        [ "$(tail -n 1 "$work/log_$n")" = "INFO. Конец лога." ] || fail "[$arguments]: the log does not end"
        if [ "$want" = 2 ]; then
            grep -q "^Usage: halvane" "$work/err_$n" || fail "[$arguments]: no usage on standard error"
        fi
    done < "$work/runs"
    # Help goes to standard output and leaves the log alone.
    rm -rf "$XDG_DATA_HOME"
    "$program" --help > "$work/help" 2>&1
    status=$?
    [ $status -eq 0 ] || fail "--help: exit status $status"
    grep -q -- "--window-id ID" "$work/help" || fail "--help does not tell the options"
    [ -e "$log" ] && fail "--help wrote a log"
    failures_only=1
    ;;
*)
    echo "unknown case $case_name"
    exit 2
    ;;
esac

if [ -z "${failures_only:-}" ]; then
    if [ -f "$log" ]; then expect_end; else fail "no log at $log"; fi
fi
e2e_end 30
