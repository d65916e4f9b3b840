#!/usr/bin/env bash
# The substitute player's timing as heard under Wine (build/win/playertiming.exe
# beside a private Xvfb and PulseAudio null sink): volume latency, position
# against sound after start, resume and jump, the gap at a hard cut, the share
# of short files heard, CPU playing/paused/idle and private memory after LOADS
# loads (default 1000). Report in build/bench/player-timing.txt; with --player
# EXE it measures another tplayer.exe (an older build) into
# build/bench/player-timing-other.txt.
# Usage: bench/playertiming.sh [--player EXE] [LOADS]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
command="bench/playertiming.sh $*"
player=""
if [ "${1:-}" = "--player" ]; then player=$(realpath "$2"); shift 2; fi
loads=${1:-1000}
source scripts/lib/env.sh
cmake --build build/win -j2 --target tplayer playertiming >/dev/null
work="$root/build/bench/playertiming"
rm -rf "$work"
mkdir -p "$work"
start_sound
start_display
trap 'stop_display; stop_sound' EXIT
report=build/bench/player-timing${player:+-other}.txt
{
  echo "$command: tplayer ${player:-$(git rev-parse --short HEAD)$(git diff --quiet HEAD -- player || echo +)} under $(wine --version 2>/dev/null), $(date -u '+%Y-%m-%d %H:%M') UTC, load average $(cut -d' ' -f1-3 /proc/loadavg)"
  wine build/win/playertiming.exe "Z:${work//\//\\}" "$loads" ${player:+"Z:${player//\//\\}"} 2>/dev/null
} | tee "$report"
