#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Checks that no folder includes a header of a layer above it:
#   platform -> {tree, drive} -> image -> pipeline -> services -> component -> {cli, demo}
# The front ends (cli, demo, examples) include the component and nothing
# below it; the virtual burner includes only the request block of drive/.
# manual/ (the writers of help, man pages and completion) includes nothing
# of the project, and only the command line and the burner's tool use it.
# Prints every include that breaks the order and exits 1 if there is one.
set -euo pipefail
cd "$(dirname "$0")/.."

folders=()
for folder in manual platform tree drive image pipeline services component cli demo examples vburner; do
  [ -d "$folder" ] && folders+=("$folder")
done
grep -rnE '^#include "[a-z_]+/' "${folders[@]}" --include='*.h' --include='*.cpp' | awk '
  BEGIN {
    split("platform:0 tree:1 drive:1 image:2 pipeline:3 services:4 component:5", pairs, " ")
    for (i in pairs) { split(pairs[i], kv, ":"); rank[kv[1]] = kv[2] }
    bad = 0
  }
  {
    split($0, parts, ":")
    file = parts[1]
    split(file, path, "/")
    folder = path[1]
    match($0, /#include "[a-z_]+\//)
    included = substr($0, RSTART + 10, RLENGTH - 11)
    if (folder == included) next
    if (folder == "cli") ok = included == "component" || included == "manual"
    else if (folder == "demo" || folder == "examples") ok = included == "component"
    else if (folder == "vburner") ok = included == "drive" || included == "manual"
    else if (folder == "manual") ok = 0
    else ok = (included in rank) && rank[included] < rank[folder]
    if (!ok) { print "layers: " file ":" parts[2] ": " folder "/ includes " included "/" > "/dev/stderr"; bad = 1 }
  }
  END {
    if (!bad) print "layers: every include respects the order"
    exit bad
  }'
