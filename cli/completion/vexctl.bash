# bash completion for vexctl: commands, options, member names of the script
# object (asked once per shell from `vexctl list --names`), files for the
# commands that take one, and ports for --port (from `vexctl ports`: the
# machine's serial ports and the simulator's; --port may be repeated, and
# --all-ports takes them all).
_vexctl_members() {
  if [ -z "${_vexctl_member_cache:-}" ]; then
    _vexctl_member_cache=$("${1:-vexctl}" list --names 2>/dev/null | tr '\n' ' ')
  fi
  printf '%s' "$_vexctl_member_cache"
}

_vexctl() {
  local cur prev words cword
  _init_completion 2>/dev/null || {
    cur=${COMP_WORDS[COMP_CWORD]}
    prev=${COMP_WORDS[COMP_CWORD-1]}
    words=("${COMP_WORDS[@]}")
    cword=$COMP_CWORD
  }
  local commands="info get set list call backup restore download reset state nv show diff check ports help"
  local options="--port --all-ports --sim --baud --spc --json --timeout --help --version"

  case "$prev" in
    --port|-p)
      local ports
      ports=$("${words[0]:-vexctl}" ports 2>/dev/null | awk 'NR > 1 { print $1 }')
      COMPREPLY=($(compgen -W "$ports" -- "$cur"))
      return ;;
    --baud|-b) COMPREPLY=($(compgen -W "9600 19200 38400 57600 115200" -- "$cur")); return ;;
    --spc|--timeout) return ;;
    --report) COMPREPLY=($(compgen -f -- "$cur")); return ;;
  esac

  # The command is the first word that is neither an option nor its value.
  local i command="" sub="" position=0
  for ((i = 1; i < cword; i++)); do
    case "${words[i]}" in
      --port|-p|--baud|-b|--spc|--report|--timeout) ((i++)) ;;
      -*) ;;
      *) if [ -z "$command" ]; then command=${words[i]}; elif [ -z "$sub" ]; then sub=${words[i]}; fi
         ((position++)) ;;
    esac
  done

  if [[ "$cur" == -* ]]; then
    case "$command" in
      set|call) options="$options --no-commit" ;;
      restore) options="$options --report --verbose --dry-run --no-safety-copy --yes" ;;
      download) options="$options --boot-block --yes --no-safety-copy" ;;
      list) options="$options --names" ;;
      nv) [ "$sub" = set ] && options="$options --no-commit" ;;
    esac
    COMPREPLY=($(compgen -W "$options" -- "$cur"))
    return
  fi
  case "$command" in
    "") COMPREPLY=($(compgen -W "$commands" -- "$cur")) ;;
    get|set|call) [ "$position" -eq 1 ] && COMPREPLY=($(compgen -W "$(_vexctl_members "${words[0]}")" -- "$cur")) ;;
    backup|restore|download|show|check) [ "$position" -eq 1 ] && COMPREPLY=($(compgen -f -- "$cur")) ;;
    diff) [ "$position" -le 2 ] && COMPREPLY=($(compgen -f -- "$cur")) ;;
    nv) [ "$position" -eq 1 ] && COMPREPLY=($(compgen -W "items get set tree" -- "$cur")) ;;
    help) [ "$position" -eq 1 ] && COMPREPLY=($(compgen -W "$commands" -- "$cur")) ;;
  esac
}
complete -F _vexctl vexctl
