#!/usr/bin/env bash
# Runs a Windows program under Wine in the given prefix, quietly:
#   wine-run.sh PREFIX PROGRAM [ARGS...]
# The prefix is made by scripts/wine-prefix.sh (the tests' fixture) before this runs.
# Each run has a Wine session of its own, which ends with the program: the
# session's desktop takes the display (or none) of the program that starts
# it, so a program that makes windows must not join one started without
# one. CTest runs these one at a time (RESOURCE_LOCK).
set -uo pipefail
export WINEPREFIX=${1:?usage: wine-run.sh PREFIX PROGRAM [ARGS...]} WINEDEBUG=-all
shift
wineserver -p0
wine "$@"
rc=$?
wineserver -w
exit $rc
