#!/usr/bin/env bash
# Tandem under Wine mixing a library of 20 to 60 s tracks unattended for
# MINUTES (default 60), with a user's hands and faults (bench/mixinject.cpp):
# SKIP, NEXT, PAUSE, STOP, fade settings and shuffle through the panel; a
# file removed before its turn, the playing player killed, suspended for
# 10 s or stopped from its window. Real tandem.exe and tplayer.exe, which
# Tandem starts itself, on a private display and sound server.
# Prints (and writes to build/bench/mixwine.txt): changes, user actions and
# faults, the longest silence the user did not cause, the longest "Fading",
# tandem.exe's CPU use, and the gaps between the volume steps of the fades
# from the players' journals.
# With --calm there are no hands and no faults, and the panel is read once a
# second: the figures of the mixing alone. The 40 mixed tracks are stored as
# measured; --measuring N adds N tracks to the track list (not to the
# playlist) that are not, so Tandem measures in the background all along
# (the track list's information line at the end shows how far it got).
# TANDEM_EXE runs another build's tandem.exe (to compare revisions).
# Usage: bench/mixwine.sh [--calm] [--measuring N] [MINUTES]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
calm=""
extra=0
while [ $# -gt 0 ]; do
  case $1 in
    --calm) calm=--calm; shift ;;
    --measuring) extra=$2; shift 2 ;;
    *) break ;;
  esac
done
mode=$calm
report=build/bench/mixwine${calm:+-calm}
if [ "$extra" != 0 ]; then mode="${mode:+$mode }--measuring $extra"; report=$report-measuring; fi
minutes=${1:-60}
seconds=$((minutes * 60))
out=build/mixwine
./scripts/setup >/dev/null
source scripts/lib/env.sh
build=build/win
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
  >"$build.configure.log" 2>&1 || { cat "$build.configure.log"; exit 1; }
cmake --build "$build" -j2 --target tandem tplayer mixinject >/dev/null
rm -rf "$out"
mkdir -p "$out/library" "$out/journals" build/bench
windows() { local p=${1//\//\\}; echo "Z:$p"; }

start_sound
start_display
trap 'stop_display; stop_sound' EXIT
./scripts/register-player --player "$build/tplayer.exe" >/dev/null
wine "$build/mixinject.exe" --library "$(windows "$root/$out/library")" "$(windows "$root/$out/night.tdb")" 40 1 "$extra"
wine reg add 'HKEY_CURRENT_USER\Software\Brightwater\Tandem' /v Recent /t REG_SZ \
  /d "$(windows "$root/$out/night.tdb")" /f >/dev/null
export TPLAYER_JOURNAL
TPLAYER_JOURNAL="$(windows "$root/$out/journals")\\journal-%p.txt"
tandem_exe=${TANDEM_EXE:-$build/tandem.exe}
wine "$tandem_exe" >"$out/tandem.log" 2>&1 &
wine "$build/mixinject.exe" "$seconds" 1 "$(windows "$root/$out/library")" $calm >"$out/hands.txt" 2>&1 &
hands=$!

# The Wine process that runs this build's program.
pid=""
for _ in $(seq 600); do
  for p in $(pgrep -f -- "$tandem_exe" || true); do
    [ "$(cat /proc/$p/comm 2>/dev/null)" = "tandem.exe" ] && pid=$p
  done
  [ -n "$pid" ] && break
  sleep 0.1
done
[ -n "$pid" ] || { echo "mixwine: no tandem.exe process" >&2; exit 1; }
ticks() { awk '{print $14 + $15}' "/proc/$pid/stat" 2>/dev/null || echo 0; }
# "thread ticks" of each of its threads (past the name, which may hold spaces).
thread_ticks() { for t in /proc/$pid/task/*; do echo "${t##*/} $(sed 's/^.*) //' "$t/stat" 2>/dev/null | awk '{print $12 + $13}')"; done; }
before=$(ticks)
thread_ticks >"$out/threads-before.txt"
wait "$hands" || { cat "$out/hands.txt"; echo "mixwine: the hands failed" >&2; exit 1; }
after=$(ticks)
thread_ticks >"$out/threads-after.txt"
for _ in $(seq 100); do [ -d "/proc/$pid" ] || break; sleep 0.2; done

{
  echo "mixwine${mode:+ $mode}: $minutes minutes, 40 tracks of 20 to 60 s, fade over 2000 ms + duo 2000 ms"
  cat "$out/hands.txt"
  awk -v t="$((after - before))" -v hz="$(getconf CLK_TCK)" -v s="$seconds" \
    'BEGIN { printf "tandem.exe cpu: %.2f %% of a core over %d s (%d ticks)\n", 100 * t / hz / s, s, t }'
  # The busiest threads alive at both ends: with --measuring the first is the
  # measuring worker; the decoder's threads that come and go count in the total only.
  awk 'NR == FNR { b[$1] = $2; next } { print $2 - b[$1] }' \
    "$out/threads-before.txt" "$out/threads-after.txt" | sort -rn | head -5 |
    awk -v hz="$(getconf CLK_TCK)" -v s="$seconds" '{ line = line sprintf(" %.2f", 100 * $1 / hz / s) }
      END { print "tandem.exe busiest threads, % of a core:" line }'
  # A fade step is a volume command strictly between silence and the level;
  # the gap is the time since the same player's previous step of that fade.
  for f in "$out"/journals/journal-*.txt; do
    awk '/USER code=122 / {
           for (i = 1; i <= NF; ++i) { split($i, kv, "="); v[kv[1]] = kv[2] }
           if (v["arg"] > 0 && v["arg"] < 204 && v["state"] == 1) {
             if (inFade) print v["t"] - last
             inFade = 1; last = v["t"]
           } else inFade = 0
         }' "$f"
  done | sort -n | awk '{ a[NR] = $1; sum += $1 }
    END { p99 = int(NR * 0.99); if (p99 < 1) p99 = 1
          if (NR) printf "fade steps: %d gaps, mean %.1f ms, median %d ms, 99th %d ms, max %d ms\n", NR, sum / NR,
                         a[int((NR + 1) / 2)], a[p99], a[NR]
          else print "fade steps: none" }'
} | tee "$report.txt"
