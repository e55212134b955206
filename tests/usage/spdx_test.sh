#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# spdx_test.sh SCRIPT: spdx.sh, on a scratch repository with one file of
# each kind, finds every file without the SPDX line, adds it in the file's
# own comment form (below a #! line, the file's mode kept), is then
# satisfied, and adds nothing a second time; files that are not source
# (data, Markdown) are left alone.
set -euo pipefail
script=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

tag="SPDX-License-Identifier: Apache-2.0"
# file | its first line | its first two lines after add ("\n" parts them)
rows=(
  "a.cpp|// A source file.|// $tag\n// A source file."
  "inc/b.h|// A header.|// $tag\n// A header."
  "c.h|/* A C header. */|/* $tag */\n/* A C header. */"
  "d.c|int main(void) { return 0; }|// $tag\nint main(void) { return 0; }"
  "run.sh|#!/usr/bin/env bash|#!/usr/bin/env bash\n# $tag"
  "tool.py|#!/usr/bin/env python3|#!/usr/bin/env python3\n# $tag"
  ".ci/run|#!/bin/sh|#!/bin/sh\n# $tag"
  "CMakeLists.txt|add_library(x x.cpp)|# $tag\nadd_library(x x.cpp)"
  "sub/CMakeLists.txt|# A folder.|# $tag\n# A folder."
  "cmake/Rules.cmake|set(A 1)|# $tag\nset(A 1)"
  "cmake/x.pc.in|prefix=@P@|# $tag\nprefix=@P@"
  "exports.map|{|/* $tag */\n{"
  "man/x.1|.TH X 1|.\\\\\" $tag\n.TH X 1"
)
untouched=("notes.md" "data/sample.txt")

git init -q "$work/repo"
for row in "${rows[@]}"; do
  IFS='|' read -r file first _ <<<"$row"
  mkdir -p "$(dirname "$work/repo/$file")"
  printf '%s\nsecond line\n' "$first" >"$work/repo/$file"
done
chmod +x "$work/repo/.ci/run" "$work/repo/run.sh"
for file in "${untouched[@]}"; do
  mkdir -p "$(dirname "$work/repo/$file")"
  echo "plain text" >"$work/repo/$file"
done
git -C "$work/repo" add -A

if "$script" check "$work/repo" 2>"$work/said"; then fail "check passed a tree without SPDX lines"; fi
for row in "${rows[@]}"; do
  IFS='|' read -r file _ <<<"$row"
  grep -qx "$file" "$work/said" || fail "check did not name $file"
done

"$script" add "$work/repo" >/dev/null
for row in "${rows[@]}"; do
  IFS='|' read -r file _ expected <<<"$row"
  got=$(head -n 2 "$work/repo/$file")
  [ "$got" = "$(printf "${expected//%/%%}")" ] || fail "$file begins with $(printf '%q' "$got")"
  [ "$(tail -n 1 "$work/repo/$file")" = "second line" ] || fail "$file lost its end"
done
[ -x "$work/repo/.ci/run" ] || fail ".ci/run lost its mode"
for file in "${untouched[@]}"; do
  [ "$(cat "$work/repo/$file")" = "plain text" ] || fail "$file was changed"
done
"$script" check "$work/repo" || fail "check failed after add"
[ "$("$script" add "$work/repo")" = "spdx.sh: added the SPDX line to 0 files" ] || fail "a second add changed files"
[ "$failures" -eq 0 ]
