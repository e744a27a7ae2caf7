#!/usr/bin/env bash
# Runs the wave output test under Wine with the sound going to ALSA's file output, then measures
# the recording with sox: the source on the listener's left must be heard, louder on the left.
# Usage: record-wave-output.sh WINE_RUN PREFIX PROGRAM.exe
set -euo pipefail
wine_run="$1" prefix="$2" program="$3"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Wine plays through ALSA, whose default device here writes a WAV file and discards the sound.
cat >"$work/asound.conf" <<CONF
pcm.!default { type file; slave.pcm "null"; file "$work/out.wav"; format "wav" }
CONF
"$wine_run" --prefix "$prefix" reg add 'HKCU\Software\Wine\Drivers' /v Audio /d alsa /f >/dev/null 2>&1
ALSA_CONFIG_PATH="/usr/share/alsa/alsa.conf:$work/asound.conf" "$wine_run" --prefix "$prefix" "$program"
[[ -s "$work/out.wav" ]] || { echo "FAIL: nothing was recorded"; exit 1; }
rms() { sox "$work/out.wav" -n remix "$1" stat 2>&1 | awk '/RMS +amplitude/ {print $3}'; }
left=$(rms 1)
right=$(rms 2)
seconds=$(sox --i -D "$work/out.wav")
echo "recorded ${seconds} s; RMS left ${left}, right ${right}"
# The tone plays for 0.8 s at half scale; the left gain of the source is 0.92, the right 0.38.
awk -v l="$left" -v r="$right" -v s="$seconds" 'BEGIN {
    if (s < 0.6) { print "FAIL: recording shorter than what was played"; exit 1 }
    if (l < 0.05) { print "FAIL: the left channel is silent"; exit 1 }
    if (l < 1.8 * r) { print "FAIL: the source is not heard on the left"; exit 1 }
    print "ok" }'
