#!/usr/bin/env bash
# The video action of the real QMZRun.exe under Wine: a stand-in player at
# c:\KMPlayer\KMPlayer.exe of the test's Wine prefix, a content folder with a
# video only. QMZRun.exe must write QMZRun.exe.bat into the working folder,
# byte for byte: "@echo off" and the start line, CR LF after each, the
# program's folder with backslashes; the shell runs it; the file is gone a
# little over a second later, and the launcher ends.
#
# Wine 8's `start` misreads /D"folder\" (a backslash before the closing
# quote), so whether the player itself starts is not checked here: the batch
# file's bytes and its life are.
#   video_e2e.sh WINE QMZRUN_EXE STAND_IN_PLAYER_EXE   (WINEPREFIX set)
set -euo pipefail
wine=$1
qmzrun=$(realpath "$2")
player=$(realpath "$3")
: "${WINEPREFIX:?}"

work=$(mktemp -d)
trap 'rm -rf "$work" "$WINEPREFIX/drive_c/KMPlayer"' EXIT
mkdir -p "$work/media/QMZBox" "$WINEPREFIX/drive_c/KMPlayer"
cp "$qmzrun" "$work/media/QMZRun.exe"
cp "$player" "$WINEPREFIX/drive_c/KMPlayer/KMPlayer.exe"
printf 'not really a video\n' > "$work/media/QMZBox/clip.mp4"

# Wine maps the Unix root to drive Z:.
media="$work/media/"
windir="Z:${media//\//\\}"
printf '@echo off\r\nstart /D"c:\\KMPlayer\\" KMPlayer.exe %sQMZBox\r\n' "$windir" > "$work/expected.bat"

cd "$work/media"
"$wine" QMZRun.exe >/dev/null 2>&1 &
pid=$!

batch="$work/media/QMZRun.exe.bat"
for _ in $(seq 1 300); do
  [ -f "$batch" ] && break
  sleep 0.05
done
[ -f "$batch" ] || { echo "QMZRun.exe.bat never appeared" >&2; kill "$pid" 2>/dev/null; exit 1; }
appeared=$(date +%s%N)
sleep 0.1
cp "$batch" "$work/actual.bat"
if ! cmp -s "$work/expected.bat" "$work/actual.bat"; then
  echo "batch file differs; expected, then written:" >&2
  od -c "$work/expected.bat" >&2
  od -c "$work/actual.bat" >&2
  kill "$pid" 2>/dev/null
  exit 1
fi

for _ in $(seq 1 100); do
  [ -e "$batch" ] || break
  sleep 0.05
done
[ -e "$batch" ] && { echo "QMZRun.exe.bat still there" >&2; kill "$pid" 2>/dev/null; exit 1; }
gone=$(date +%s%N)
lived=$(( (gone - appeared) / 1000000 ))
echo "batch file lived about ${lived} ms"
[ "$lived" -ge 800 ] || { echo "batch file went too early" >&2; exit 1; }

for _ in $(seq 1 100); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$pid" 2>/dev/null; then
  echo "the launcher did not close after the video action" >&2
  kill "$pid"
  exit 1
fi
wait "$pid"
