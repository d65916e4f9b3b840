#!/bin/sh
# Real encoded files and what ffmpeg says of them, for the meter's cross-check.
#   loudfiles.sh make DIR     writes the files and DIR/loud.txt: "file integrated-LUFS"
#   loudfiles.sh silence DIR  reads DIR/thresholds.txt ("file dB") and writes
#                             DIR/silence.txt: "file start-s end-s" of the sound
#                             louder than that threshold (ffmpeg's silencedetect)
# Either writes DIR/skip.txt instead when a tool is missing.
set -u
cd "$2" || exit 1
rm -f skip.txt
for tool in sox lame ffmpeg ffprobe; do
  command -v $tool >/dev/null || { echo "$tool is missing" >skip.txt; exit 0; }
done

if [ "$1" = make ]; then
  rm -f loud.txt
  R="-r 44100 -c 2 -b 16"
  # A 1 kHz tone (its level in LUFS is its peak in dBFS) with a fade-out, and
  # something like music: plucked notes, hi-hat, kick and bass, cut hard.
  sox -n $R tone.wav synth 9 sine 1000 vol -14dB fade l 0 9 4 pad 1.2 1.5
  sox -n $R hit.wav synth 0.1 noise fade 0 0.1 0.09 vol 0.4 synth 0.1 sine mix 70 fade 0 0.1 0.1 pad 0 0.15
  sox -n $R note.wav synth 0.25 pluck A3 fade 0 0.25 0.2 vol 0.6
  sox hit.wav note.wav hit.wav note.wav beat.wav
  sox beat.wav beat.wav beat.wav beat.wav beat.wav beat.wav beat.wav beat.wav bar.wav
  sox -n $R bass.wav synth 8 sine 55 vol 0.3
  sox -m bar.wav bass.wav music.wav trim 0 8 gain -n -3 pad 0.8 1
  for src in tone music; do
    lame --quiet -b 128 $src.wav $src-lame128.mp3
    lame --quiet -V 0 $src.wav $src-lamev0.mp3
    ffmpeg -nostdin -v error -y -i $src.wav -c:a libmp3lame -b:a 128k $src-ff128.mp3
    ffmpeg -nostdin -v error -y -i $src.wav -c:a libmp3lame -q:a 0 $src-ffv0.mp3
    ffmpeg -nostdin -v error -y -i $src.wav -c:a flac $src.flac
    cp $src.wav $src-copy.wav
  done
  for f in *-lame128.mp3 *-lamev0.mp3 *-ff128.mp3 *-ffv0.mp3 *.flac *-copy.wav; do
    i=$(ffmpeg -nostdin -nostats -hide_banner -i "$f" -af ebur128 -f null - 2>&1 | awk '$1 == "I:" { i = $2 } END { print i }')
    echo "$f $i" >>loud.txt
  done
else
  rm -f silence.txt
  while read -r f t; do
    d=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$f" </dev/null)
    ffmpeg -nostdin -nostats -hide_banner -i "$f" -af silencedetect=noise=${t}dB:d=0.3 -f null - 2>&1 |
      awk -v f="$f" -v d="$d" '
        /silence_start:/ { s = $NF + 0; if (s < 0.01) lead = 1; else last = s }
        /silence_end:/ && lead == 1 { start = $5 + 0; lead = 2 }
        END { print f, start + 0, (last == "" ? d : last) }' >>silence.txt
  done <thresholds.txt
fi
