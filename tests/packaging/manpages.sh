#!/usr/bin/env bash
# Each program's manual page against the program itself: every option and
# command its usage text names is documented, every option the page
# documents still exists, every VELKARN_ variable the program reads is in
# ENVIRONMENT, the usual sections are there and groff formats it cleanly.
# usage: manpages.sh MAN-DIR [--window] NAME=PROGRAM...
# --window marks the next program as one that opens a window instead of
# printing a usage text; its page is checked for all but the usage.
set -u
mandir=$1
shift
. "$(dirname "$0")/checks.sh"

sections=("NAME" "SYNOPSIS" "DESCRIPTION" "OPTIONS" "ENVIRONMENT" "FILES" "EXIT STATUS" "EXAMPLES")

# The page's source as plain words: escaped hyphens and font changes undone.
plain() {
  sed -e 's/\\-/-/g' -e 's/\\f[BIRP]//g' -e 's/\\(aq/'"'"'/g' "$1"
}

# Lines of one .SH section of a page in plain form.
section() { # page title
  plain "$1" | awk -v title="$2" '
    /^\.SH/ { sub(/^\.SH +/, ""); gsub(/"/, ""); inside = ($0 == title); next }
    inside'
}

# The usage text, however the program prints it: --help on either stream.
usage_of() {
  timeout 10 "$1" --help </dev/null 2>&1 | grep -E '^(usage|Usage|  |--)' || true
}

window=no
for entry in "$@"; do
  if [ "$entry" = --window ]; then
    window=yes
    continue
  fi
  name=${entry%%=*}
  program=${entry#*=}
  page=$mandir/$name.1
  if [ ! -f "$page" ]; then
    fail "$name has no manual page"
    continue
  fi

  for title in "${sections[@]}"; do
    grep -qE "^\.SH \"?$title\"?$" "$page" || fail "$name.1 lacks the section $title"
  done
  grep -q "^\.TH ${name^^} 1 " "$page" || fail "$name.1 does not begin with .TH ${name^^} 1"

  words=$(plain "$page")
  usage=""
  if [ "$window" = no ]; then
    usage=$(usage_of "$program")
    [ -n "$usage" ] || fail "$name printed no usage text"
  fi
  window=no

  # Options and commands the usage names: --option, a command at the start
  # of an indented line, and every choice of a lower-case a|b|c list.
  options=$(grep -oE -- '--[a-z0-9][a-z0-9-]*' <<<"$usage" | sort -u)
  commands=$( (sed -nE 's/^  ([a-z][a-z0-9-]*)([ |].*)?$/\1/p' <<<"$usage"
               grep -oE '(^|[ [])[a-z][a-z0-9-]*(\|[a-z][a-z0-9-]*)+' <<<"$usage" | tr -d ' [' | tr '|' '\n') | sort -u)
  # An option is documented by an item of its own under OPTIONS (the line
  # after .TP), not by a mention in another's text.
  documented=$(section "$page" OPTIONS | awk 'prev == ".TP" { print } { prev = $0 }' \
                 | grep -oE -- '--[a-z0-9][a-z0-9-]*' | sort -u)
  for option in $options; do
    grep -qxF -- "$option" <<<"$documented" || fail "$name.1 has no item for $option under OPTIONS"
  done
  if [ -n "$usage" ]; then
    for option in $documented; do
      grep -qxF -- "$option" <<<"$options" || fail "$name.1 documents $option, which $name does not take"
    done
  fi
  for command in $commands; do
    grep -qwe "$command" <<<"$words" || fail "$name.1 does not mention the command $command"
  done

  # Variables are looked up by name, so the names are in the program's text.
  environment=$(section "$page" ENVIRONMENT)
  for variable in $(grep -aoE 'VELKARN_[A-Z0-9_]*[A-Z0-9]' "$program" | sort -u); do
    grep -qw "$variable" <<<"$environment" || fail "$name.1 does not describe $variable under ENVIRONMENT"
  done

  if have man; then
    warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "$name.1 formats with warnings: $warnings"
  fi
done

finish
