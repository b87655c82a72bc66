#!/usr/bin/env bash
# Creates (or refreshes) a private Wine prefix in which every COM name is
# mapped before any program runs:
#   scripts/wine-prefix.sh PREFIX [COMn=PATH ...]
# COMn=PATH maps COMn (1 to 255) to PATH (a pseudo-terminal, say); every other
# COM name is hidden. Wine's own detection would give COM1 to COM4 to
# /dev/ttyS0 to /dev/ttyS3 (and the next numbers to /dev/ttyUSB*, /dev/ttyACM*),
# which a program run as root could open; a name mapped in the registry
# (HKLM\Software\Wine\Ports) is never given to a detected device.
#
# Hiding a name takes more than the key's empty value: for "" Wine's mount
# manager drops the link but still makes the port's device object, which
# then opens, and every serial call on it fails ("Invalid function"). So a
# hidden name maps to PREFIX/no-port, an empty directory: its open fails at
# once, as that of an absent port does. The manager reads the key up to
# COM255 only and would give COM256 to the first device it detects; a
# directory in place of the com256 link keeps it from making that link.
#
# Steps: create the prefix silently (no Mono or Gecko installer), write every
# COM name into the key, stop the wineserver, remove the old com* links, boot
# the prefix again so that the mount manager makes the links anew from the
# key, and check them: each link is a COMn=PATH given or PREFIX/no-port.
# Exits non-zero, with the reason on standard error, when a step fails or
# the check finds any other link.
#
# PREFIX must not be ~/.wine; keep it under the build tree. The wineserver
# has ended when the script returns. Each later boot of the prefix (the first
# program after the server ended) makes the links again from the same key.
set -euo pipefail

die() {
  echo "wine-prefix: $*" >&2
  exit 1
}

[ $# -ge 1 ] || die "usage: wine-prefix.sh PREFIX [COMn=PATH ...]"
prefix=$1
shift
case $prefix in
  /*) ;;
  *) prefix=$PWD/$prefix ;;
esac
prefix=${prefix%/}
[[ $prefix != *[\"\\]* ]] || die "the prefix's path holds a quote or a backslash"
if [ -n "${HOME:-}" ] && [ "$(realpath -m "$prefix")" = "$(realpath -m "$HOME/.wine")" ]; then
  die "refusing to use ~/.wine; give a private prefix under the build tree"
fi

for tool in wine wineserver wineboot; do
  command -v "$tool" >/dev/null 2>&1 || die "$tool is not installed"
done

# COM number -> path, from the arguments.
declare -A ports=()
for arg in "$@"; do
  if [[ ! $arg =~ ^[Cc][Oo][Mm]([1-9][0-9]*)=(/.*)$ ]]; then
    die "bad mapping '$arg': want COMn=/absolute/path"
  fi
  n=${BASH_REMATCH[1]}
  path=${BASH_REMATCH[2]}
  [ "$n" -le 255 ] || die "bad mapping '$arg': COM numbers go from 1 to 255"
  [[ $path != *[\"\\]* ]] || die "bad mapping '$arg': the path holds a quote or a backslash"
  ports[$n]=$path
done

export WINEPREFIX=$prefix
export WINEDEBUG=${WINEDEBUG:--all}
# A 32-bit prefix: the programs are 32-bit, and it boots faster.
export WINEARCH=win32
# No window may open while the prefix is made: no display, no installer.
export WINEDLLOVERRIDES="mscoree,mshtml="

mkdir -p "$(dirname "$prefix")"
log=$(mktemp "${TMPDIR:-/tmp}/wine-prefix.XXXXXX")
trap 'rm -f "$log"' EXIT

# Runs a Wine step with a time limit; its output goes to the log, shown when
# it fails.
step() {
  local what=$1
  shift
  if ! timeout 300 "$@" >>"$log" 2>&1; then
    cat "$log" >&2
    die "$what failed"
  fi
}

if [ -f "$prefix/system.reg" ]; then
  # A refresh: whatever still runs in this prefix (and only there) ends first.
  wineserver -k >>"$log" 2>&1 || true
  step "waiting for the old wineserver to end" wineserver -w
else
  step "creating the prefix (wineboot -i)" env -u DISPLAY wineboot -i
  step "waiting for the wineserver" wineserver -w
fi

# The Ports key, every COM name in it.
hidden=$prefix/no-port
mkdir -p "$hidden"
regfile=$prefix/corvane-ports.reg
{
  printf 'REGEDIT4\r\n\r\n'
  printf '[-HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]\r\n\r\n'
  printf '[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]\r\n'
  for n in $(seq 1 256); do
    printf '"COM%d"="%s"\r\n' "$n" "${ports[$n]:-$hidden}"
  done
} >"$regfile"
step "writing the COM map into the registry" env -u DISPLAY wine regedit /S "$(winepath -w "$regfile" 2>/dev/null)"

# The mount manager reads the key when the prefix boots: stop the server,
# drop the links of the earlier boot, and boot again.
step "stopping the wineserver" wineserver -k
wineserver -w >>"$log" 2>&1 || true
find "$prefix/dosdevices" -maxdepth 1 -type l -name "com*" -delete
mkdir -p "$prefix/dosdevices/com256"
step "booting the prefix" env -u DISPLAY wineboot
# Waiting for the server's end waits for the mount manager too.
step "waiting for the boot" wineserver -w

# The check: each link is one of the given mappings, and each mapping has its
# link.
bad=0
declare -A seen=()
for link in "$prefix"/dosdevices/com*; do
  [ -e "$link" ] || [ -L "$link" ] || continue
  name=$(basename "$link")
  n=${name#com}
  if [ "$n" = 256 ] && [ -d "$link" ] && [ ! -L "$link" ]; then
    continue
  fi
  target=$(readlink "$link" || echo "(not a link)")
  if [ "$target" = "$hidden" ] && [ -z "${ports[$n]:-}" ]; then
    seen[$n]=1
    continue
  fi
  if [ -z "${ports[$n]:-}" ] || [ "${ports[$n]}" != "$target" ]; then
    echo "wine-prefix: $name -> $target, which was not asked for" >&2
    bad=1
  fi
  case $target in
    /dev/ttyS* | /dev/ttyUSB* | /dev/ttyACM*)
      echo "wine-prefix: $name reaches a serial port of this machine ($target)" >&2
      bad=1
      ;;
  esac
  seen[$n]=1
done
for n in "${!ports[@]}"; do
  if [ -z "${seen[$n]:-}" ]; then
    echo "wine-prefix: com$n was not made (wanted -> ${ports[$n]})" >&2
    bad=1
  fi
done
if [ "$bad" != 0 ]; then
  WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
  die "the COM map of $prefix is not the one asked for; no program may run in it"
fi
for n in $(printf '%s\n' "${!ports[@]}" | sort -n); do
  echo "wine-prefix: COM$n -> ${ports[$n]}"
done
echo "wine-prefix: every other COM name is hidden ($hidden)"
