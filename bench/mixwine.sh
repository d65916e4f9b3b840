#!/usr/bin/env bash
# Tandem under Wine mixing the demo library unattended (scripts/demo
# --forever): the CPU time tandem.exe uses over SECONDS (default 60) of
# mixing, and the gaps between the volume commands of each fade, from the
# players' journals. Prints "cpu: P % of a core" and "fade steps: ...".
# With --actions, a user's hands (mixinject.exe) press SKIP, NEXT, PAUSE,
# STOP, change the fade settings, repeat and shuffle and close players
# meanwhile; it adds the changes seen, the longest silence and the longest
# "Fading". Usage: bench/mixwine.sh [--actions] [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
actions=0
if [ "${1:-}" = "--actions" ]; then actions=1; shift; fi
seconds=${1:-60}
log=build/mixwine.log
mkdir -p build
root=$PWD
source scripts/lib/env.sh
# The hands need the demo's display: one for both.
if [ "$actions" = 1 ]; then start_display; export TANDEM_DISPLAY=$DISPLAY; fi
setsid ./scripts/demo --forever >"$log" 2>&1 &
demo=$!
trap 'kill -INT -- -"$demo" 2>/dev/null || true; [ "$actions" = 0 ] || stop_display' EXIT
for _ in $(seq 600); do grep -q "now playing" "$log" && break; sleep 0.5; done
grep -q "now playing" "$log" || { cat "$log"; echo "mixwine: the demo did not start" >&2; exit 1; }

# The Wine process that runs this build's program.
pid=""
for p in $(pgrep -f 'build/win/tandem\.exe'); do
  [ "$(cat /proc/$p/comm 2>/dev/null)" = "tandem.exe" ] && pid=$p
done
[ -n "$pid" ] || { echo "mixwine: no tandem.exe process" >&2; exit 1; }
ticks() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
# Second by second too: the quiet seconds are those between mixes.
inject=""
if [ "$actions" = 1 ]; then
  cmake --build build/win -j2 --target mixinject >/dev/null
  wine build/win/mixinject.exe "$seconds" >build/mixwine.actions 2>&1 &
  inject=$!
fi
before=$(ticks)
last=$before
for _ in $(seq "$seconds"); do
  sleep 1
  now=$(ticks)
  echo $((now - last))
  last=$now
done >build/mixwine.seconds
after=$(ticks)
[ -z "$inject" ] || { wait "$inject" || true; cat build/mixwine.actions; }
kill -INT -- -"$demo"
wait "$demo" || true
[ "$actions" = 0 ] || stop_display
trap - EXIT
awk -v t="$((after - before))" -v hz="$(getconf CLK_TCK)" -v s="$seconds" \
  'BEGIN { printf "cpu: %.2f %% of a core over %d s (%d ticks)\n", 100 * t / hz / s, s, t }'
sort -n build/mixwine.seconds | awk -v hz="$(getconf CLK_TCK)" '{ a[NR] = $1 }
  END { printf "cpu per second: quietest %.0f %%, median %.0f %%, busiest %.0f %%\n",
        100 * a[1] / hz, 100 * a[int((NR + 1) / 2)] / hz, 100 * a[NR] / hz }'

# A fade step is a volume command strictly between silence and the player's
# level; the gap is the time since the player's previous step of that fade.
for f in build/demo/journals/journal-*.txt; do
  awk '/USER code=122 / {
         for (i = 1; i <= NF; ++i) { split($i, kv, "="); v[kv[1]] = kv[2] }
         if (v["arg"] > 0 && v["arg"] < 204 && v["state"] == 1) {
           if (inFade) print v["t"] - last
           inFade = 1; last = v["t"]
         } else inFade = 0
       }' "$f"
done | sort -n | awk '{ a[NR] = $1; sum += $1 }
  END { if (NR) printf "fade steps: %d gaps, mean %.1f ms, median %d ms, max %d ms\n", NR, sum / NR, a[int((NR + 1) / 2)], a[NR]
        else print "fade steps: none" }'
