#!/usr/bin/env bash
# Fails when velt-cli's help and its manual pages disagree: the options and
# the commands that `velt-cli --help` lists must be exactly those that each
# page's OPTIONS and COMMANDS sections list (any language). Nothing here
# knows the names themselves.
#   check_manual_options.sh VELT_CLI PAGE...
# With --self-test first, it also shows that a page missing an option and a
# help with an option more are both caught.
set -euo pipefail

# Indented help lines: "  --name ..." (options, "-h, --help" too) and
# "  word ..." (commands).
help_names() { # KIND HELP_TEXT
  awk -v kind="$1" '
    kind == "options" && /^[ \t]+-/ {
      for (i = 1; i <= NF; ++i) { w = $i; sub(/,$/, "", w); if (w ~ /^--?[a-z][a-z-]*$/) print w } }
    kind == "commands" && /^[ \t]+[a-z][a-z-]*([ \t]|$)/ { print $1 }' <<<"$2" | sort -u
}

# The items (.TP headings) of the page's sections named in English or Polish.
page_names() { # KIND PAGE
  local sections
  if [ "$1" = options ]; then sections='OPTIONS|OPCJE'; else sections='COMMANDS|POLECENIA'; fi
  awk -v sections="^\\\\.SH (\"?)($sections)(\"?)\$" '
    /^\.SH/ { inside = ($0 ~ sections); next }
    inside && /^\.TP/ { heading = 1; next }
    inside && heading { heading = 0; print }' "$2" |
    sed -E 's/^\.[A-Z]+ //; s/\\f[BIRP]//g; s/\\-/-/g; s/"//g' |
    if [ "$1" = options ]; then grep -oE '(^|[ ,])--?[a-z][a-z-]*' | tr -d ' ,'; else awk '{ print $1 }'; fi |
    sort -u
}

compare() { # HELP_TEXT PAGE: prints the differences, fails on any
  local kind differences=0
  for kind in options commands; do
    local in_help in_page
    in_help=$(help_names "$kind" "$1")
    in_page=$(page_names "$kind" "$2")
    [ -n "$in_help" ] || { echo "$2: the help lists no $kind"; differences=1; }
    if [ "$in_help" != "$in_page" ]; then
      echo "$2: $kind differ from velt-cli --help (< help only, > page only):"
      diff <(echo "$in_help") <(echo "$in_page") | grep '^[<>]' || true
      differences=1
    fi
  done
  return "$differences"
}

self_test=false
[ "${1:-}" = --self-test ] && { self_test=true; shift; }
cli=$1
shift
help=$("$cli" --help)
failures=0
for page in "$@"; do
  compare "$help" "$page" || failures=$((failures + 1))
done

if $self_test; then
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  # The page's first option item removed; an option added to the help.
  awk '/^\.SH (OPTIONS|OPCJE)/ { s = 1 } s && /^\.TP/ && !done { skip = 2; done = 1 } skip { --skip; next } { print }' \
    "$1" >"$work/page"
  if compare "$help" "$work/page" >/dev/null; then echo "FAIL: a page missing an option passed"; failures=$((failures + 1)); fi
  if compare "$help"$'\n  --extra-option X  added' "$1" >/dev/null; then
    echo "FAIL: a help with an option more passed"; failures=$((failures + 1))
  fi
fi
[ "$failures" -eq 0 ] && echo "velt-cli --help and its manual pages list the same options and commands"
exit "$failures"
