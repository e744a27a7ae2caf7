#!/bin/sh
# The settings dialog driven by the keyboard under Xvfb: run_dialog_case.sh CASE PROGRAM [SHOTS]
#   ok      change settings and press Enter; a second run shows them (its edits flip them back)
#   cancel  change settings and press Escape: the store keeps its bytes
#   about   the About dialog opens from the settings dialog, ignores Escape and closes with OK
#   nodisplay  without a display the dialog cannot be shown: the run fails, the process ends normally
# SHOTS, when given, is a folder that receives screenshots of the dialogs.
# Each run gets its own data and configuration folders; the checks read the settings store.
set -u
case_name=$1
program=$2
shots=${3:-}

. "$(dirname "$0")/e2e_lib.sh"
e2e_begin dialog
export NO_AT_BRIDGE=1
store="$XDG_CONFIG_HOME/Software/Tessaly Software/Halvane 3D Screensaver.conf"

expect_value() {
    grep -qxF "$1" "$store" || fail "store has no [$1]: $(tr '\n' ' ' < "$store")"
}

# The driver runs inside the virtual display: it starts the program, waits for the dialog, gives
# it the keyboard, then runs the steps given as "keys ..." / "wait-about" / "shot NAME" / "check-about-open".
cat > "$work/drive.sh" <<'DRIVE'
#!/bin/sh
program=$1
work=$2
steps=$3
"$program" &
pid=$!
id=$(timeout 30 xdotool search --sync --onlyvisible --name "Configuration" | head -n 1)
if [ -z "$id" ]; then echo "no settings dialog"; kill -TERM $pid; wait $pid; exit 1; fi
sleep 1
cp "$XDG_CONFIG_HOME/Software/Tessaly Software/Halvane 3D Screensaver.conf" "$work/store_shown" 2>/dev/null
# Without a window manager the keyboard goes where the X server's focus is: on the dialog.
eval "$(xdotool getwindowgeometry --shell "$id")"
xdotool mousemove $((X + 3)) $((Y + 3))
timeout 5 xdotool windowfocus --sync "$id"
sleep 0.3
status=0
while read -r step args; do
    case $step in
    keys) xdotool key --delay 40 $args; sleep 0.3 ;;
    shot) import -window "$id" "$work/$args.png" ;;
    about)
        about=$(timeout 10 xdotool search --sync --onlyvisible --name "^About$" | head -n 1)
        if [ -z "$about" ]; then echo "no About dialog"; status=1; continue; fi
        sleep 1
        [ "$args" = shot ] && import -window "$about" "$work/about.png"
        eval "$(xdotool getwindowgeometry --shell "$about")"
        xdotool mousemove $((X + 3)) $((Y + 3))
        timeout 5 xdotool windowfocus --sync "$about"
        sleep 0.3
        xdotool key Escape
        sleep 1
        xdotool search --onlyvisible --name "^About$" >/dev/null || { echo "Escape closed the About dialog"; status=1; }
        xdotool key Return
        sleep 1
        if xdotool search --onlyvisible --name "^About$" >/dev/null; then echo "OK left the About dialog open"; status=1; fi
        eval "$(xdotool getwindowgeometry --shell "$id")"
        xdotool mousemove $((X + 3)) $((Y + 3))
        timeout 5 xdotool windowfocus --sync "$id"
        sleep 0.3
        ;;
    esac
done < "$steps"
# The program ends with the dialog, after its shutdown pause.
i=0
while [ $i -lt 100 ] && kill -0 $pid 2>/dev/null; do sleep 0.1; i=$((i + 1)); done
if kill -0 $pid 2>/dev/null; then echo "the dialog did not end the program"; kill -TERM $pid; status=1; fi
wait $pid
code=$?
[ $code -eq 0 ] || { echo "exit status $code"; status=1; }
exit $status
DRIVE
chmod +x "$work/drive.sh"

