#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# spdx.sh check|add [DIR]: every source file tracked in the git work tree
# DIR (default: this repository) names its licence in the line
#   SPDX-License-Identifier: Apache-2.0
# among its first five lines, as a comment of its language.
#   check  lists the files without it and fails when there is one
#   add    puts it at the top of each of them (below a #! line)
# Source files are C and C++ (.c .h .cpp), shell and Python scripts (and
# any executable with a #! line), CMake (CMakeLists.txt, .cmake, .in
# templates), linker version scripts (.map) and roff man pages (.1).
set -euo pipefail
readonly SPDX_TAG="SPDX-License-Identifier: Apache-2.0"

mode=${1:-}
root=${2:-$(cd "$(dirname "$0")/.." && pwd)}
case $mode in
  check | add) ;;
  *)
    echo "usage: spdx.sh check|add [DIR]" >&2
    exit 2
    ;;
esac

# source_files: the tracked source files of $root, one a line.
source_files() {
  git -C "$root" ls-files -- '*.c' '*.h' '*.cpp' '*.sh' '*.py' '*.cmake' '*.in' CMakeLists.txt '*/CMakeLists.txt' \
    '*.map' '*.1'
  # Executables named for no language, known by their #! line.
  git -C "$root" ls-files -s | awk '$1 == "100755" { print $4 }' | while IFS= read -r file; do
    case ${file##*/} in *.*) continue ;; esac
    [ "$(head -c 2 "$root/$file")" = "#!" ] && echo "$file"
  done
}

# spdx_line FILE: the SPDX line in FILE's comment syntax.
spdx_line() {
  case $1 in
    *.cpp | *.h | *.c)
      # A file whose header is a /* */ comment (C headers, C) keeps to it.
      if [[ $(head -n 1 "$root/$1") == /\** ]]; then echo "/* $SPDX_TAG */"; else echo "// $SPDX_TAG"; fi
      ;;
    *.map) echo "/* $SPDX_TAG */" ;;
    *.1) echo ".\\\" $SPDX_TAG" ;;
    *) echo "# $SPDX_TAG" ;;
  esac
}

missing=()
while IFS= read -r file; do
  head -n 5 "$root/$file" | grep -qF "$SPDX_TAG" || missing+=("$file")
done < <(source_files | sort -u)

if [ "$mode" = check ]; then
  [ ${#missing[@]} -eq 0 ] && exit 0
  printf '%s\n' "${missing[@]}" >&2
  echo "spdx.sh: ${#missing[@]} source files lack \"$SPDX_TAG\" near their top; scripts/spdx.sh add puts it there" >&2
  exit 1
fi

for file in "${missing[@]}"; do
  path=$root/$file
  line=$(spdx_line "$file")
  scratch=$(mktemp)
  if [ "$(head -c 2 "$path")" = "#!" ]; then
    { head -n 1 "$path"; echo "$line"; tail -n +2 "$path"; } >"$scratch"
  else
    { echo "$line"; cat "$path"; } >"$scratch"
  fi
  # Rewrite in place, so that the file keeps its mode.
  cat "$scratch" >"$path"
  rm -f "$scratch"
done
echo "spdx.sh: added the SPDX line to ${#missing[@]} files"
