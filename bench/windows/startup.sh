#!/usr/bin/env bash
# The Windows program's start-up under Wine: the time from starting
# build/windows/corvane.exe to its About box being mapped, in a fresh Wine
# session each run and with a session already running. Uses the Windows
# tests' private prefix (made if missing; every COM name mapped away).
# Wine's timings say little about Windows'; this is for comparing builds.
#   scripts/with-xvfb.sh bash bench/windows/startup.sh [runs]
set -euo pipefail
cd "$(dirname "$0")/../.."
runs=${1:-5}
exe=$PWD/build/windows/corvane.exe
export WINEPREFIX=$PWD/build/windows/wine-prefix WINEDEBUG=-all
bash scripts/wine-prefix.sh "$WINEPREFIX"
[ -n "${DISPLAY:-}" ] || { echo "startup.sh: needs a display (scripts/with-xvfb.sh)" >&2; exit 2; }

# Milliseconds until the About box is mapped (0: not within 20 s). The
# program is the Wine process started here; it is killed after each run.
one_run() {
  local start end pid found=0
  start=$(date +%s%N)
  wine "$exe" &
  pid=$!
  for _ in $(seq 1 1000); do
    if xdotool search --onlyvisible --name '^About Corvane v. 2.0$' >/dev/null 2>&1; then
      found=1
      break
    fi
    sleep 0.02
  done
  end=$(date +%s%N)
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  if ((found)); then echo $(((end - start) / 1000000)); else echo 0; fi
}

for mode in fresh running; do
  times=()
  if [ "$mode" = running ]; then
    wineserver -p &  # persistent until killed below
    wine cmd /c exit >/dev/null 2>&1  # the session's services started
  fi
  for _ in $(seq 1 "$runs"); do
    [ "$mode" = fresh ] && { wineserver -k 2>/dev/null || true; wineserver -w 2>/dev/null || true; }
    times+=("$(one_run)")
  done
  sorted=$(printf '%s\n' "${times[@]}" | sort -n | tr '\n' ' ')
  echo "About box after (ms), $mode Wine session: $sorted"
done
wineserver -k 2>/dev/null || true
