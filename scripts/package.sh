#!/usr/bin/env bash
# Builds the Debian package from the Release tree and checks it:
#   bash scripts/package.sh
# 1. builds the Release tree build/release (every target, as the README's
#    benchmark command does; a tree that is up to date is only checked);
# 2. makes build/release/package/corvane_<version>_amd64.deb with CPack
#    from the tree's install rules;
# 3. runs lintian on it: an error or a hardening-* tag fails, warnings are
#    shown;
# 4. unpacks it into a temporary root with dpkg-deb -x, checks what it
#    holds (the programs hardened as hardening-check wants, the manual
#    pages, corvane-cli's bash completion), and runs its programs from there.
# Installs the Debian packages that are missing first.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build/release
scripts/install-deps.sh

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DCORVANE_SANITIZE= >/dev/null
cmake --build "$build" -j"$(nproc)"
rm -rf "$build/package"
(cd "$build" && cpack -G DEB >cpack.log 2>&1) || {
  cat "$build/cpack.log" >&2
  exit 1
}
deb=$(ls "$build"/package/corvane_*_amd64.deb)
echo "== $deb"
dpkg-deb --field "$deb" Package Version Architecture Depends Installed-Size

echo "== lintian"
lintian --fail-on error --display-info "$deb" | tee "$build/lintian.log" || {
  echo "package: lintian found errors" >&2
  exit 1
}
if grep -q ' hardening-' "$build/lintian.log"; then
  echo "package: lintian finds the programs not hardened" >&2
  exit 1
fi

root=$(mktemp -d "${TMPDIR:-/tmp}/corvane-package.XXXXXX")
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
fail() {
  echo "package: $*" >&2
  exit 1
}

# What it must hold: the programs, each with its manual page, and the rest.
programs=(corvane corvane-cli corvane-camsim)
for p in "${programs[@]}"; do
  [ -x "$root/usr/bin/$p" ] || fail "no /usr/bin/$p"
done
for p in "$root"/usr/bin/*; do
  page=$root/usr/share/man/man1/$(basename "$p").1.gz
  [ -f "$page" ] || fail "no manual page for $(basename "$p")"
  warnings=$(LC_ALL=C.UTF-8 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "$(basename "$page"): $warnings"
done
for f in usr/share/applications/corvane.desktop \
  usr/share/icons/hicolor/16x16/apps/corvane.png \
  usr/share/icons/hicolor/32x32/apps/corvane.png \
  usr/share/doc/corvane/copyright usr/share/doc/corvane/changelog.gz; do
  [ -f "$root/$f" ] || fail "no /$f"
done
dpkg-deb --field "$deb" Depends | grep -q 'libfltk1.3' || fail "Depends does not name FLTK"

# Built with Debian's hardening flags (the Release build's). Control-flow
# protection is compiled in (-fcf-protection), but the linker marks a
# program as protected only when every object in it is, and Debian 12's C
# start files (Scrt1.o, crti.o) are not: where they are not, no program
# passes that check (/usr/bin/ls neither), and it is left out.
echo "== hardening-check"
check=()
readelf -n "$(gcc -print-file-name=Scrt1.o)" | grep -q 'x86 feature: IBT' || check+=(--nocfprotection)
for p in "${programs[@]}"; do
  hardening-check "${check[@]}" "$root/usr/bin/$p" | sed 's/^/  /'
  [ "${PIPESTATUS[0]}" -eq 0 ] || fail "$p is not hardened"
done

# corvane-cli's completion: defined after sourcing it in a fresh bash, and
# found where bash-completion loads a command's completion from.
completion=$root/usr/share/bash-completion/completions/corvane-cli
[ -f "$completion" ] || fail "no /usr/share/bash-completion/completions/corvane-cli"
echo "== bash completion"
env -i bash --norc --noprofile -c 'source "$0" && complete -p corvane-cli' "$completion" |
  sed 's/^/  /'
[ "${PIPESTATUS[0]}" -eq 0 ] || fail "the completion file defines no completion for corvane-cli"
loader=/usr/share/bash-completion/bash_completion
env -i XDG_DATA_DIRS="$root/usr/share" bash --norc --noprofile -c \
  'source "$0" && __load_completion corvane-cli && complete -p corvane-cli' "$loader" \
  >/dev/null || fail "bash-completion does not find corvane-cli's completion"

# The programs run from the unpacked root: run PROGRAM ARGS... shows the
# command and its output, and fails unless it exits 0 (a program missing
# from the package fails too).
run() {
  local program=$1
  shift
  echo "\$ $program $*"
  "$root/usr/bin/$program" "$@" | sed 's/^/  /' || fail "$program $* exited ${PIPESTATUS[0]}"
}
run corvane-camsim --help
run corvane-cli --version
# The machine's serial devices and their states (COM1 to COM4 at least).
run corvane-cli ports
# Without a display corvane says so and ends with status 1 (which also
# shows that its libraries load).
echo "\$ corvane   (no display)"
status=0
out=$(env -u DISPLAY "$root/usr/bin/corvane" 2>&1) || status=$?
echo "  $out (status $status)"
[ "$status" -eq 1 ] && [[ $out == *display* ]] || fail "corvane without a display: $status $out"

echo "package: $deb is complete and its programs run"
