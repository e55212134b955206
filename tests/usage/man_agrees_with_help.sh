#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# man_agrees_with_help.sh PROGRAM MAN_PAGE: every command that PROGRAM --help
# lists has its part in the man page, and every option line of its help
# (the command's --help, or the program's own for a program whose commands
# have none) stands there too, word for word; so do the program's options.
set -euo pipefail
program=$1
page=$2
name=$(basename "$program")
failures=0

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# Words separated by single spaces, so that wrapping does not matter.
squeeze() { tr -s ' \n' '  ' | sed 's/^ //; s/ $//'; }

# The option lines of a help text from the line that starts with $2 to the
# next blank line, a wrapped line joined to its option, one option a line.
option_lines() {
  awk -v start="$2" '
    $0 == start { on = 1; next }
    on && $0 == "" { exit }
    on && /^  -/ { if (line != "") print line; line = $0; next }
    on { line = line " " $0 }
    END { if (line != "") print line }' <<<"$1" | while IFS= read -r line; do squeeze <<<"$line"; echo; done
}

rendered=$(groff -man -Tascii -P-cbou "$page")

# The text of the man page's part for a command (".SS NAME", shown indented
# by three spaces) or of a section ("OPTIONS"), squeezed.
part() {
  awk -v heading="$1" '
    $0 == heading { on = 1; next }
    on && (/^   [a-z]/ || /^[A-Z]/) { exit }
    on { print }' <<<"$rendered" | squeeze
}

# expect_options HELP START PART: the option lines of HELP below START are in PART.
expect_options() {
  local text
  text=$(part "$3")
  [ -n "$text" ] || fail "$name: the man page has no part $3"
  while IFS= read -r line; do
    [ -z "$line" ] && continue
    [[ " $text " == *" $line "* ]] || fail "$name: \"$line\" is not in the man page's $3"
  done < <(option_lines "$1" "$2")
}

help=$("$program" --help)
commands=$(awk '/^commands:$/ { on = 1; next } on && /^$/ { exit } on && /^  [a-z]/ { print $1 }' <<<"$help")
[ -n "$commands" ] || fail "$name --help lists no command"
expect_options "$help" "options:" "OPTIONS"
for command in $commands; do
  if grep -q "^options of " <<<"$help"; then
    [ -n "$(part "   $command")" ] || fail "$name: the man page has no part for $command"
    grep -q "^options of $command:$" <<<"$help" && expect_options "$help" "options of $command:" "   $command"
  else
    command_help=$("$program" "$command" --help)
    usage=$(head -n 1 <<<"$command_help" | sed 's/^usage: //')
    [[ " $(part "   $command") " == *" $usage "* ]] || fail "$name: the synopsis \"$usage\" is not in the man page"
    expect_options "$command_help" "options:" "   $command"
  fi
done
echo "$name: $(wc -w <<<"$commands") commands checked, $failures failures"
[ "$failures" -eq 0 ]
