#!/usr/bin/env bash
# Runs Corvane on the simulated camera:
#   scripts/demo.sh          the program in a window on this display
#   scripts/demo.sh --xvfb   no display needed: the end-to-end check under a
#                            private Xvfb (the About box, a Read through the
#                            window, screenshots in build/release/artifacts/)
# Installs the Debian packages that are missing and builds what is missing
# (a Release build in build/release). COM1 is mapped to the simulated
# camera and COM2 to COM4 to paths that do not exist, so the machine's own
# serial ports are never touched. When Corvane ends, the camera ends too.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$root/build/release

mode=window
case "${1:-}" in
  "") ;;
  --xvfb) mode=xvfb ;;
  -h | --help)
    sed -n '2,10p' "$0" | sed 's/^# \{0,1\}//'
    exit 0
    ;;
  *)
    echo "demo: unknown option $1 (try --help)" >&2
    exit 2
    ;;
esac

scripts/install-deps.sh

if [ "$mode" = window ] && { [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; }; then
  echo "demo: no usable X display (DISPLAY='${DISPLAY:-}'), so Corvane cannot open its window." >&2
  echo "demo: to run the end-to-end check under Xvfb instead:  bash scripts/demo.sh --xvfb" >&2
  exit 1
fi

build() {
  if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DCORVANE_SANITIZE= >/dev/null
  fi
  cmake --build "$build" -j"$(nproc)" --target "$@"
}

if [ "$mode" = xvfb ]; then
  build corvane corvane-camsim app_e2e_test
  ctest --test-dir "$build" -R '^AppEndToEnd\.AboutBoxThenReadThroughTheWindow$' --output-on-failure
  echo "demo: screenshots: $build/artifacts/app-about.png $build/artifacts/app-main-after-read.png"
  exit 0
fi

build corvane corvane-camsim

work=$(mktemp -d "${TMPDIR:-/tmp}/corvane-demo.XXXXXX")
camsim_pid=
cleanup() {
  if [ -n "$camsim_pid" ]; then
    kill "$camsim_pid" 2>/dev/null || true
    wait "$camsim_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

"$build/tools/camsim/corvane-camsim" --paced --link "$work/com1" --log "$work/camsim.log" \
  >"$work/camsim.out" 2>&1 &
camsim_pid=$!
for _ in $(seq 1 100); do
  [ -e "$work/com1" ] && break
  if ! kill -0 "$camsim_pid" 2>/dev/null; then
    echo "demo: the simulated camera did not start:" >&2
    cat "$work/camsim.out" >&2
    exit 1
  fi
  sleep 0.05
done

export CORVANE_COM1="$work/com1"
export CORVANE_COM2=/nonexistent/com2
export CORVANE_COM3=/nonexistent/com3
export CORVANE_COM4=/nonexistent/com4
echo "demo: simulated camera on COM1 ($(head -n 1 "$work/camsim.out")); starting Corvane"
status=0
"$build/app/corvane" || status=$?
echo "demo: Corvane ended; the camera saw $(grep -c ' RX ' "$work/camsim.log" || true) frames"
exit "$status"
