# Bash completion for corvane-cli: its subcommands, their options and the
# global ones (which may stand before or after the subcommand), the values
# of --port, --format and --page, and file names where a file is asked for.
# Installed as /usr/share/bash-completion/completions/corvane-cli, where
# bash-completion loads it at the first <Tab> after corvane-cli; it needs
# nothing from bash-completion itself, so `source` works in any bash.

_corvane_cli() {
  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
  local option="" prefix="" cmd="" i word
  local commands="ports read write dump verify restore undo"
  local globals="--port --trace --trace= -q --quiet --journal --safe --version --help"
  COMPREPLY=()

  # The subcommand: the first word that is not an option or an option's
  # value (--trace takes its file only after '=').
  for ((i = 1; i < COMP_CWORD; i++)); do
    word=${COMP_WORDS[i]}
    case $word in
      --port | --journal | -o | --output | --format | --page) ((i++)) ;;
      -*) ;;
      *) [[ " $commands " == *" $word "* ]] && cmd=$word && break ;;
    esac
  done

  # The option whose value is being completed. Bash splits "--trace=FILE"
  # at the '=' (COMP_WORDBREAKS) into "--trace", "=", "FILE".
  if [[ $cur == "=" && $prev == --* ]]; then
    option=$prev cur=""
  elif [[ $prev == "=" && $COMP_CWORD -ge 2 ]]; then
    option=${COMP_WORDS[COMP_CWORD - 2]}
  elif [[ $cur == --*=* ]]; then # '=' is no word break in this shell
    option=${cur%%=*} prefix=${cur%%=*}= cur=${cur#*=}
  else
    case $prev in
      --port | --journal | -o | --output | --format | --page) option=$prev ;;
    esac
  fi

  local values=()
  case $option in
    --port)
      local devices=(/dev/ttyUSB* /dev/ttyACM* /dev/ttyS* /dev/serial/by-id/*) device
      values=(COM1 COM2 COM3 COM4)
      for device in "${devices[@]}"; do
        [[ -e $device ]] && values+=("$device")
      done
      mapfile -t COMPREPLY < <(compgen -W "${values[*]}" -- "$cur")
      ;;
    --format) mapfile -t COMPREPLY < <(compgen -W "ihex raw" -- "$cur") ;;
    --page) mapfile -t COMPREPLY < <(compgen -W "0 1" -- "$cur") ;;
    --trace | --journal | -o | --output)
      compopt -o filenames 2>/dev/null
      mapfile -t COMPREPLY < <(compgen -f -- "$cur")
      ;;
    *)
      if [[ $cur == -* ]]; then
        case $cmd in
          ports) values=(--probe) ;;
          dump) values=(--page --format -o --output) ;;
          verify) values=(--page --format) ;;
          restore) values=(--dry-run --page --format) ;;
          undo) values=(--force) ;;
        esac
        mapfile -t COMPREPLY < <(compgen -W "${values[*]} $globals" -- "$cur")
        [[ ${#COMPREPLY[@]} -eq 1 && ${COMPREPLY[0]} == *= ]] && compopt -o nospace 2>/dev/null
      elif [[ -z $cmd ]]; then
        mapfile -t COMPREPLY < <(compgen -W "$commands" -- "$cur")
      elif [[ $cmd == verify || $cmd == restore ]]; then
        compopt -o filenames 2>/dev/null
        mapfile -t COMPREPLY < <(compgen -f -- "$cur")
      fi
      ;;
  esac
  [[ -n $prefix ]] && COMPREPLY=("${COMPREPLY[@]/#/$prefix}")
  return 0
}

complete -F _corvane_cli corvane-cli
