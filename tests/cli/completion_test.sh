#!/usr/bin/env bash
# corvane-cli's bash completion (the file in $1), called as bash calls it.
source "$1" && complete -p corvane-cli >/dev/null || exit 1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
touch "$dir/camera.hex" "$dir/cells.txt"
failed=0
# expect LINE WANT: the candidates for LINE's last word (empty after a final
# space; bash splits "--trace=F" into "--trace = F") match the pattern WANT.
expect() {
  read -ra COMP_WORDS <<<"$1"
  [[ $1 == *" " ]] && COMP_WORDS+=("")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1)) COMP_LINE=$1 COMP_POINT=${#1}
  _corvane_cli
  # shellcheck disable=SC2053 # a pattern
  [[ "${COMPREPLY[*]}" == $2 ]] || { echo "$1<Tab>: got '${COMPREPLY[*]}', want '$2'"; failed=1; }
}
expect "corvane-cli d" "dump"
expect "corvane-cli --safe dump --format " "ihex raw"
expect "corvane-cli --port " "COM1 COM2 COM3 COM4*"
expect "corvane-cli --port COM1 dump -o $dir/ca" "$dir/camera.hex"
expect "corvane-cli --trace = $dir/ce" "$dir/cells.txt"
expect "corvane-cli verify $dir/cam" "$dir/camera.hex"
expect "corvane-cli restore --d" "--dry-run"
expect "corvane-cli ports --p" "--probe --port"
expect "corvane-cli undo --f" "--force"
exit $failed
