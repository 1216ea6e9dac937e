#!/usr/bin/env bash
# Makes the Windows download: a zip with Loreth.exe (static, no DLLs) and the
# README, from the "mingw" preset's build (built first when needed).
#   scripts/package-windows.sh   ->  build/mingw/Loreth-<version>-win64.zip
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${LORETH_MINGW_BUILD:-$root/build/mingw}
cd "$root"
if [[ $build == "$root/build/mingw" ]]; then
  cmake --preset mingw >/dev/null
  cmake --build --preset mingw --target loreth_exe
else
  cmake --build "$build" --target loreth_exe
fi

version=$(sed -n 's/^project(Loreth VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir "$stage/Loreth"
cp "$build/app/win32/Loreth.exe" "$stage/Loreth/"
cp README.md "$stage/Loreth/" 2>/dev/null || echo "package-windows: no README.md" >&2
zip=$build/Loreth-$version-win64.zip
rm -f "$zip"
(cd "$stage" && cmake -E tar cf "$zip" --format=zip Loreth)
echo "$zip ($(stat -c %s "$zip") bytes)"
