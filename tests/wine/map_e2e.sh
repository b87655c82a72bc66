#!/usr/bin/env bash
# The memory map of corvane.exe under Wine, on the simulated camera:
#   map_e2e.sh CORVANE_EXE CAMSIM WIN_DRIVER_EXE WORK_DIR
# (the arguments and what the checks share: lib.sh). The map opens from the
# system menu; Cancel ends a Read all early; Read all reads the camera's 512
# codes, which Save... writes; a raw dump with three cells changed shows
# three differences; Restore differences... sends exactly three write
# frames and Undo restore puts the codes back.
check=map
source "$(dirname "$0")/lib.sh"

# The camera's memory as one line of 1024 hex digits (page 0, then page 1).
memory() { grep -E '^[0-9A-F]{512}$' "$work/map-memory.txt" | tr -d '\n'; }
mapdrive() { drive timeout 60000 forbid "Application Error" "$@"; }
writes() { grep -c ' RX 01800E10204D10' "$camlog"; }

# Cell i holds (7 i + 3 + 128 page) mod 256; the compared dump differs at
# 0:05, 0:F7 and 1:80.
codes=() file=
for i in $(seq 0 511); do codes[i]=$(((7 * i + 3 + i / 256 * 128) % 256)); done
for i in $(seq 0 511); do printf '%02X' "${codes[i]}"; ((i == 255)) && echo; done >"$work/map-memory.txt"
echo >>"$work/map-memory.txt"
original=$(memory)
for i in $(seq 0 511); do
  c=${codes[i]}
  case $i in 5 | 247 | 384) c=$(((c + 1) % 256)) ;; esac
  file+=$(printf '\\x%02x' "$c")
done
printf "$file" >"$work/map-compare.bin"
rm -f "$work/map-saved.hex"
start_camera --memory "$work/map-memory.txt"
winpath() { echo "Z:$1" | sed 's#/#\\\\#g'; }  # escaped for the driver

wine "$exe" >"$work/map-corvane.out" 2>&1 &
corvane_pid=$!
mapdrive window "About Corvane v. 2.0" ok gone window "Corvane v. 2.0" syscommand 32 \
  window "Memory map" expect-text 1023 "COM1: press Read all to read both pages." \
  expect-enabled 1024 1 expect-enabled 1026 0 click 1024 expect-enabled 1025 1 click 1025 \
  expect-enabled 1024 1 text 1023 >"$work/map-read.txt" || fail "the map did not open or cancel"
grep -q '^text 1023 "Cancelled: ' "$work/map-read.txt" || fail "Cancel: $(tail -1 "$work/map-read.txt")"
mapdrive window "Memory map" click 1024 expect-enabled 1026 1 text 1023 >"$work/map-read.txt" ||
  fail "Read all did not end: $(cat "$work/map-read.txt")"
grep -q '^text 1023 "512 cells read in ' "$work/map-read.txt" || fail "Read all: $(tail -1 "$work/map-read.txt")"
shot read
saved=$(winpath "$work/map-saved.hex")
mapdrive window "Memory map" click 1026 window "Save the memory map" set 1148 "$saved" ok gone \
  window "Memory map" expect-text 1023 "Saved to $saved." || fail "Save... did not save"
[ "$(awk 'substr($0, 8, 2) == "00" { printf "%s", substr($0, 10, length($0) - 11) }' \
  "$work/map-saved.hex" | tr -d '\r')" = "$original" ] || fail "the saved dump is not the camera's memory"

compare=$(winpath "$work/map-compare.bin")
mapdrive window "Memory map" click 1027 window "Compare with a dump" set 1148 "$compare" ok gone \
  window "Memory map" expect-text 1023 "3 cells differ from $compare (512 cells in the file)." \
  expect-enabled 1028 1 || fail "Compare... did not count three differences"
before=$(writes)
mapdrive window "Memory map" click 1028 window "Restore differences" ok gone window "Memory map" \
  expect-text 1023 "3 cells written from $compare." || fail "the restore did not write three cells"
[ $(($(writes) - before)) = 3 ] || fail "the restore sent $(($(writes) - before)) write frames, not 3"
m=$(memory)
[ "${m:10:2}${m:494:2}${m:768:2}" = 27C504 ] ||
  fail "the camera holds ${m:10:2} ${m:494:2} ${m:768:2} after the restore"
mapdrive window "Memory map" click 1029 expect-text 1023 "3 cells of the restore taken back." ||
  fail "Undo restore did not take three cells back"
[ "$(memory)" = "$original" ] || fail "after Undo restore the camera's memory is not as before"
mapdrive window "Memory map" escape gone window "Corvane v. 2.0" escape gone || fail "could not close"
wait_for 30 eval '! kill -0 "$corvane_pid" 2>/dev/null' || fail "corvane.exe did not end after Escape"
corvane_pid=
check_links
step "passed"
