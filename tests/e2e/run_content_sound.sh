#!/bin/sh
# What the default content sounds like: the real program on its embedded scene, under a virtual
# display, with OpenAL Soft's wave output recording the mix; sox (a program we did not write)
# then measures the recording: the music and the effects are there, at sane levels, unclipped.
# Usage: run_content_sound.sh PROGRAM
set -u
program=$1
command -v sox >/dev/null 2>&1 || { echo "sox is not installed"; exit 1; }
work=$(mktemp -d "${TMPDIR:-/tmp}/halvane_sound.XXXXXX")
trap 'rm -rf "$work"' EXIT
export XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config" LP_NUM_THREADS=2 LANG=C.UTF-8
unset ALSOFT_DRIVERS
cat > "$work/alsoft.conf" <<CONF
[general]
drivers = wave
channels = stereo
sample-type = int16
frequency = 44100
[wave]
file = $work/mix.wav
CONF
export ALSOFT_CONF="$work/alsoft.conf"
mkdir -p "$XDG_CONFIG_HOME/Software/Tessaly Software"
printf 'Width=800\nHeight=600\nUseDesktopSettings=0\nMusic=1\nSFX=1\nVolume=100\n' \
    > "$XDG_CONFIG_HOME/Software/Tessaly Software/Halvane 3D Screensaver.conf"
"$(dirname "$0")/in_xvfb.sh" "-screen 0 800x600x24" sh -c '"$1" /s & pid=$!; sleep 14; kill -TERM $pid; wait $pid' _ "$program"
status=$?
[ $status -eq 0 ] || { echo "FAIL: exit status $status"; exit 1; }
[ -s "$work/mix.wav" ] || { echo "FAIL: nothing was recorded"; exit 1; }
# The last eight seconds: the scene is running and the music has started.
length=$(soxi -D "$work/mix.wav")
stats=$(sox "$work/mix.wav" -n trim "$(awk -v l="$length" 'BEGIN { print l - 8 }')" stat 2>&1)
rms=$(echo "$stats" | sed -n 's/^RMS *amplitude: *//p')
peak=$(echo "$stats" | sed -n 's/^Maximum amplitude: *//p')
echo "recorded ${length} s; last 8 s: RMS $rms, peak $peak"
ok=$(awk -v r="$rms" -v p="$peak" 'BEGIN { print (r > 0.01 && r < 0.5 && p < 0.999) ? 1 : 0 }')
[ "$ok" = 1 ] || { echo "FAIL: levels out of range"; exit 1; }
exit 0
