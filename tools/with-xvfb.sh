#!/usr/bin/env bash
# Runs a command with DISPLAY set to a private Xvfb server of its own:
#   tools/with-xvfb.sh COMMAND [ARGS...]
# The server picks a free display number itself (-displayfd), so several of
# these can run at once (ctest -j). It is killed when the command ends; the
# command's exit status is passed on. Exits 77 (a skipped CTest test) when
# Xvfb or xdotool is not installed, and 1 if the server does not start.
set -u

for tool in Xvfb xdotool; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "with-xvfb: $tool is not installed; skipping" >&2
    exit 77
  fi
done

work=$(mktemp -d "${TMPDIR:-/tmp}/with-xvfb.XXXXXX")
xvfb_pid=
cleanup() {
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
  fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Xvfb writes the display number followed by a newline to fd 3 once it
# accepts connections.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset \
  3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!

display=
for _ in $(seq 1 200); do
  if [ -s "$work/display" ] && [ "$(tail -c 1 "$work/display" | od -An -c | tr -d ' ')" = '\n' ]; then
    display=$(head -n 1 "$work/display")
    break
  fi
  if ! kill -0 "$xvfb_pid" 2>/dev/null; then
    break
  fi
  sleep 0.05
done
if [ -z "$display" ]; then
  echo "with-xvfb: Xvfb did not start:" >&2
  cat "$work/xvfb.log" >&2
  exit 1
fi

DISPLAY=":$display" "$@"
exit $?
