#!/bin/sh
# The screensaver in environments that are not what it expects: run_environment_case.sh CASE PROGRAM
#   no_display           full screen and preview with no display at all: an error, not an unseen run
#   headless             a headless run asked for by name says that it is one
#   unwritable_data      no log can be written: standard error says so
#   unwritable_settings  no settings can be saved: the run goes on with the defaults, and says so once
#   unreadable_settings  a settings file that cannot be read fails the start with a clear message
#   settings_lines       each stored line stands on its own; out-of-range values are corrected
# Each run gets its own data and configuration folders; the checks read the log and standard error.
set -u
case_name=$1
program=$2

. "$(dirname "$0")/e2e_lib.sh"
e2e_begin env
store="$XDG_CONFIG_HOME/Software/Tessaly Software/Halvane 3D Screensaver.conf"
errors="$work/stderr.txt"

# expect_said TEXT COUNT - standard error holds TEXT on exactly COUNT lines.
expect_said() {
    n=$(grep -cF "$1" "$errors")
    [ "$n" -eq "$2" ] || fail "standard error says [$1] $n times, not $2: $(cat "$errors")"
}
no_display() {
    env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER timeout 60 "$program" "$@" 2>"$errors"
}

case $case_name in
no_display)
    for switch in /s /p; do
        rm -rf "$XDG_DATA_HOME"
        if [ "$switch" = /p ]; then no_display /p 12345; else no_display /s; fi
        status=$?
        [ $status -eq 1 ] || fail "$switch: exit status $status"
        expect_said "halvane: no display" 1
        expect_line "ERROR. Нет дисплея: полноэкранному режиму и предпросмотру нужен дисплей X11 или Wayland."
        expect_line "ERROR. Невозможно создать окна скринсейвера."
        expect_line "INFO. Скринсейвер завершил работу."
        expect_end
    done
    ;;
headless)
    env -u DISPLAY -u WAYLAND_DISPLAY SDL_VIDEODRIVER=offscreen "$program" /s 2>"$errors" &
    pid=$!
    i=0
    # Standard error is not buffered like the log: its line tells that the windows are up.
    while [ $i -lt 300 ] && ! grep -qF "headless run" "$errors" 2>/dev/null; do sleep 0.1; i=$((i + 1)); done
    sleep 2
    # How a terminating signal ends a run is not this case's concern; that the log ends is.
    kill -TERM $pid
    wait $pid
    expect_said "halvane: headless run (SDL video driver 'offscreen'): nothing is shown on a screen" 1
    expect_line "WARNING. Дисплея нет: запуск без вывода на экран, видеодрайвер [offscreen]."
    expect_end
    ;;
unwritable_data)
    # A file where the data folder should be: no log can exist.
    : > "$work/data"
    "$program" /a 2>"$errors"
    status=$?
    [ $status -eq 0 ] || fail "exit status $status"
    expect_said "halvane: cannot write the log $XDG_DATA_HOME/Quorvel Studio/NuvLog.txt" 1
    ;;
unwritable_settings)
    # A file where the configuration folder should be: nothing can be saved.
    : > "$work/config"
    "$program" /a 2>"$errors"
    status=$?
    [ $status -eq 0 ] || fail "exit status $status"
    expect_said "halvane: the settings cannot be saved to $store" 1
    n=$(grep -c "не могут быть сохранены" "$log")
    [ "$n" -eq 1 ] || fail "the log says $n times that the settings cannot be saved"
    expect_line "ERROR. Невозможно записать в реестр значения по-умолчанию."
    expect_line "INFO. Значения параметров прочитаны из реестра."
    expect_line "INFO. Volume: 50"
    expect_line "INFO. Сейвер создан."
    expect_end
    ;;
unreadable_settings)
    mkdir -p "$store"
    "$program" /a 2>"$errors"
    expect_said "halvane: cannot read the settings file $store: a folder is in its place" 1
    expect_line "ERROR. Неудачна попытка открытия пути реестра [$store]."
    expect_line "ERROR. Невозможно прочитать значения параметров из реестра."
    expect_line "ERROR. Невозможно создать скринсейвер."
    expect_end
    [ -d "$store" ] || fail "the folder in the store's place was touched"
    ;;
settings_lines)
    mkdir -p "$(dirname "$store")"
    printf 'Volume=abc\nShowFPS=1\nGamma=-500\nWidth=0\n' > "$store"
    "$program" /a 2>"$errors"
    status=$?
    [ $status -eq 0 ] || fail "exit status $status"
    expect_line "WARNING. Файл настроек [$store], строка 1: не является значением параметра и пропущена."
    expect_line "WARNING. Значение параметра Gamma [-500] вне допустимых пределов, используется [-100]."
    expect_line "WARNING. Значение параметра Width [0] вне допустимых пределов, используется [800]."
    expect_line "INFO. ShowFPS: true"
    expect_line "INFO. Volume: 50"
    expect_line "INFO. Gamma: -100"
    expect_line "INFO. Width: 800"
    expect_end
    ;;
*)
    echo "unknown case $case_name"
    exit 2
    ;;
esac

if [ $failures -ne 0 ]; then
    echo "--- standard error:"
    cat "$errors" 2>/dev/null
    echo "--- log:"
    cat "$log" 2>/dev/null
    exit 1
fi
exit 0
