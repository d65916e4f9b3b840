#!/usr/bin/env bash
# Times the library windows in a running Tandem under Wine with a generated
# library: from "Tracks" pressed until all N tracks (100,000) are shown,
# sorting them by title, and opening the playlist editor on a playlist of M
# items (20,000). Measures this tree and another revision (by default "main",
# built from `git archive` in build/base-win) in the same run, and writes the
# report to build/bench/libwin.txt.
# Usage: bench/libwin.sh [--tracks N] [--items M] [--base REV]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
tracks=100000
items=20000
base=main

while [ $# -gt 0 ]; do
  case "$1" in
    --tracks) tracks=$2; shift 2 ;;
    --items) items=$2; shift 2 ;;
    --base) base=$2; shift 2 ;;
    -h|--help) sed -n '2,8p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "libwin: unknown argument $1" >&2; exit 2 ;;
  esac
done

source scripts/lib/env.sh
toolchain="$root/cmake/mingw-w64.cmake"
build="$root/build/win"
[ -f "$build/CMakeCache.txt" ] || cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_TOOLCHAIN_FILE="$toolchain" >/dev/null
cmake --build "$build" -j2 --target libwin_bench

# The other revision's program, from its own sources and build folder.
rm -rf "$root/build/base-src" && mkdir -p "$root/build/base-src"
git archive "$base" | tar -x -C "$root/build/base-src"
cmake -S "$root/build/base-src" -B "$root/build/base-win" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_TOOLCHAIN_FILE="$toolchain" >/dev/null
cmake --build "$root/build/base-win" -j2 --target tandem

start_display
mkdir -p "$root/build/bench"
report="$root/build/bench/libwin.txt"
{
  echo "library windows under Wine, $(date -u '+%Y-%m-%d %H:%M UTC'), $tracks tracks, $items items"
  for which in "this tree" "$base"; do
    exe=""
    [ "$which" = "$base" ] && exe=$(winepath -w "$root/build/base-win/tandem.exe")
    echo "-- $which"
    TANDEM_BENCH_EXE=$exe TANDEM_BENCH_TRACKS=$tracks TANDEM_BENCH_ITEMS=$items \
      wine "$build/libwin_bench.exe" --gtest_filter='LibraryBench.TrackListAndPlaylistEditor' 2>/dev/null |
      tr -d '\r' | grep -E ' ms$|FAILED|Failure' || true
  done
} | tee "$report"
