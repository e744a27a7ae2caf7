#!/bin/sh
# One end-to-end run of the screensaver: run_case.sh CASE PROGRAM PROGRAM_WITHOUT_MEDIA
# Each run gets its own data and configuration folders, so the log and the settings file are
# fresh; the checks read the log the program leaves.
set -u
case_name=$1
program=$2
program_nomedia=$3

. "$(dirname "$0")/e2e_lib.sh"
e2e_begin e2e

expect_order() {
    # The lines must appear in this order.
    prev=0
    for line in "$@"; do
        n=$(grep -nxF "$line" "$log" | head -n 1 | cut -d: -f1)
        if [ -z "$n" ]; then fail "no line [$line]"; return; fi
        if [ "$n" -le "$prev" ]; then fail "[$line] out of order"; fi
        prev=$n
    done
}
expect_no_error() {
    # The sound device's second start may fail on a machine without sound: it is never fatal.
    errors=$(grep '^ERROR\.' "$log" | grep -v 'звук')
    [ -z "$errors" ] || fail "errors: $errors"
}

case $case_name in
saver)
    # Full screen on the virtual display; a mouse click ends it once the first frames are up.
    cat > "$work/drive.sh" <<'DRIVE'
#!/bin/sh
"$1" /s &
pid=$!
# Info lines reach the file in blocks, so the window, not the log, tells that the run is up.
timeout 30 xdotool search --sync --onlyvisible --name "Halvane" >/dev/null
sleep 3
# The test scene's orange triangle faces the camera in the middle of a black screen; the
# frame rate's first digit lies at the top left, the clock's at the bottom right (the test
# characters are white blocks).
import -window root "$3/frame.png"
convert "$3/frame.png" -format '%[pixel:p{512,400}] %[pixel:p{5,5}] %[pixel:p{28,48}] %[pixel:p{640,720}]' \
    info: > "$3/pixels.txt"
xdotool mousemove 300 300 click 1
i=0
while [ $i -lt 100 ] && kill -0 $pid 2>/dev/null; do sleep 0.1; i=$((i + 1)); done
if kill -0 $pid 2>/dev/null; then echo "the click did not end the run"; kill -TERM $pid; fi
wait $pid
DRIVE
    chmod +x "$work/drive.sh"
    # The frame rate on as well as the clock (a stored value overrides its default).
    mkdir -p "$XDG_CONFIG_HOME/Software/Tessaly Software"
    printf 'ShowFPS=1\nShowTime=1\nHour24=0\n' > "$XDG_CONFIG_HOME/Software/Tessaly Software/Halvane 3D Screensaver.conf"
    in_xvfb "$work/drive.sh" "$program" "$log" "$work"
    status=$?
    [ $status -eq 0 ] || fail "exit status $status"
    pixels=$(cat "$work/pixels.txt" 2>/dev/null)
    [ "$pixels" = "srgb(255,128,0) srgb(0,0,0) srgb(255,255,255) srgb(255,255,255)" ] ||
        fail "frame pixels [$pixels] (triangle, background, frame rate, clock)"
    expect_order "INFO. Режим скринсейвера 1." \
        "INFO. Значения параметров по-умолчанию загружены." \
        "INFO. Значения параметров по-умолчанию установлены." \
        "INFO. Значения параметров прочитаны из реестра." \
        "INFO. Значения локальных данных загружены." \
        "INFO. Скринсейвер инициализирован." \
        "INFO. Окна скринсейвера созданы." \
        "INFO. Кеширование..." \
        "INFO. Кеширование закончено." \
        "INFO. Сейвер создан." \
        "INFO. Работа скринсейвера завершена корректно." \
        "INFO. Окна скринсейвера удалены." \
        "INFO. Скринсейвер завершил работу." \
        "INFO. Конец лога."
    expect_no_error
    ;;
preview)
    # Inside a window given by its X11 id (the root window stands in for the control panel's);
    # a terminating signal ends the preview like a close.
    cat > "$work/drive.sh" <<'DRIVE'
