#!/usr/bin/env bash
# Runs a Windows test program under Wine with COM1 and COM2 joined: the two
# ends of a pair of pseudo-terminals that socat links together.
#   port-pair.sh WORK_DIR PROGRAM [ARGS...]
# WORK_DIR gets the links com1 and com2 and a private prefix in which COM1
# and COM2 map to them and every other COM name is hidden
# (scripts/wine-prefix.sh). Exits 77 (skipped) when socat or Wine is missing.
set -uo pipefail
[ $# -ge 2 ] || { echo "usage: port-pair.sh WORK_DIR PROGRAM [ARGS...]" >&2; exit 2; }
for tool in socat wine wineserver; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "port-pair: $tool is not installed; skipping" >&2
    exit 77
  fi
done
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
mkdir -p "$1"
work=$(realpath "$1")
shift
rm -f "$work/com1" "$work/com2"

socat pty,raw,echo=0,link="$work/com1" pty,raw,echo=0,link="$work/com2" &
socat_pid=$!
trap 'kill "$socat_pid" 2>/dev/null; wait "$socat_pid" 2>/dev/null' EXIT
for ((i = 0; i < 100; ++i)); do
  [ -e "$work/com1" ] && [ -e "$work/com2" ] && break
  kill -0 "$socat_pid" 2>/dev/null || { echo "port-pair: socat ended" >&2; exit 1; }
  sleep 0.1
done
[ -e "$work/com1" ] && [ -e "$work/com2" ] || { echo "port-pair: no links after 10 s" >&2; exit 1; }

prefix=$work/wine-prefix
bash "$here/../../scripts/wine-prefix.sh" "$prefix" COM1="$work/com1" COM2="$work/com2" || exit 1
bash "$here/wine-run.sh" "$prefix" "$@"
