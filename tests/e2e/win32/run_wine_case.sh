#!/usr/bin/env bash
# The Windows program and its dialogs under Wine on a virtual display, driven with xdotool and
# checked from outside: exit statuses, the registry (wine reg query), the log file and windows.
# Usage: run_wine_case.sh CASE WINE_RUN PREFIX PROBE DIALOGS SCREENSAVER [ARGS...]
#   CASE: dialog_ok, dialog_cancel, about, password, preview, saver, sound, configure; or program, which
#   runs SCREENSAVER (any program) with ARGS on the display and exits with its status
# Exit 77 (skipped) where the program needs its Direct3D 9 renderer and the build has none.
set -uo pipefail
case_name=$1 wine_run=$2 prefix=$3 probe=$4 dialogs=$5 saver=$6
extra=("${@:7}")
work=$(mktemp -d "${TMPDIR:-/tmp}/halvane_wine.XXXXXX")
# The server goes with the case, and is gone before the next case starts one.
trap 'WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1; WINEPREFIX="$prefix" wineserver -w >/dev/null 2>&1; rm -rf "$work"' EXIT
log_file() { echo "$prefix/drive_c/users/$(id -un)/AppData/Roaming/Quorvel Studio/NuvLog.txt"; }
fail() {
    echo "FAIL: $*"
    for stream in out err; do
        [[ -s "$work/$stream" ]] && { echo "--- standard $stream:"; grep -v '^ALSA lib' "$work/$stream" | tail -n 10; }
    done
    if [[ -f "$(log_file)" ]]; then echo "--- log:"; iconv -f cp1251 -t utf-8 "$(log_file)" | tail -n 25; fi
    exit 1
}

# Everything that shows a window runs inside one virtual display with its own Wine server.
if [[ -z "${NUV_WINE_CASE_INNER:-}" ]]; then
    export NUV_WINE_CASE_INNER=1
    exec xvfb-run -a -s "-screen 0 1024x768x24 -noreset" "$0" "$@"
fi

wine() { "$wine_run" --prefix "$prefix" "$@"; }
settings_key='HKCU\Software\Quorvel Studio Tests\Dialog'
saver_key='HKCU\Software\Tessaly Software\Halvane 3D Screensaver'

# A value of the key as a number ("" when missing).
reg_value() {
    local raw
    raw=$(wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | awk -v name="$2" '$1 == name && $2 == "REG_DWORD" { print $3 }')
    [[ -n "$raw" ]] && echo $((raw))
}

# Waits up to 30 s for the top-level window titled $1 (less when the program ends first); its
# controls go to $work/controls.
wait_for_window() {
    for _ in $(seq 1 60); do
        [[ -n "${pid:-}" ]] && ! kill -0 "$pid" 2>/dev/null && return 1
        # Shown, and in the same place twice: the clicks go where the controls are.
        if wine "$probe" controls "$1" >"$work/controls" 2>/dev/null && [[ -s "$work/controls" ]] &&
            sleep 0.3 && wine "$probe" controls "$1" >"$work/again" 2>/dev/null && cmp -s "$work/controls" "$work/again"; then
            tr -d '\r' <"$work/controls" >"$work/controls.txt"
            return 0
        fi
        sleep 0.5
    done
    return 1
}

# Clicks the middle (or the given fraction across) of control $1 of the last window found.
click() {
    local fraction=${2:-0.5}
    read -r left top right bottom < <(awk -v id="$1" '$1 == id { print $2, $3, $4, $5; exit }' "$work/controls.txt")
    [[ -n "${left:-}" ]] || fail "no control $1"
    local x
    x=$(awk -v l="$left" -v r="$right" -v f="$fraction" 'BEGIN { printf "%d", l + (r - l) * f }')
    xdotool mousemove "$x" $(((top + bottom) / 2)) click 1
    sleep 0.4
}

