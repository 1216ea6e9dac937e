#!/bin/sh
# Installs the Debian packages a task needs, only those that are missing.
# Usage: scripts/deps.sh build|test
set -eu
build="cmake ninja-build g++ pkg-config qt6-base-dev libx11-dev libxtst-dev fonts-dejavu-extra"
test="$build googletest libgtest-dev libbenchmark-dev clang libclang-rt-14-dev clang-format
  xvfb xauth openbox x11-utils x11-apps xdotool imagemagick mpv ffmpeg
  g++-mingw-w64-x86-64-posix wine wine64 fonts-wine"
case "${1:-build}" in
  build) wanted="$build" ;;
  test) wanted="$test" ;;
  *) echo "usage: $0 build|test" >&2; exit 2 ;;
esac
missing=""
for p in $wanted; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
echo "Installing:$missing"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
# shellcheck disable=SC2086
$sudo apt-get install -y -qq --no-install-recommends $missing
