#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# The real orvex-demo in an X server of its own (Xvfb), in a made-up home
# holding only a copy of the sample folder: it is started with that copy
# on its path list and a virtual DVD writer running at
# four times a real drive's pace; the drive is chosen and the burn started from the keyboard as
# a user would (the drive list has the focus: Home, then Ctrl+B for Burn),
# and the window is photographed at the start, while it writes and when it
# is done.  The
# disc must then hold every file of the sample.
#
#   xvfb_burn.sh DEMO VBURNER_TOOL ORVEX GRAB_WINDOW SAMPLE SHOTS_DIR
# Exit 77 (skipped) where Xvfb or xdotool is missing.
set -euo pipefail

# Waits up to $3 seconds until the trace $1 has a line holding $2 after
# the first line holding $4 (when given).
wait_for_command() {
  for _ in $(seq 1 $(( $3 * 10 ))); do
    awk -v after="${4:-}" -v want="$2" 'after == "" || index($0, after) { on = 1 }
      on && index($0, want) { found = 1 } END { exit !found }' "$1" 2>/dev/null && return 0
    sleep 0.1
  done
  echo "the drive never received$2" >&2
  return 1
}

# Inside the X server (this script run again by xvfb-run): the program,
# the keys, the pictures.
if [ "${1:-}" = "--in-x-server" ]; then
  demo=$2 sample=$3 trace=$4 grab=$5 shots=$6 log=$7
  "$demo" --no-pass-through "$sample" >"$log" 2>&1 &
  pid=$!
  window=$(timeout 30 xdotool search --sync --name "^Orvex Demo - Version " | head -1)
  xdotool windowsize "$window" 1280 800 windowmove "$window" 0 0
  # There is no window manager to give the window the keyboard.
  xdotool windowfocus "$window"
  sleep 1
  "$grab" "$window" "$shots/orvex-demo-start.png"
  xdotool key Home
  sleep 0.5
  xdotool key ctrl+b
  wait_for_command "$trace" " 0:0:0 2a " 60
  sleep 0.3
  "$grab" "$window" "$shots/orvex-demo-burning.png"
  # A burn's last commands, after the closing, are REZERO UNIT and TEST
  # UNIT READY; the window shows the end a moment later.
  wait_for_command "$trace" " 0:0:0 01 " 300 " 0:0:0 5b "
  sleep 1
  "$grab" "$window" "$shots/orvex-demo-done.png"
  # SIGTERM closes the window as its close button would.
  kill -TERM "$pid"
  wait "$pid"
  exit
fi

demo=$1 vburner=$2 orvex=$3 grab=$4 sample=$5 shots=$6
for tool in xvfb-run xdotool; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/home" "$shots"
export HOME=$work/home XDG_STATE_HOME=$work/state
cp -r "$sample" "$HOME/"
sample=$HOME/$(basename "$sample")
medium=$work/dvd+r.vmed
trace=$work/trace.txt
"$vburner" new dvd+r "$medium"
export ORVEX_VBURNER="0:0:0,class=dvd-writer,medium=$medium;timescale=4;trace=$trace"

xvfb-run -a -s "-screen 0 1280x800x24" "$0" --in-x-server "$demo" "$sample" "$trace" "$grab" "$shots" \
  "$work/demo.log" || { cat "$work/demo.log"; exit 1; }

"$vburner" export "$medium" "$work/disc.iso"
listing=$("$orvex" ls "$work/disc.iso")
echo "$listing"
while IFS= read -r name; do
  grep -qF " /${name#./}" <<<"$listing" || { echo "the disc lacks $name" >&2; exit 1; }
done < <(cd "$sample" && find . -type f)
echo "burned from the window: $(grep -c '^f' <<<"$listing") files; pictures in $shots"
