#!/usr/bin/env bash
# End-to-end check of corvane.exe under Wine, on the simulated camera:
#   e2e.sh CORVANE_EXE CAMSIM WIN_DRIVER_EXE WORK_DIR
# (the arguments and what the checks share: lib.sh).
#
# The camera holds 12 at page 0, F8 and 34 at F7 and answers the first 16
# frames only: a Read (8 frames) and a Write (8) are answered, the next Read
# meets a silent camera. The prefix maps COM1 to the camera's pseudo-terminal
# and hides every other COM name (scripts/wine-prefix.sh), so no port of the
# machine is reachable; the links are checked again while and after the
# program runs.
#
# Every wait has a deadline; a program that hangs fails the check with the
# step it hung in, and an error box where none belongs fails it at once with
# the box's text. Exit status 0 when every check held.
check=e2e
source "$(dirname "$0")/lib.sh"

printf '0 F8 12\n0 F7 34\n' >"$work/memory.txt"
start_camera --memory "$work/memory.txt" --silent-after 16

frames() {
  local n
  n=$(grep -c ' RX ' "$camlog" 2>/dev/null)
  echo "${n:-0}"
}

wine "$exe" >"$work/corvane.out" 2>&1 &
corvane_pid=$!

# The About box comes first, the main dialog hidden behind it.
drive window "About Corvane v. 2.0" absent "Corvane v. 2.0" || fail "no About box first"
shot about
drive window "About Corvane v. 2.0" ok gone || fail "the About box did not close with OK"
step "About box"
check_links

# The main dialog: COM1 found and selected, the defaults in place.
drive forbid "Application Error" window "Corvane v. 2.0" \
  expect-check 1005 1 expect-enabled 1005 1 \
  expect-enabled 1006 0 expect-enabled 1007 0 expect-enabled 1004 0 \
  expect-check 1006 0 expect-check 1007 0 expect-check 1004 0 \
  expect-text 1003 F8 expect-text 1008 F7 expect-text 1012 0 expect-text 1013 0 \
  expect-text 1009 "" expect-text 1010 "" \
  expect-enabled 1000 1 expect-enabled 1001 0 || fail "the main dialog is not as it should start"
shot main
step "main dialog"

# Read: the reference code and the cell's code, then Write may be used.
drive forbid "Application Error" window "Corvane v. 2.0" click 1000 \
  expect-text 1009 12 expect-text 1010 34 expect-enabled 1001 1 expect-enabled 1000 1 ||
  fail "the Read did not show 12 and 34"
[ "$(frames)" = 8 ] || fail "the camera saw $(frames) frames for the Read, not 8"
shot read
step "Read: 12 34"

# Write 5A to page 0, F7: the camera's memory changes and the read-back shows.
drive forbid "Application Error" window "Corvane v. 2.0" set 1011 5A click 1001 \
  expect-text 1010 5A expect-text 1009 12 expect-enabled 1001 1 expect-enabled 1000 1 ||
  fail "the Write did not show the read-back 5A"
grep -q ' RX 01800E10204D1000F7025A' "$camlog" || fail "the camera saw no write frame for 0:F7 5A"
page0=$(grep -m 1 -E '^[0-9A-F]{512}$' "$work/memory.txt")
[ "${page0:494:2}" = 5A ] || fail "the camera's memory holds ${page0:494:2} at 0:F7, not 5A"
[ "$(frames)" = 16 ] || fail "the camera saw $(frames) frames after the Write, not 16"
shot write
step "Write: 5A read back, the camera's memory holds 5A"

# A silent camera: the error box with its text, then XX in both code fields.
drive window "Corvane v. 2.0" click 1000 window "Application Error" \
  expect-message 'WARNING:  DV Camera not responding.  Failed with the following error: \nTimeOut. Check connection between port and camera.\nPort: 1\n' ||
  fail "no error box for the silent camera, or not its text"
shot error
drive window "Application Error" ok gone forbid "Application Error" window "Corvane v. 2.0" \
  expect-text 1009 XX expect-text 1010 XX expect-enabled 1001 0 expect-enabled 1000 1 ||
  fail "after the silent camera's box the fields do not show XX"
step "silent camera: error box, XX XX"

# Escape ends the program.
drive window "Corvane v. 2.0" escape || fail "could not press Escape"
if ! wait_for 30 eval '! kill -0 "$corvane_pid" 2>/dev/null'; then
  fail "corvane.exe did not end within 30 s of Escape (it hangs at exit)"
fi
wait "$corvane_pid"
status=$?
corvane_pid=
[ "$status" = 0 ] || fail "corvane.exe ended with status $status: $(tail -n 5 "$work/corvane.out")"
check_links
step "Escape: the program ended (status 0)"
echo "e2e: passed in $(elapsed)"
