#!/bin/bash
# xsession.sh COMMAND [ARGS...]
#
# Runs COMMAND inside a private X session: Xvfb on a free display (picked by
# the server itself through -displayfd, since other X servers may run here)
# and openbox as the window manager, with DISPLAY and a private
# XDG_RUNTIME_DIR exported. Waits until the window manager has announced
# itself, then runs COMMAND, tears the session down and exits with COMMAND's
# exit code. Exits 77 (a skip for ctest) when Xvfb or openbox is missing.
set -u

for tool in Xvfb openbox; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "xsession.sh: $tool is not installed; skipping" >&2
    exit 77
  fi
done
if [ $# -eq 0 ]; then
  echo "usage: xsession.sh COMMAND [ARGS...]" >&2
  exit 2
fi

session_dir=$(mktemp -d "${TMPDIR:-/tmp}/loreth-xsession.XXXXXX") || exit 1
chmod 700 "$session_dir"
xvfb_pid=
wm_pid=

cleanup() {
  if [ -n "$wm_pid" ]; then
    kill "$wm_pid" 2>/dev/null
    wait "$wm_pid" 2>/dev/null
  fi
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
  fi
  rm -rf "$session_dir"
}
trap cleanup EXIT
trap 'exit 143' TERM
trap 'exit 130' INT

# Xvfb writes the display number it chose to fd 3 once it accepts clients.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset \
  3>"$session_dir/display" >"$session_dir/xvfb.log" 2>&1 &
xvfb_pid=$!
display=
for _ in $(seq 1 200); do
  if grep -q . "$session_dir/display" 2>/dev/null; then
    display=$(head -n1 "$session_dir/display")
    break
  fi
  if ! kill -0 "$xvfb_pid" 2>/dev/null; then break; fi
  sleep 0.05
done
if [ -z "$display" ]; then
  echo "xsession.sh: Xvfb did not start" >&2
  cat "$session_dir/xvfb.log" >&2
  exit 1
fi
export DISPLAY=":$display"
mkdir -m 700 "$session_dir/runtime"
export XDG_RUNTIME_DIR="$session_dir/runtime"

openbox --sm-disable >"$session_dir/openbox.log" 2>&1 &
wm_pid=$!
# openbox announces itself (_NET_SUPPORTING_WM_CHECK) before it has taken over
# the windows already there, and a window mapped in that gap is lost: it is up
# once it has published its client list (_NET_CLIENT_LIST, empty at first).
wm_up=
if ! command -v xprop >/dev/null 2>&1; then
  sleep 1  # no way to ask; give openbox a moment
  wm_up=1
fi
for _ in $(seq 1 200); do
  [ -n "$wm_up" ] && break
  if xprop -root _NET_SUPPORTING_WM_CHECK _NET_CLIENT_LIST 2>/dev/null |
    grep -q '^_NET_CLIENT_LIST(WINDOW)'; then
    wm_up=1
    break
  fi
  if ! kill -0 "$wm_pid" 2>/dev/null; then break; fi
  sleep 0.05
done
if [ -z "$wm_up" ]; then
  echo "xsession.sh: openbox did not start" >&2
  cat "$session_dir/openbox.log" >&2
  exit 1
fi

"$@"
exit $?
