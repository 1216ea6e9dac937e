#!/bin/sh
# Builds the libFuzzer targets with clang and runs the segment file decoder for a
# bounded time. Usage: scripts/fuzz.sh [seconds]   (default 30)
set -eu
seconds="${1:-30}"
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${LORETH_FUZZ_BUILD:-$root/build-fuzz}"

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja \
  -DLORETH_FUZZ=ON -DLORETH_QT=OFF -DLORETH_TESTS=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" --target segment_file_fuzz open_path_fuzz

for target in segment_file open_path; do
  corpus="$build/corpus/$target"
  mkdir -p "$corpus"
  # A seed of the file's size, so the fuzzer starts from tables that load.
  [ -f "$corpus/seed-zero" ] || head -c 408 /dev/zero >"$corpus/seed-zero"
  "$build/fuzz/${target}_fuzz" -max_total_time="$seconds" -max_len=1024 -print_final_stats=1 \
    "$corpus"
done
