#!/usr/bin/env bash
# Measuring speed under Wine for one worker: a 4-minute track as lame MP3
# (128 kbit/s CBR and V0), FLAC and WAV, each decoded by Media Foundation
# and measured by loudmeasure.exe. Prints its lines and an estimate for a
# library of 10,000 such tracks. Usage: bench/loudness.sh
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
source scripts/lib/env.sh
dir=build/bench/loudness
mkdir -p "$dir"
cmake --build build/win -j2 --target loudmeasure >/dev/null
if [ ! -f "$dir/track.wav" ]; then
  # Something like music: plucked notes over noise bursts and a bass line.
  sox -n -r 44100 -c 2 -b 16 "$dir/bar.wav" synth 0.5 pluck A3 synth 0.5 pinknoise mix fade 0 0.5 0.3 vol 0.5
  sox -n -r 44100 -c 2 -b 16 "$dir/bass.wav" synth 240 sine 55 vol 0.2
  sox "$dir/bar.wav" "$dir/bars.wav" repeat 479
  sox -m "$dir/bars.wav" "$dir/bass.wav" "$dir/track.wav" trim 0 240 gain -n -1
  lame --quiet -b 128 "$dir/track.wav" "$dir/track-128.mp3"
  lame --quiet -V 0 "$dir/track.wav" "$dir/track-v0.mp3"
  sox "$dir/track.wav" "$dir/track.flac"
fi
start_display
out=$(wine build/win/loudmeasure.exe "$dir/track-128.mp3" "$dir/track-v0.mp3" "$dir/track.flac" "$dir/track.wav" 2>/dev/null | tr -d '\r')
stop_display
echo "$out"
speed=$(sed -n 's/^all:.* decode+measure \([0-9]*\)x real time.*/\1/p' <<<"$out")
[ -n "$speed" ] && awk -v x="$speed" 'BEGIN { printf "10,000 tracks of 4 min at %.0fx: %.1f hours for one worker\n", x, 10000 * 240 / x / 3600 }'