# Starts the program in the background; $pid, and its status later through finish.
start() {
    # Each run's own log: an earlier one must not answer for it.
    rm -f "$(log_file)"
    wine "$@" >"$work/out" 2>"$work/err" &
    pid=$!
}
finish() {
    for _ in $(seq 1 60); do kill -0 "$pid" 2>/dev/null || break; sleep 0.5; done
    kill -0 "$pid" 2>/dev/null && { kill "$pid"; fail "the program did not end"; }
    wait "$pid"
}

# The saver cases need the renderer: a build without it says so in the log.
# The Windows process may still be closing its log when the launcher has returned.
wait_for_log_end() {
    for _ in $(seq 1 40); do
        iconv -f cp1251 -t utf-8 "$(log_file)" 2>/dev/null | grep -q 'Конец лога' && return 0
        sleep 0.25
    done
    return 1
}

skip_without_renderer() {
    wait_for_log_end
    if iconv -f cp1251 -t utf-8 "$(log_file)" 2>/dev/null | grep -q 'Невозможно загрузить библиотеку рендерера \[DirectX9\]'; then
        echo "SKIP: this build has no Direct3D 9 renderer module (DirectX9), which this mode needs"
        exit 77
    fi
}

# The log ends with its end line, in Windows-1251.
check_log_end() {
    wait_for_log_end
    local last
    last=$(tail -c 64 "$(log_file)" | tr -d '\r' | tail -n 1)
    [[ "$last" == "$(printf 'INFO. Конец лога.' | iconv -f utf-8 -t cp1251)" ]] || fail "the log does not end with its end line in Windows-1251"
}

case "$case_name" in
program)
    wine "$saver" "${extra[@]}"
    exit $?
    ;;
dialog_ok)
    wine reg delete "$settings_key" /f >/dev/null 2>&1
    start "$dialogs" settings 'Software\Quorvel Studio Tests\Dialog'
    wait_for_window "Halvane 3D Screensaver Configuration" || fail "no settings dialog"
    # The first run wrote the defaults: Show FPS off, snow on, volume 50.
    [[ "$(reg_value "$settings_key" ShowFPS)" == 0 && "$(reg_value "$settings_key" Volume)" == 50 ]] ||
        fail "the first run did not write the defaults"
    click 1044      # Show FPS on
    click 1049      # snow off
    click 1020 0.95 # volume up by a page
    click 1         # OK
    finish
    status=$?
    [[ $status == 1 ]] || fail "dialog result $status, not OK (1)"
    [[ "$(reg_value "$settings_key" ShowFPS)" == 1 ]] || fail "ShowFPS not saved"
    [[ "$(reg_value "$settings_key" Snow)" == 0 ]] || fail "Snow not saved"
    volume=$(reg_value "$settings_key" Volume)
    ((volume > 50 && volume <= 100)) || fail "Volume $volume not raised"
    echo "ok: ShowFPS 1, Snow 0, Volume $volume"
    ;;
dialog_cancel)
    wine reg delete "$settings_key" /f >/dev/null 2>&1
    wine reg add "$settings_key" /v ShowFPS /t REG_DWORD /d 1 /f >/dev/null
    wine reg add "$settings_key" /v Volume /t REG_DWORD /d 30 /f >/dev/null
    start "$dialogs" settings 'Software\Quorvel Studio Tests\Dialog'
    wait_for_window "Halvane 3D Screensaver Configuration" || fail "no settings dialog"
    click 1044 # Show FPS off
    click 1063 # Restore Defaults
    click 2    # Cancel
    finish
    status=$?
    [[ $status == 2 ]] || fail "dialog result $status, not Cancel (2)"
    [[ "$(reg_value "$settings_key" ShowFPS)" == 1 && "$(reg_value "$settings_key" Volume)" == 30 ]] ||
        fail "Cancel changed the registry"
    echo "ok: the registry kept ShowFPS 1 and Volume 30"
    ;;
