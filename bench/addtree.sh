#!/usr/bin/env bash
# Times "Add directory" of a generated folder tree of tagged MP3 files (20,000
# by default) in a running Tandem under Wine, until the table shows them.
# Prints "add of N files until the rows are shown: T ms".
# Usage: bench/addtree.sh [--build DIR] [--prefix DIR] [--files N]
# Defaults: build/win and build/wineprefix of this tree.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build="$root/build/win"
prefix=""
files=20000

while [ $# -gt 0 ]; do
  case "$1" in
    --build) build=$2; shift 2 ;;
    --prefix) prefix=$2; shift 2 ;;
    --files) files=$2; shift 2 ;;
    -h|--help) sed -n '2,6p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "addtree: unknown argument $1" >&2; exit 2 ;;
  esac
done

source scripts/lib/env.sh
[ -n "$prefix" ] && export WINEPREFIX=$prefix
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" >/dev/null
fi
cmake --build "$build" -j2 --target libwin_bench

start_display
TANDEM_BENCH_FILES=$files wine "$build/libwin_bench.exe" --gtest_filter='LibraryBench.AddTree' 2>/dev/null | tr -d '\r' |
  grep -E '^add of|FAILED|Failure|error' 
