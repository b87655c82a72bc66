#!/usr/bin/env bash
# Cross-builds the Windows program into build/windows/: corvane.exe (32-bit,
# GUI, statically linked) and corvane-<version>-windows.zip. With --test it
# also runs the Windows tests under Wine (those that make windows under a
# private Xvfb server). Installs the Debian packages it needs if missing.
#   bash scripts/build-windows.sh [--test]
set -euo pipefail
cd "$(dirname "$0")/.."

run_tests=0
for arg in "$@"; do
  case "$arg" in
    --test) run_tests=1 ;;
    *) echo "usage: bash scripts/build-windows.sh [--test]" >&2; exit 2 ;;
  esac
done

# The Linux packages too: the end-to-end check's simulated camera comes from
# a host build.
scripts/install-deps.sh
scripts/install-deps.sh --windows

launcher=()
if command -v ccache >/dev/null; then
  export CCACHE_BASEDIR="$PWD"
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
# The simulated camera of the end-to-end test runs on this machine: it comes
# from a host build of its target alone.
cmake -S . -B build/host -DCMAKE_BUILD_TYPE=Release -DCORVANE_SANITIZE= "${launcher[@]}" >/dev/null
cmake --build build/host --target corvane-camsim -j"$(nproc)"
cmake -S . -B build/windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake \
  -DCMAKE_BUILD_TYPE=Release -DCORVANE_HOST_CAMSIM="$PWD/build/host/tools/camsim/corvane-camsim" \
  "${launcher[@]}" >/dev/null
cmake --build build/windows -j"$(nproc)"

exe=build/windows/corvane.exe
# The portable file: a 32-bit GUI program that imports only Windows' own DLLs.
headers=$(i686-w64-mingw32-objdump -p "$exe")
grep -q 'file format pei-i386' <<<"$headers" || { echo "$exe: not a PE32 i386 file" >&2; exit 1; }
grep -q 'Subsystem.*(Windows GUI)' <<<"$headers" || { echo "$exe: not a GUI program" >&2; exit 1; }
dlls=$(sed -n 's/^\tDLL Name: //p' <<<"$headers" | tr 'A-Z' 'a-z' | sort -u)
for dll in $dlls; do
  case "$dll" in
    kernel32.dll | user32.dll | gdi32.dll | comctl32.dll | comdlg32.dll | msvcrt.dll | advapi32.dll \
      | shell32.dll) ;;
    *) echo "$exe imports $dll, which is not Windows' own" >&2; exit 1 ;;
  esac
done
echo "$exe: $(stat -c %s "$exe") bytes; imports $(echo $dlls)"
ls build/windows/corvane-*-windows.zip

if ((run_tests)); then
  ctest --test-dir build/windows --output-on-failure -j"$(nproc)"
fi