about)
    start "$dialogs" about
    wait_for_window "About" || fail "no About dialog"
    click 1040 # focus the dialog
    xdotool key Escape
    sleep 1
    kill -0 "$pid" 2>/dev/null || fail "Escape closed the About dialog"
    wait_for_window "About" || fail "the About dialog went"
    click 1
    finish
    status=$?
    [[ $status == 1 ]] || fail "About result $status, not 1"
    echo "ok: only OK closed it"
    ;;
password)
    # Values of the wrong type or out of range: up to four bytes are the number, longer values
    # change nothing, numbers out of range take their limits, and the run goes on.
    wine reg add "$saver_key" /v ShowTime /t REG_DWORD /d 1 /f >/dev/null
    wine reg add "$saver_key" /v Volume /t REG_SZ /d 7 /f >/dev/null
    wine reg add "$saver_key" /v Width /t REG_QWORD /d 1024 /f >/dev/null
    wine reg add "$saver_key" /v Gamma /t REG_DWORD /d 0xfffffed4 /f >/dev/null
    start "$saver" /a
    finish
    status=$?
    [[ $status == 0 ]] || fail "exit status $status"
    wait_for_log_end
    text=$(iconv -f cp1251 -t utf-8 "$(log_file)" | tr -d '\r')
    grep -qx 'INFO. Режим скринсейвера 4.' <<<"$text" || fail "not the password mode"
    grep -qx 'INFO. Volume: 55' <<<"$text" || fail "a REG_SZ of up to four bytes is not read as its bytes"
    grep -qx 'INFO. Width: 800' <<<"$text" || fail "an eight-byte value changed the setting"
    # A number the run cannot use takes its limit, said in the log.
    grep -qx 'WARNING. Значение параметра Gamma \[-300\] вне допустимых пределов, используется \[-100\].' <<<"$text" ||
        fail "the out-of-range Gamma was not corrected with a warning"
    grep -qx 'INFO. Gamma: -100' <<<"$text" || fail "the run does not use the corrected Gamma"
    grep -q 'Создание системного окна' <<<"$text" && fail "the password mode made a window"
    check_log_end
    echo "ok: status 0, no window, the values read by the registry's rule and corrected"
    ;;
preview)
    wine "$probe" parent 8 >"$work/parent" &
    parent_pid=$!
    for _ in $(seq 1 40); do [[ -s "$work/parent" ]] && break; sleep 0.25; done
    hwnd=$(head -n 1 "$work/parent" | tr -d '\r')
    [[ -n "$hwnd" ]] || fail "no parent window"
    start "$saver" /p "$hwnd"
    for _ in $(seq 1 20); do kill -0 "$pid" 2>/dev/null || break; sleep 0.25; done
    kill -0 "$pid" 2>/dev/null || { kill "$parent_pid"; wait "$parent_pid"; skip_without_renderer; }
    wait "$parent_pid"
    finish
    status=$?
    skip_without_renderer
    [[ $status == 0 ]] || fail "exit status $status"
    grep -q 'children [1-9]' "$work/parent" || fail "the preview made no window inside the parent"
    check_log_end
    echo "ok: the preview drew inside the parent and ended with it"
    ;;
