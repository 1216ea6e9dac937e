#!/usr/bin/env bash
# Runs a command in Loreth's own Wine prefix, under its own Xvfb when no display
# is given:  scripts/wine-env.sh Program.exe [args...]   (an .exe runs with wine)
#            scripts/wine-env.sh some-command [args...]  (runs with the variables set)
#
# The prefix (LORETH_WINE_PREFIX, default build/mingw/wineprefix) is made on first
# use: 64-bit, no Mono/Gecko prompts, no menu builder, no crash dialog (a crash
# must not hang a test), Wine's own fonts copied in (Debian leaves the Fonts
# folder empty, and "MS Sans Serif" then falls back to a wider font), and every
# program in Wine's virtual desktop (without a window manager Wine stalls when a
# top-level window hides, and timers slow down).
#   LORETH_WINE_FRESH=1  removes the prefix first.
#   LORETH_WINE_XVFB=0   uses $DISPLAY as it is (no Xvfb of our own).
# Calls nested in one (e.g. scripts/wine-env.sh ctest --test-dir build/mingw, with
# this script as ctest's emulator) share its display and Wine server.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
export WINEPREFIX=${LORETH_WINE_PREFIX:-$root/build/mingw/wineprefix}
export WINEARCH=win64
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
desktop_size=${LORETH_WINE_DESKTOP:-1024x768}

xvfb_pid=""
# With an Xvfb of our own, the prefix's Wine server (and its desktop window) goes
# with it: the next run starts both afresh. Runs in one prefix are serial.
cleanup() {
  if [[ -n $xvfb_pid ]]; then
    wineserver -k 2>/dev/null || true
    kill "$xvfb_pid" 2>/dev/null || true
  fi
}
trap cleanup EXIT

start_xvfb() {
  local fifo
  fifo=$(mktemp -u)
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
  xvfb_pid=$!
  local n
  if ! read -r -t 20 n <"$fifo"; then
    rm -f "$fifo"
    echo "wine-env: Xvfb did not start" >&2
    exit 1
  fi
  rm -f "$fifo"
  export DISPLAY=":$n"
}

make_prefix() {
  echo "wine-env: creating Wine prefix $WINEPREFIX" >&2
  mkdir -p "$(dirname "$WINEPREFIX")"
  wineboot -i >/dev/null 2>&1 || true
  wineserver -w
  local reg
  reg=$(mktemp --suffix=.reg)
  cat >"$reg" <<EOF
REGEDIT4

[HKEY_CURRENT_USER\\Software\\Wine\\WineDbg]
"ShowCrashDialog"=dword:00000000

[HKEY_CURRENT_USER\\Software\\Wine\\Explorer]
"Desktop"="Default"

[HKEY_CURRENT_USER\\Software\\Wine\\Explorer\\Desktops]
"Default"="$desktop_size"

[HKEY_CURRENT_USER\\Software\\Wine\\DllOverrides]
"winemenubuilder.exe"=""

[-HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\AeDebug]
EOF
  wine regedit /S "$(winepath -w "$reg")" >/dev/null 2>&1
  wineserver -w
  rm -f "$reg"
  mkdir -p "$WINEPREFIX/drive_c/windows/Fonts"
  cp -n /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
  touch "$WINEPREFIX/.loreth-ready"
}

if [[ -n ${LORETH_WINE_SESSION:-} ]]; then
  : # inside an outer call: its display, its server
elif [[ ${LORETH_WINE_XVFB:-1} != 0 || -z ${DISPLAY:-} ]]; then
  start_xvfb
  wineserver -k 2>/dev/null || true  # a server left from another display
fi
export LORETH_WINE_SESSION=$WINEPREFIX

# Several tests may start at once: one of them makes the prefix.
mkdir -p "$(dirname "$WINEPREFIX")"
(
  flock 9
  if [[ ${LORETH_WINE_FRESH:-0} == 1 ]]; then rm -rf "$WINEPREFIX"; fi
  if [[ ! -f $WINEPREFIX/.loreth-ready ]]; then
    rm -rf "$WINEPREFIX"
    make_prefix
  fi
) 9>"$WINEPREFIX.lock"

[[ $# -gt 0 ]] || exit 0
if [[ $1 == *.exe || $1 == *.EXE ]]; then
  set +e
  wine "$@"
  rc=$?
  set -e
  exit $rc
fi
set +e
"$@"
rc=$?
set -e
exit $rc
