#!/usr/bin/env bash
# Runs a command with DISPLAY set to a private Xvfb server of its own:
#   scripts/with-xvfb.sh [--wm openbox] COMMAND [ARGS...]
# The server picks a free display number itself (-displayfd), so several of
# these can run at once (ctest -j). With --wm, that window manager runs on
# the server (and manages it) before the command starts. Server and window
# manager are killed when the command ends; the command's exit status is
# passed on. Exits 77 (a skipped CTest test) when Xvfb, xdotool, xprop or
# the window manager is not installed, and 1 if the server or the window
# manager does not start.
set -u

wm=
if [ "${1:-}" = "--wm" ]; then
  wm=${2:?"with-xvfb: --wm needs a window manager"}
  shift 2
fi

for tool in Xvfb xdotool xprop $wm; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "with-xvfb: $tool is not installed; skipping" >&2
    exit 77
  fi
done

work=$(mktemp -d "${TMPDIR:-/tmp}/with-xvfb.XXXXXX")
xvfb_pid=
wm_pid=
cleanup() {
  for pid in $wm_pid $xvfb_pid; do
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  done
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Polls (every 50 ms, up to 10 s) until the command CHECK... succeeds;
# fails early when process PID has died.
wait_until() {
  local pid=$1
  shift
  for _ in $(seq 1 200); do
    "$@" && return 0
    kill -0 "$pid" 2>/dev/null || return 1
    sleep 0.05
  done
  return 1
}

# Xvfb writes the display number followed by a newline to fd 3 once it
# accepts connections.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset \
  3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
display_written() {
  [ -s "$work/display" ] && [ "$(tail -c 1 "$work/display" | od -An -c | tr -d ' ')" = '\n' ]
}
if ! wait_until "$xvfb_pid" display_written; then
  echo "with-xvfb: Xvfb did not start:" >&2
  cat "$work/xvfb.log" >&2
  exit 1
fi
export DISPLAY=":$(head -n 1 "$work/display")"

# A window manager announces itself on the root window once it manages the
# screen (_NET_SUPPORTING_WM_CHECK).
if [ -n "$wm" ]; then
  "$wm" >"$work/wm.log" 2>&1 &
  wm_pid=$!
  wm_manages() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
  if ! wait_until "$wm_pid" wm_manages; then
    echo "with-xvfb: $wm did not start:" >&2
    cat "$work/wm.log" >&2
    exit 1
  fi
fi

"$@"
exit $?