saver)
    # The lighter scene (the four options off) loads and draws sooner on a busy machine; the clock
    # still changes the picture every second.
    for option in Reflections Shadows Snow Shine; do
        wine reg add "$saver_key" /v $option /t REG_DWORD /d 0 /f >/dev/null
    done
    wine reg add "$saver_key" /v ShowTime /t REG_DWORD /d 1 /f >/dev/null
    start "$saver" /s
    # A program that cannot draw ends at once; one that can shows its loading screen, then the
    # scene: two shots a second apart that differ (up to 90 s).
    drawn=0
    for _ in $(seq 1 45); do
        if ! kill -0 "$pid" 2>/dev/null; then
            skip_without_renderer
            fail "the program ended before drawing"
        fi
        import -window root "$work/a.png" && sleep 1 && import -window root "$work/b.png" || fail "no screenshot"
        difference=$(compare -metric AE "$work/a.png" "$work/b.png" null: 2>&1)
        # Black, then the loading screen (still), then the scene: two pictures, neither uniform.
        if [[ "${difference%% *}" != 0 &&
            "$(convert "$work/a.png" -format '%[fx:standard_deviation]' info:)" != 0 &&
            "$(convert "$work/b.png" -format '%[fx:standard_deviation]' info:)" != 0 ]]; then
            drawn=1
            break
        fi
        sleep 1
    done
    ((drawn)) || fail "the picture does not change, or the screen is uniform"
    # That may have been the step from the loading screen to the scene: the scene itself moves.
    import -window root "$work/c.png" && sleep 1 && import -window root "$work/d.png" || fail "no screenshot"
    difference=$(compare -metric AE "$work/c.png" "$work/d.png" null: 2>&1)
    [[ "${difference%% *}" != 0 ]] || fail "the running picture does not change"
    xdotool key space
    finish
    status=$?
    [[ $status == 0 ]] || fail "exit status $status"
    check_log_end
    echo "ok: drawn, moving, ended by a key"
    ;;
sound)
    # What the run plays, recorded from outside: Wine plays through ALSA, whose default device
    # here writes a WAV file; sox measures the part after the scene has started.
    cat >"$work/asound.conf" <<CONF
pcm.!default { type file; slave.pcm "null"; file "$work/mix.wav"; format "wav" }
CONF
    wine reg add 'HKCU\Software\Wine\Drivers' /v Audio /d alsa /f >/dev/null
    for option in Reflections Shadows Snow Shine; do
        wine reg add "$saver_key" /v $option /t REG_DWORD /d 0 /f >/dev/null
    done
    wine reg add "$saver_key" /v Music /t REG_DWORD /d 1 /f >/dev/null
    wine reg add "$saver_key" /v Volume /t REG_DWORD /d 100 /f >/dev/null
    export ALSA_CONFIG_PATH="/usr/share/alsa/alsa.conf:$work/asound.conf"
    start "$saver" /s
    # The music starts when the scene is cached; the log says so once it has ended.
    sleep 20
    xdotool key space
    finish
    status=$?
    [[ $status == 0 ]] || fail "exit status $status"
    check_log_end
    grep -q 'Звук инициализирован. Устройство \[1\]' < <(iconv -f cp1251 -t utf-8 "$(log_file)") ||
        fail "the sound device was not opened"
    [[ -s "$work/mix.wav" ]] || fail "nothing was recorded"
    # ALSA's null device takes the sound faster than it plays, so the recording is longer than
    # the run: the whole of it is measured (silence while loading, then music and effects).
    length=$(soxi -D "$work/mix.wav")
    stats=$(sox "$work/mix.wav" -n stat 2>&1)
    rms=$(sed -n 's/^RMS *amplitude: *//p' <<<"$stats")
    peak=$(sed -n 's/^Maximum amplitude: *//p' <<<"$stats")
    echo "recorded ${length} s: RMS $rms, peak $peak"
    awk -v r="$rms" -v p="$peak" 'BEGIN { exit !(r > 0.01 && r < 0.5 && p < 0.999) }' || fail "levels out of range"
    echo "ok: the scene's sound was heard at sane levels"
    ;;
configure)
    for switch in /c ""; do
        wine reg delete "$saver_key" /f >/dev/null 2>&1
        start "$saver" $switch
        if ! wait_for_window "Halvane 3D Screensaver Configuration"; then
            finish
            skip_without_renderer
            fail "no settings dialog for '$switch'"
        fi
        click 1044
        click 1
        finish
        status=$?
        [[ $status == 0 ]] || fail "exit status $status for '$switch'"
        [[ "$(reg_value "$saver_key" ShowFPS)" == 1 ]] || fail "ShowFPS not saved for '$switch'"
    done
    echo "ok: /c and no switch show the dialog, OK saves"
    ;;
*)
    echo "unknown case $case_name"
    exit 2
    ;;
esac
exit 0
