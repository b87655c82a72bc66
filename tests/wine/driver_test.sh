#!/usr/bin/env bash
# The window driver's own check, on the fixture window (fixture_dialog.cpp):
#   driver_test.sh WIN_DRIVER_EXE FIXTURE_EXE WORK_DIR
# Needs an X server (scripts/with-xvfb.sh). The prefix (WORK_DIR/wine-prefix)
# hides every COM name. Checks what the driver reads (texts with line
# breaks, enabled and check states, a message box's text), that its presses
# reach the program (set, click, ok, escape), that a wait that is not met
# fails with status 1 at its deadline, and that bad usage gives status 2.
set -u

if [ $# -ne 3 ]; then
  echo "usage: driver_test.sh WIN_DRIVER_EXE FIXTURE_EXE WORK_DIR" >&2
  exit 2
fi
for tool in wine wineserver; do
  command -v "$tool" >/dev/null 2>&1 || { echo "driver_test: $tool is not installed; skipping" >&2; exit 77; }
done
driver=$(realpath "$1")
fixture=$(realpath "$2")
mkdir -p "$3"
work=$(realpath "$3")
root=$(cd "$(dirname "$0")/../.." && pwd)
export WINEPREFIX=$work/wine-prefix
export WINEDEBUG=${WINEDEBUG:--all}

fixture_pid=
cleanup() {
  [ -n "$fixture_pid" ] && kill "$fixture_pid" 2>/dev/null
  wineserver -k 2>/dev/null
}
trap cleanup EXIT
fail() {
  echo "driver_test: FAILED: $*" >&2
  exit 1
}
drive() { timeout 120 wine "$driver" "$@"; }

bash "$root/scripts/wine-prefix.sh" "$WINEPREFIX" || fail "the Wine prefix could not be made"
wine "$fixture" >/dev/null 2>&1 &
fixture_pid=$!

out=$(drive timeout 20000 window Fixture expect-check 103 1 expect-enabled 104 0 \
  set 100 'a\\b\nc' click 101 expect-text 102 'a\\b\nc' window "Fixture Error" \
  expect-message 'Shown:\na\\b\nc' ok gone window Fixture text 102) || fail "the driver's run failed: $out"
want='timeout 20000
window "Fixture"
check 103 1
enabled 104 0
set 100 "a\\b\nc"
click 101
text 102 "a\\b\nc"
window "Fixture Error"
message "Shown:\na\\b\nc"
click 1
gone
window "Fixture"
text 102 "a\\b\nc"'
[ "$out" = "$want" ] || fail "the driver printed:
$out
and not:
$want"

# A forbidden window ends a wait at once, with its text.
out=$(drive window Fixture forbid "Fixture Error" set 100 x click 101 expect-text 102 never 2>&1)
[ $? = 1 ] || fail "a forbidden window did not fail the wait"
grep -qF '"Fixture Error" appeared: "Shown:\nx"' <<<"$out" || fail "no text of the forbidden window: $out"
drive window "Fixture Error" ok gone >/dev/null || fail "the box did not close"

# A wait that is not met ends at its deadline with status 1, and a disabled
# button cannot be pressed.
drive timeout 300 window Fixture expect-text 102 other >/dev/null 2>&1
[ $? = 1 ] || fail "an unmet expect-text did not give status 1"
drive timeout 300 window Nowhere >/dev/null 2>&1
[ $? = 1 ] || fail "a missing window did not give status 1"
drive window Fixture click 104 >/dev/null 2>&1
[ $? = 1 ] || fail "a click on a disabled button did not give status 1"
drive frobnicate >/dev/null 2>&1
[ $? = 2 ] || fail "an unknown command did not give status 2"

# Escape reaches the window's dialog keys and ends the fixture.
drive window Fixture escape >/dev/null || fail "escape failed"
for _ in $(seq 1 300); do
  kill -0 "$fixture_pid" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$fixture_pid" 2>/dev/null && fail "the fixture did not end on Escape"
wait "$fixture_pid" || fail "the fixture ended with status $?"
fixture_pid=
echo "driver_test: passed"
