#!/usr/bin/env bash
# Builds Loreth.exe and its tests with mingw-w64 (the "mingw" preset) and tests
# them under Wine in Xvfb: the unit tests, then the form driven from outside
# (form_driver.exe with a key recorder), then a screenshot of the form.
#   scripts/test-windows.sh            fresh Wine prefix, build, all tests
#   LORETH_WINE_FRESH=0 scripts/test-windows.sh   reuse the prefix (saves ~15 s)
# Needs: g++-mingw-w64-x86-64-posix, wine, wine64, fonts-wine, xvfb, imagemagick,
# x11-apps, googletest (its sources are built for Windows).
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${LORETH_MINGW_BUILD:-$root/build/mingw}
export LORETH_WINE_PREFIX=${LORETH_WINE_PREFIX:-$build/wineprefix}
wine_env=$root/scripts/wine-env.sh

cd "$root"
if [[ $build == "$root/build/mingw" ]]; then
  cmake --preset mingw >/dev/null
  cmake --build --preset mingw
else
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DLORETH_QT=OFF \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" >/dev/null
  cmake --build "$build"
fi

exe=$build/app/win32/Loreth.exe
driver=$build/tests/wine/form_driver.exe
recorder=$build/tests/wine/key_recorder.exe
echo "== Loreth.exe: $(stat -c %s "$exe") bytes"
if x86_64-w64-mingw32-objdump -p "$exe" | grep -q "DLL Name: lib"; then
  echo "Loreth.exe needs a DLL beside it:" >&2
  x86_64-w64-mingw32-objdump -p "$exe" | grep "DLL Name" >&2
  exit 1
fi

# A fresh prefix unless told otherwise: what a new machine sees.
LORETH_WINE_FRESH=${LORETH_WINE_FRESH:-1} "$wine_env" true

echo "== unit tests under Wine"
LORETH_SOURCE_DIR=$root "$wine_env" "$build/tests/unit_tests.exe" --gtest_brief=1

echo "== the form under Wine"
work=$build/tests/wine
"$wine_env" "$driver" "$exe" "$recorder" "$work"

echo "== screenshot"
mkdir -p "$root/docs"
shot() {
  set -euo pipefail
  cd "$(dirname "$exe")"
  wine Loreth.exe &
  local app=$!
  local geometry
  geometry=$(wine "$driver" --window-rect Loreth | tr -d '\r')
  sleep 1
  xwd -root -silent | convert xwd:- -crop "$geometry" +repage "$root/docs/screenshot-windows.png"
  kill "$app" 2>/dev/null || true
  echo "docs/screenshot-windows.png ($geometry)"
}
export -f shot
export exe driver root
"$wine_env" bash -c shot
echo "== all Windows tests passed"
