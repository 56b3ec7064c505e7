# Bash completion of quorvex and quorvex-mpi. The commands, the options and
# what each option takes are read from the program's own --help, so a new
# option completes without a change here.
_quorvex() {
  local current=${COMP_WORDS[COMP_CWORD]} previous=${COMP_WORDS[COMP_CWORD - 1]} help
  help=$("${COMP_WORDS[0]}" --help 2>/dev/null) || return 0
  # "--svg FILE", "-j, --threads N": the options that take a value, with its kind.
  local taking=() kind='' match option
  while read -r match; do
    for option in $(grep -oE -- '-{1,2}[a-z][a-z-]*' <<<"$match"); do
      taking+=("$option")
      [ "$option" != "$previous" ] || kind=${match##* }
    done
  done < <(grep -oE -- '(-[a-z], )?--[a-z][a-z-]* [A-Z]+' <<<"$help")
  if [ -n "$kind" ]; then
    case $kind in
      FILE) mapfile -t COMPREPLY < <(compgen -f -- "$current") ;;
      FOLDER) mapfile -t COMPREPLY < <(compgen -d -- "$current") ;;
      # The reducers are the help's only words of capitals joined by "_".
      NAME) mapfile -t COMPREPLY < <(compgen -W "$(grep -oE '\b[A-Z][A-Z0-9]*_[A-Z0-9_]+\b' \
        <<<"$help" | sort -u)" -- "$current") ;;
      *) COMPREPLY=() ;;
    esac
    return 0
  fi
  if [[ $current == -* ]]; then
    mapfile -t COMPREPLY < <(compgen -W "$(grep -oE -- '(^|[][ (|,])-{1,2}[a-z][a-z-]*' \
      <<<"$(grep -v mpirun <<<"$help")" | grep -oE -- '-.*' | sort -u)" -- "$current")
    return 0
  fi
  # The first word that is no option or option value is the command.
  local i command=
  for ((i = 1; i < COMP_CWORD; i++)); do
    if [[ " ${taking[*]} " == *" ${COMP_WORDS[i]} "* ]]; then
      ((i += 1))
    elif [[ ${COMP_WORDS[i]} != -* ]]; then
      command=${COMP_WORDS[i]}
      break
    fi
  done
  if [ -z "$command" ]; then
    mapfile -t COMPREPLY < <(compgen -W "$(sed -nE 's/^(Usage:)? +quorvex ([a-z|]+).*/\2/p' \
      <<<"$help" | tr '|' ' ')" -- "$current")
  elif [ "$command" = merge ]; then
    mapfile -t COMPREPLY < <(compgen -d -- "$current")
  else
    COMPREPLY=()
  fi
}
complete -F _quorvex quorvex quorvex-mpi
