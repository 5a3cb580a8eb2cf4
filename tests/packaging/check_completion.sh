#!/usr/bin/env bash
# velt-cli's bash completion as a shell uses it: the options and commands it
# offers are those of `velt-cli --help`, and an option's values those its
# help line names.
#   check_completion.sh COMPLETION VELT_CLI
set -euo pipefail
completion=$1 cli=$2
PATH=$(dirname "$cli"):$PATH
# shellcheck source=/dev/null
source "$completion"
failures=0
offered() { # WORD...: what completing the last word offers
  COMP_WORDS=(velt-cli "$@")
  COMP_CWORD=$#
  COMPREPLY=()
  _velt_cli
  printf '%s\n' "${COMPREPLY[@]}" | sort
}
expect() { # WANTED WORD...
  local wanted=$1 got
  shift
  got=$(offered "$@" | tr '\n' ' ')
  [ "$got" = "$wanted" ] || { echo "FAIL: [velt-cli $*] offers \"$got\", not \"$wanted\""; failures=$((failures + 1)); }
}
help_options=$("$cli" --help | grep -oE '^[[:space:]]+--[a-z-]+' | tr -d ' ' | sort | tr '\n' ' ')
expect "$help_options" --
expect "--parity --parity-check --parity-replace --parity-replace-char " --pa
expect "--port " --po
expect "even mark none odd space " --parity ""
expect "set-clock " s
[ "$failures" -eq 0 ] && echo "the completion offers velt-cli's options, commands and values"
exit "$failures"
