#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# demo_man_test.sh PROGRAM MAN_PAGE: the hand-kept man page of orvex-demo
# (compressed, as installed) carries every option line of its --help, word
# for word, and the version the program prints.
set -euo pipefail
program=$1
page=$2
squeeze() { tr -s ' \n' '  ' | sed 's/^ //; s/ $//'; }
rendered=$(zcat "$page" | groff -man -Tascii -P-cbou)
options=$(awk '/^OPTIONS$/ { on = 1; next } on && /^[A-Z]/ { exit } on { print }' <<<"$rendered" | squeeze)
failures=0
# An option line of the help starts with two spaces; a wrapped line with more.
while IFS= read -r line; do
  line=$(squeeze <<<"$line")
  [[ " $options " == *" $line "* ]] || { echo "FAIL: \"$line\" is not in the man page's OPTIONS" >&2; failures=$((failures + 1)); }
done < <("$program" --help | awk '/^  [^ ]/ { if (l != "") print l; l = $0; next } /^   / { l = l " " $0 } END { print l }')
version=$("$program" --version | awk '{ print $2 }')
grep -q "^\.TH .*orvex\\\\-demo $version\"" <(zcat "$page") || { echo "FAIL: the man page is not of version $version" >&2; failures=$((failures + 1)); }
[ "$failures" -eq 0 ]
