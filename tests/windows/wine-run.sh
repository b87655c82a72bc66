#!/usr/bin/env bash
# Runs a Windows program under Wine in the given prefix, quietly:
#   wine-run.sh PREFIX PROGRAM [ARGS...]
# The prefix is made by wine_prefix.sh (the tests' fixture) before this runs.
set -euo pipefail
export WINEPREFIX=${1:?usage: wine-run.sh PREFIX PROGRAM [ARGS...]} WINEDEBUG=-all
shift
exec wine "$@"
