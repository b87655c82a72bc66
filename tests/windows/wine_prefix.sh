#!/usr/bin/env bash
# Makes (or checks) a private Wine prefix for the Windows tests:
#   tests/windows/wine_prefix.sh PREFIX
# Every COM name, COM1 to COM256, is mapped to "" in the prefix's registry
# (HKLM\Software\Wine\Ports) before any program runs in it, so that Wine
# never maps a COM name to the machine's own serial ports (/dev/ttyS*).
# The user's ~/.wine is not touched. Fails when the mapping is not there.
set -euo pipefail
prefix=${1:?usage: wine_prefix.sh PREFIX}
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$prefix"
if [ ! -f "$prefix/.corvane-ports" ]; then
  wineserver -p0
  wineboot -i >/dev/null 2>&1
  reg=$prefix/hide-ports.reg
  {
    printf 'REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]\r\n'
    for n in $(seq 1 256); do printf '"COM%d"=""\r\n' "$n"; done
  } >"$reg"
  wine regedit /S "$(winepath -w "$reg")" >/dev/null 2>&1
  wineserver -w
  # The prefix's device links are made when a Wine session starts: start one
  # more, so that they follow the registry before the check reads them.
  wine cmd /c exit >/dev/null 2>&1
  wineserver -w
  touch "$prefix/.corvane-ports"
fi
# The check: the mapping is in the prefix's system registry, and no COM name
# that a registry entry can hide leads to a serial port of the machine.
# (Wine takes no entry above COM255: it gives /dev/ttyS0 the name COM256,
# which nothing here opens.)
for link in "$prefix"/dosdevices/com*; do
  [ -L "$link" ] || continue
  n=${link##*/com}
  if [ "$n" -le 255 ] && [[ "$(readlink "$link")" == /dev/ttyS* ]]; then
    echo "wine_prefix: COM$n leads to $(readlink "$link") in $prefix" >&2
    exit 1
  fi
done
for n in 1 2 3 4 255; do
  if ! grep -q "^\"COM$n\"=\"\"" "$prefix/system.reg"; then
    echo "wine_prefix: COM$n is not hidden in $prefix" >&2
    exit 1
  fi
done
