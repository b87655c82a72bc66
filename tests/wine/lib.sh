# What the end-to-end checks of corvane.exe under Wine share; sourced by
# each (e2e.sh, map_e2e.sh) with its name in $check and its arguments:
#   CORVANE_EXE CAMSIM WIN_DRIVER_EXE WORK_DIR
# CAMSIM is a host (Linux) build of corvane-camsim; WIN_DRIVER_EXE the
# driver of tests/wine/win_driver.cpp. Needs an X server (run the check
# under scripts/with-xvfb.sh). WORK_DIR gets the Wine prefix, the camera's
# log and memory, and screenshots in artifacts/ (for a person; the checks
# read the windows' controls).
#
# start_camera starts the simulated camera and makes the prefix: COM1 maps
# to the camera's pseudo-terminal and every other COM name is hidden
# (scripts/wine-prefix.sh), so no port of the machine is reachable;
# check_links checks that again while and after the program runs. Every
# wait has a deadline; fail ends the check with the step it hung in.
set -u

if [ $# -ne 4 ]; then
  echo "usage: $check.sh CORVANE_EXE CAMSIM WIN_DRIVER_EXE WORK_DIR" >&2
  exit 2
fi
exe=$(realpath "$1")
camsim=$(realpath "$2")
driver=$(realpath "$3")
work=$4
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

for tool in wine wineserver; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "$check: $tool is not installed; skipping" >&2
    exit 77
  fi
done
[ -n "${DISPLAY:-}" ] || { echo "$check: no DISPLAY; run under scripts/with-xvfb.sh" >&2; exit 1; }
for f in "$exe" "$camsim" "$driver"; do
  [ -f "$f" ] || { echo "$check: $f does not exist" >&2; exit 1; }
done

mkdir -p "$work/artifacts"
work=$(realpath "$work")
prefix=$work/wine-prefix
camlog=$work/$check-camsim.log
export WINEPREFIX=$prefix
export WINEDEBUG=${WINEDEBUG:--all}
start=$(date +%s%N)

camsim_pid=
corvane_pid=
cleanup() {
  [ -n "$corvane_pid" ] && kill "$corvane_pid" 2>/dev/null
  # Only this prefix's server: its programs end with it.
  wineserver -k 2>/dev/null
  if [ -n "$camsim_pid" ]; then
    kill "$camsim_pid" 2>/dev/null
    wait "$camsim_pid" 2>/dev/null
  fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

elapsed() { echo "$(( ($(date +%s%N) - start) / 1000000 )) ms"; }
step() { echo "$check: [$(elapsed)] $*"; }
fail() {
  echo "$check: [$(elapsed)] FAILED: $*" >&2
  shot failed
  # An error box open at that moment says what the program met.
  if [ -n "$corvane_pid" ]; then
    timeout 30 wine "$driver" timeout 500 window "Application Error" message >&2 2>/dev/null
  fi
  exit 1
}
shot() {
  command -v import >/dev/null 2>&1 && import -window root "$work/artifacts/$check-$1.png" 2>/dev/null
  return 0
}
# Runs the driver with the commands given; its lines go to standard output.
drive() {
  timeout 120 wine "$driver" timeout 20000 "$@"
}
# Polls (up to $1 seconds) until the command that follows succeeds.
wait_for() {
  local seconds=$1
  shift
  local end=$(($(date +%s) + seconds))
  until "$@"; do
    [ "$(date +%s)" -lt "$end" ] || return 1
    sleep 0.1
  done
}

# COM1 leads to the camera, every other COM name to the empty no-port folder.
check_links() {
  local others
  [ "$(readlink "$prefix/dosdevices/com1")" = "$pty" ] || fail "COM1 does not lead to the camera"
  others=$(cd "$prefix/dosdevices" && for l in com*; do
    [ "$l" = com1 ] || [ ! -L "$l" ] || [ "$(readlink "$l")" = "$prefix/no-port" ] ||
      echo "$l -> $(readlink "$l")"
  done)
  [ -z "$others" ] || fail "COM names lead elsewhere: $others"
}

# The camera (corvane-camsim with the options given, logging to $camlog) on
# a pseudo-terminal ($pty), and the prefix with COM1 to it and nothing else.
start_camera() {
  rm -f "$camlog" "$work/$check-camsim.out"
  "$camsim" --log "$camlog" "$@" >"$work/$check-camsim.out" 2>"$work/$check-camsim.err" &
  camsim_pid=$!
  wait_for 10 grep -q '^/' "$work/$check-camsim.out" ||
    fail "corvane-camsim did not start: $(cat "$work/$check-camsim.err")"
  pty=$(head -n 1 "$work/$check-camsim.out")
  step "camera on $pty"
  bash "$root/scripts/wine-prefix.sh" "$prefix" "COM1=$pty" ||
    fail "the Wine prefix could not be made safe"
  check_links
  step "prefix ready"
}
