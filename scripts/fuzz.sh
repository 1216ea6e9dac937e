#!/bin/sh
# Builds the libFuzzer targets with clang and runs the segment file decoder for a
# bounded time. Usage: scripts/fuzz.sh [seconds]   (default 30)
set -eu
seconds="${1:-30}"
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${LORETH_FUZZ_BUILD:-$root/build-fuzz}"

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja \
  -DLORETH_FUZZ=ON -DLORETH_QT=OFF -DLORETH_TESTS=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" --target segment_file_fuzz

corpus="$build/corpus/segment_file"
mkdir -p "$corpus"
"$build/fuzz/segment_file_fuzz" -max_total_time="$seconds" -max_len=1024 -print_final_stats=1 \
  "$corpus"
