#!/bin/sh
# Installs what is missing, builds everything and runs every test:
#  1. the Linux build: unit tests, the Qt backend offscreen, and the end-to-end
#     tests under Xvfb + openbox (the X11 port, Loreth driving a key recorder and mpv);
#  2. the same unit and Qt tests built with AddressSanitizer and UBSan;
#  3. the fuzzer on the segment file decoder, for a bounded time;
#  4. the Windows build, cross-built with mingw-w64, and its tests under Wine.
set -eu
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
scripts/deps.sh test

echo "== format"
files=$(git ls-files '*.cpp' '*.h' 2>/dev/null || find . -name '*.cpp' -o -name '*.h')
# shellcheck disable=SC2086
clang-format --dry-run --Werror $files

echo "== Linux build and tests"
cmake --preset default
cmake --build --preset default
ctest --preset default -LE e2e
# Real windows on a shared machine: an end-to-end test that fails is run once more.
ctest --preset default -L e2e --repeat until-pass:2

echo "== sanitizers (ASan + UBSan)"
cmake --preset asan
cmake --build --preset asan
ctest --preset asan -LE e2e

echo "== fuzzing the segment file decoder"
scripts/fuzz.sh "${LORETH_FUZZ_SECONDS:-30}"

echo "== Windows build under Wine"
scripts/test-windows.sh
echo "All tests passed."
