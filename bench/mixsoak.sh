#!/usr/bin/env bash
# The mixer soak (build/native-*/mixsoak) under a sanitizer, CHANGES in all,
# spread over SHARDS processes that run at once, each with a seed of its own.
# A soak sleeps most of the time on its fast clock (a shard takes a tenth of
# a core under AddressSanitizer, a fifth under ThreadSanitizer), so shards
# finish together about as soon as one of them alone would with its part.
# Keep other work off the machine meanwhile: a starved thread wakes late and
# the clock multiplies that, which the reports take off only in part.
# Writes each shard's report and error output to build/bench/mixsoak-SAN/,
# and their sum to build/bench/mixsoak-SAN.txt: changes in all, the longest
# of each silence and mix over the shards, the sanitizer findings.
# Usage: bench/mixsoak.sh address|thread [CHANGES] [SHARDS] [FIRST_SEED]
set -euo pipefail
cd "$(dirname "$0")/.."
case ${1:-} in
  address) build=build/native-asan; flags=address,undefined ;;
  thread) build=build/native-tsan; flags=thread ;;
  *) echo "usage: bench/mixsoak.sh address|thread [CHANGES] [SHARDS] [FIRST_SEED]" >&2; exit 2 ;;
esac
san=$1 changes=${2:-100000} shards=${3:-5} seed=${4:-1}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTANDEM_SANITIZE=$flags >/dev/null
cmake --build "$build" -j2 --target mixsoak >/dev/null
out=build/bench/mixsoak-$san
rm -rf "$out" && mkdir -p "$out"
export ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 TSAN_OPTIONS=second_deadlock_stack=1
# The soak's track files in memory: a disk held up by another program's
# syncs would hold the panel's thread, and count as silence.
[ -d /dev/shm ] && export TMPDIR=/dev/shm
pids=()
for ((i = 0; i < shards; i++)); do
  part=$(((changes + shards - 1 - i) / shards))
  "$build/mixsoak" "$part" $((seed + i)) "$out/$((seed + i)).txt" 10 >/dev/null 2>"$out/$((seed + i)).err" &
  pids+=($!)
done
# Interrupted, the shards end early with their reports; the second wait lets them write those.
trap 'kill -TERM "${pids[@]}" 2>/dev/null' INT TERM
wait || wait
/usr/bin/python3 bench/mixsoaksum.py "$san" "$out" | tee "$out.txt"