run() {
    printf '%s\n' "$@" > "$work/steps"
    "$(dirname "$0")/in_xvfb.sh" "-screen 0 1024x768x24" "$work/drive.sh" "$program" "$work" "$work/steps" || fail "run: $*"
    grep -qxF "INFO. Режим скринсейвера 3." "$log" || fail "not the settings mode"
    grep -qxF "INFO. Запущен режим конфигурирования." "$log" || fail "the settings mode did not start"
    grep -qxF "INFO. Работа скринсейвера завершена корректно." "$log" || fail "the run did not end normally"
    # The settings mode makes no window of the engine's.
    if grep -qF "Создание системного окна" "$log"; then fail "a system window was made"; fi
    [ "$(tail -n 1 "$log")" = "INFO. Конец лога." ] || fail "the log ends with [$(tail -n 1 "$log")]"
}
# The pictures are night scenes: a window that shows one has a share of dark blue pixels.
expect_picture() {
    share=$(convert "$work/$1.png" -fx '(b>0.15 && r<0.2 && g<0.25 && b>r+0.05)?1:0' -format '%[fx:mean*100]' info: 2>/dev/null)
    awk -v s="${share:-0}" 'BEGIN { exit !(s > 1) }' || fail "$1: no picture (dark blue share ${share:-none}%)"
}
save_shot() {
    [ -n "$shots" ] && [ -f "$work/$1.png" ] && mkdir -p "$shots" && cp "$work/$1.png" "$shots/$1.png"
}

# From a first run's focus (Use Desktop Settings, the mode list being disabled): volume +5, music,
# show FPS, the other clock format, gamma -20, reflections; each toggle inverts what the dialog showed.
edits="keys space Tab Right Right Right Right Right Tab space Tab Tab space Tab Tab Tab"

case $case_name in
ok)
    run "$edits Right Tab Left Left Left Left Left Left Left Left Left Left Left Left Left Left Left Left Left Left Left Left Tab space" \
        "shot settings" "keys Return"
    save_shot settings
    expect_picture settings
    expect_value "UseDesktopSettings=0"
    expect_value "Volume=55"
    expect_value "Music=0"
    expect_value "SFX=1"
    expect_value "ShowFPS=1"
    expect_value "Hour24=1"
    expect_value "Gamma=-10"
    expect_value "Reflections=0"
    expect_value "Shadows=1"
    # The mode list kept the desktop's mode selected, and OK takes it.
    expect_value "Width=1024"
    expect_value "Height=768"
    # Again: the list is enabled now and has the keyboard first. The same edits invert every
    # value the dialog shows, so the store tells that the controls held what was saved.
    run "keys Tab" "$edits Left Tab Left Left Left Left Left Left Left Left Left Left Left Left Left Left Left Left Left Left Left Left Tab space" \
        "keys Return"
    expect_value "UseDesktopSettings=1"
    expect_value "Volume=60"
    expect_value "Music=1"
    expect_value "ShowFPS=0"
    expect_value "Hour24=0"
    expect_value "Gamma=-30"
    expect_value "Reflections=1"
    ;;
cancel)
    run "$edits" "keys Escape"
    if ! cmp -s "$work/store_shown" "$store"; then fail "Cancel changed the store"; fi
    expect_value "Volume=50"
    expect_value "UseDesktopSettings=1"
    ;;
about)
    # Backwards from the first control: Cancel, OK, Restore Defaults, About.
    run "keys shift+Tab shift+Tab shift+Tab shift+Tab Return" "about shot" "keys Escape"
    save_shot about
    expect_picture about
    if ! cmp -s "$work/store_shown" "$store"; then fail "the store changed"; fi
    ;;
nodisplay)
    env -u DISPLAY -u WAYLAND_DISPLAY "$program" /c
    status=$?
    [ $status -eq 1 ] || fail "exit status $status (a dialog that could not be shown is a failure)"
    for line in "INFO. Запущен режим конфигурирования." "ERROR. Невозможно показать диалог настроек: нет дисплея." \
        "ERROR. Работа скринсейвера завершена некорректно." "INFO. Скринсейвер завершил работу."; do
        grep -qxF "$line" "$log" || fail "no line [$line]"
    done
    [ "$(tail -n 1 "$log")" = "INFO. Конец лога." ] || fail "the log ends with [$(tail -n 1 "$log")]"
    ;;
*)
    echo "unknown case $case_name"
    exit 2
    ;;
esac

e2e_end
