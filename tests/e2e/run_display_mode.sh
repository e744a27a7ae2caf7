#!/bin/sh
# The display mode of a full-screen run with "Use desktop settings" off:
#   run_display_mode.sh PROGRAM
# 1. On an X server that can change its mode (Xorg with a dummy screen, 1024x768 with 800x600
#    among its modes) the display runs at 800x600 while the program runs, and is back at
#    1024x768 after a click ends it and after a terminating signal ends it.
# 2. On Xvfb, which has one mode only, the run says so in its log and its window covers the
#    whole display.
# xrandr reads the mode from outside; the window's size comes from xdotool.
set -u
program=$1

. "$(dirname "$0")/e2e_lib.sh"
e2e_begin mode
xorg_pid=
cleanup() {
    if [ -n "$xorg_pid" ]; then kill "$xorg_pid" 2>/dev/null; wait "$xorg_pid" 2>/dev/null; fi
    rm -rf "$work"
}
trap cleanup EXIT
settings="$XDG_CONFIG_HOME/Software/Tessaly Software/Halvane 3D Screensaver.conf"
mkdir -p "$(dirname "$settings")"
printf 'UseDesktopSettings=0\nWidth=800\nHeight=600\nColorDepth=32\n' > "$settings"

current_mode() {
    xrandr 2>/dev/null | awk '/\*/ { print $1; exit }'
}

# Starts the program, waits for its window and writes "MODE WIDTHxHEIGHT" of the display and
# the window to $work/during, then ends the run with $1 (click or term).
cat > "$work/drive.sh" <<'DRIVE'
#!/bin/sh
"$1" /s &
pid=$!
timeout 30 xdotool search --sync --onlyvisible --name "Halvane" >/dev/null
sleep 2
mode=$(xrandr 2>/dev/null | awk '/\*/ { print $1; exit }')
size=$(xdotool search --onlyvisible --name "Halvane" getwindowgeometry 2>/dev/null | awk '/Geometry/ { print $2; exit }')
echo "$mode $size" > "$2/during"
if [ "$3" = click ]; then xdotool mousemove 300 300 click 1; else kill -TERM $pid; fi
i=0
while [ $i -lt 100 ] && kill -0 $pid 2>/dev/null; do sleep 0.1; i=$((i + 1)); done
if kill -0 $pid 2>/dev/null; then echo "the run did not end"; kill -KILL $pid; fi
wait $pid
DRIVE
chmod +x "$work/drive.sh"

# 1. A display that switches.
if [ "$(id -u)" -ne 0 ] || ! command -v Xorg >/dev/null || [ ! -e /usr/lib/xorg/modules/drivers/dummy_drv.so ]; then
    echo "SKIPPED: Xorg with the dummy driver, run as root, is needed for the switching half"
else
    cat > "$work/xorg.conf" <<'CONF'
Section "Device"
    Identifier "dummy"
    Driver "dummy"
    VideoRam 65536
EndSection
Section "Monitor"
    Identifier "monitor"
    HorizSync 5.0 - 1000.0
    VertRefresh 5.0 - 200.0
    Modeline "1024x768" 63.50 1024 1072 1176 1328 768 771 775 798 -hsync +vsync
    Modeline "800x600" 38.25 800 832 912 1024 600 603 607 624 -hsync +vsync
EndSection
Section "Screen"
    Identifier "screen"
    Device "dummy"
    Monitor "monitor"
    DefaultDepth 24
    SubSection "Display"
        Depth 24
        Modes "1024x768" "800x600"
    EndSubSection
EndSection
CONF
    n=90
    while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
    Xorg ":$n" -noreset -nolisten tcp -config "$work/xorg.conf" -logfile "$work/xorg.log" >/dev/null 2>&1 &
    xorg_pid=$!
    export DISPLAY=":$n"
    i=0
    while [ $i -lt 100 ] && ! xrandr >/dev/null 2>&1; do sleep 0.1; i=$((i + 1)); done
    before=$(current_mode)
    [ "$before" = 1024x768 ] || fail "the dummy screen starts at [$before]"
    for end in click term; do
        rm -f "$log" "$work/during"
        "$work/drive.sh" "$program" "$work" $end
        status=$?
        [ $status -eq 0 ] || fail "exit status $status ($end)"
        during=$(cat "$work/during" 2>/dev/null)
        [ "$during" = "800x600 800x600" ] || fail "while running ($end): display and window [$during]"
        after=$(current_mode)
        [ "$after" = 1024x768 ] || fail "after the run ended by $end the display is at [$after]"
        grep -qxF "INFO. Режим дисплея переключён на 800x600." "$log" || fail "no switch in the log ($end)"
        [ "$(tail -n 1 "$log")" = "INFO. Конец лога." ] || fail "the log does not end ($end)"
    done
    kill "$xorg_pid" 2>/dev/null
    wait "$xorg_pid" 2>/dev/null
    xorg_pid=
fi

# 2. A display that cannot switch.
rm -f "$log" "$work/during"
"$(dirname "$0")/in_xvfb.sh" "-screen 0 1024x768x24" "$work/drive.sh" "$program" "$work" click
status=$?
[ $status -eq 0 ] || fail "exit status $status on Xvfb"
during=$(cat "$work/during" 2>/dev/null)
[ "$during" = "1024x768 1024x768" ] || fail "on Xvfb: display and window [$during]"
grep -qxF "WARNING. Режим 800x600x32 недоступен; используется режим рабочего стола 1024x768x32." "$log" ||
    fail "no line saying the mode is not available"
[ "$(tail -n 1 "$log" 2>/dev/null)" = "INFO. Конец лога." ] || fail "the log does not end on Xvfb"

e2e_end
