# bash completion for Vardelta and Varmend (and their lower-case names).
#
# Offers the keywords that may still be added to the line, then file names.
# A keyword the line already holds is not offered again: the programs would
# take its second occurrence as a file name.

# The keywords given after `$1` that `$1`, the word being typed, begins,
# compared without regard to case.
# What was typed is kept; the rest of the keyword follows the case of the last
# letter typed, and with nothing typed the keyword is written as in the usage.
_vardelta_matching_keywords() {
  local cur=$1 keyword rest letters
  shift
  letters=${cur//[!a-zA-Z]/}
  for keyword in "$@"; do
    [[ ${keyword,,} == "${cur,,}"* ]] || continue
    rest=${keyword:${#cur}}
    case ${letters: -1} in
      [a-z]) rest=${rest,,} ;;
      [A-Z]) rest=${rest^^} ;;
    esac
    printf '%s\n' "$cur$rest"
  done
}

# Sets `_vardelta_given` to the keywords on the line (lower case, one space
# around each), `_vardelta_names` to the number of file names before the word
# being completed, and `_vardelta_value_of` to the keyword whose value that
# word is, if any. `$1` lists the keywords that take a value.
_vardelta_scan_line() {
  local valued=" $1 " keywords=" $2 " word i
  _vardelta_given=" "
  _vardelta_names=0
  _vardelta_value_of=
  for ((i = 1; i < COMP_CWORD; i++)); do
    word=${COMP_WORDS[i],,}
    if [[ $keywords == *" $word "* && $_vardelta_given != *" $word "* ]]; then
      _vardelta_given+="$word "
      if [[ $valued == *" $word "* ]]; then
        ((i + 1 == COMP_CWORD)) && _vardelta_value_of=$word
        ((i++))
      fi
    else
      ((_vardelta_names++))
    fi
  done
}

_vardelta_has() { [[ $_vardelta_given == *" $1 "* ]]; }

# Fills COMPREPLY with the keywords in `offer` and, while fewer than
# `$1` file names are on the line, with file names.
_vardelta_reply() {
  local names_wanted=$1 cur=${COMP_WORDS[COMP_CWORD]} keyword
  shift
  local offer=()
  for keyword in "$@"; do _vardelta_has "${keyword,,}" || offer+=("$keyword"); done
  COMPREPLY=()
  if ((_vardelta_names < names_wanted)); then
    if declare -F _filedir >/dev/null; then
      _filedir
    else
      compopt -o filenames 2>/dev/null
      mapfile -t COMPREPLY < <(compgen -f -- "$cur")
    fi
  fi
  mapfile -t -O "${#COMPREPLY[@]}" COMPREPLY < <(_vardelta_matching_keywords "$cur" "${offer[@]}")
}

_vardelta() {
  _vardelta_scan_line "mode vary" "mode vary auto deep optimal verbose mem128 mem256"
  case $_vardelta_value_of in
    mode) mapfile -t COMPREPLY < <(compgen -W "1 2 3 4" -- "${COMP_WORDS[COMP_CWORD]}"); return ;;
    vary) COMPREPLY=(); return ;;
  esac
  # A fixed MODE and VARY, or AUTO and DEEP: the one pair makes the other
  # pointless.
  local keywords=(VERBOSE mem128 mem256)
  _vardelta_has optimal || keywords+=(OPTIMAL)
  if _vardelta_has mode || _vardelta_has vary; then
    keywords+=(MODE VARY)
  elif _vardelta_has auto || _vardelta_has deep; then
    keywords+=(AUTO DEEP)
  else
    keywords+=(MODE VARY AUTO DEEP)
  fi
  _vardelta_reply 3 "${keywords[@]}"
}

_varmend() {
  _vardelta_scan_line "" "direct backup recursive noversion quiet"
  local keywords=(DIRECT RECURSIVE)
  # BACKUP means something only with DIRECT; QUIET already leaves out what
  # NOVERSION would.
  _vardelta_has direct && keywords+=(BACKUP)
  _vardelta_has quiet || _vardelta_has noversion || keywords+=(NOVERSION QUIET)
  _vardelta_reply 3 "${keywords[@]}"
}

complete -F _vardelta Vardelta vardelta
complete -F _varmend Varmend varmend
