#!/usr/bin/env bash
# Runs the real launcher on a virtual X server in a folder holding only the
# picture archive: the viewer window must appear, and closing it ("X") must
# end the program.
#   qmzrun_smoke.sh QMZRUN MAKE_PICTURE_ARCHIVE
set -euo pipefail
. "$(dirname "$0")/../../../scripts/lib/common.sh"
qmzrun=$(realpath "$1")
make_archive=$(realpath "$2")
rerun_on_own_display 1024x768 "$@"

work=$(mktemp -d)
on_exit "rm -rf '$work'"
"$make_archive" "$work/QMZBox/QMZImage.QMZ" 1 --generate 3 320 240

cd "$work"
QT_QPA_PLATFORM=xcb "$qmzrun" &
pid=$!

viewer=""
for _ in $(seq 1 100); do
  viewer=$(xdotool search --name '^Image Viewer$' 2>/dev/null | head -n 1 || true)
  [ -n "$viewer" ] && break
  sleep 0.1
done
if [ -z "$viewer" ]; then
  echo "no viewer window appeared" >&2
  xwininfo -root -tree >&2 || true
  kill "$pid" 2>/dev/null || true
  exit 1
fi
tree=$(xwininfo -root -tree)  # whole, before searching: grep -q would stop the pipe early
grep -q '"Image Viewer"' <<<"$tree" || { echo "viewer missing from the window tree" >&2; exit 1; }
kill -0 "$pid" || { echo "launcher ended early" >&2; exit 1; }

# Give the first picture its half second, then press "X" in the top right corner.
sleep 1
eval "$(xdotool getwindowgeometry --shell "$viewer")"
xdotool mousemove --sync $((X + WIDTH - 23)) $((Y + 23)) click 1

for _ in $(seq 1 100); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$pid" 2>/dev/null; then
  echo "the launcher did not end after the viewer was closed" >&2
  kill "$pid"
  exit 1
fi
wait "$pid"