#!/bin/sh
parent=$(xwininfo -root | sed -n 's/.*Window id: \(0x[0-9a-f]*\).*/\1/p')
"$1" /p $(printf '%d' "$parent") &
pid=$!
sleep 3
# The preview picture, stretched over the whole parent window.
import -window root "$3/frame.png"
convert "$3/frame.png" -format '%[pixel:p{512,384}] %[pixel:p{3,3}]' info: > "$3/pixels.txt"
kill -TERM $pid
wait $pid
DRIVE
    chmod +x "$work/drive.sh"
    in_xvfb "$work/drive.sh" "$program" "$log" "$work"
    status=$?
    [ $status -eq 0 ] || fail "exit status $status"
    pixels=$(cat "$work/pixels.txt" 2>/dev/null)
    [ "$pixels" = "srgb(0,128,128) srgb(0,128,128)" ] || fail "preview pixels [$pixels]"
    expect_order "INFO. Режим скринсейвера 0." \
        "INFO. Окна скринсейвера созданы." \
        "INFO. Сейвер создан." \
        "INFO. Работа скринсейвера завершена корректно." \
        "INFO. Окна скринсейвера удалены." \
        "INFO. Скринсейвер завершил работу." \
        "INFO. Конец лога."
    expect_no_line "Создание системного окна"
    expect_no_error
    ;;
password)
    # No display at all: the password mode makes no window and starts no engine.
    env -u DISPLAY -u WAYLAND_DISPLAY "$program" /a
    status=$?
    [ $status -eq 0 ] || fail "exit status $status"
    expect_order "INFO. Режим скринсейвера 4." \
        "INFO. Скринсейвер инициализирован." \
        "INFO. Окна скринсейвера созданы." \
        "INFO. Сейвер создан." \
        "INFO. Работа скринсейвера завершена корректно." \
        "INFO. Скринсейвер завершил работу." \
        "INFO. Конец лога."
    expect_no_line "Создание системного окна"
    expect_no_error
    ;;
missing_media)
    # Without the media archive the start stops, and the shutdown and the log's end still run;
    # the exit status says that it failed.
    in_xvfb "$program_nomedia" /s
    status=$?
    [ $status -eq 1 ] || fail "exit status $status"
    expect_order "ERROR. Невозможно подсоединить директорию Media." \
        "ERROR. Невозможно инициализировать скринсейвер." \
        "ERROR. Невозможно создать скринсейвер." \
        "INFO. Окна скринсейвера удалены." \
        "INFO. Скринсейвер завершил работу." \
        "INFO. Конец лога."
    expect_no_line "Сейвер создан."
    ;;
mouse_move)
    # Moving the mouse ends the run only with ExitOnMouseMove on, and then only from the 11th
    # move on (the first moves come from the window appearing under the pointer).
    cat > "$work/drive.sh" <<'DRIVE'
#!/bin/sh
"$1" /s &
pid=$!
timeout 30 xdotool search --sync --onlyvisible --name "Halvane" >/dev/null
sleep 2
x=100
while [ $x -lt 700 ]; do xdotool mousemove $x 300; sleep 0.05; x=$((x + 40)); done
i=0
while [ $i -lt 50 ] && kill -0 $pid 2>/dev/null; do sleep 0.1; i=$((i + 1)); done
if kill -0 $pid 2>/dev/null; then
    echo running > "$2/after_moves"
    xdotool click 1
else
    echo ended > "$2/after_moves"
fi
wait $pid
DRIVE
    chmod +x "$work/drive.sh"
    settings="$XDG_CONFIG_HOME/Software/Tessaly Software/Halvane 3D Screensaver.conf"
    mkdir -p "$(dirname "$settings")"
    for exits in 1 0; do
        printf 'ExitOnMouseMove=%s\n' $exits > "$settings"
        rm -f "$work/after_moves"
        in_xvfb "$work/drive.sh" "$program" "$work"
        status=$?
        [ $status -eq 0 ] || fail "exit status $status with ExitOnMouseMove=$exits"
        after=$(cat "$work/after_moves" 2>/dev/null)
        if [ $exits -eq 1 ]; then want=ended; else want=running; fi
        [ "$after" = "$want" ] || fail "after fifteen moves with ExitOnMouseMove=$exits the run was [$after]"
        expect_line "INFO. Работа скринсейвера завершена корректно."
        if [ $exits -eq 1 ]; then expect_end; mv "$log" "$work/first.log"; fi
    done
    ;;
*)
    echo "unknown case $case_name"
    exit 2
    ;;
esac

if [ -f "$log" ]; then expect_end; else fail "no log at $log"; fi
e2e_end
