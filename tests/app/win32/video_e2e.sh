#!/usr/bin/env bash
# The video action of the real QMZRun.exe under Wine: a stand-in player at
# c:\KMPlayer\KMPlayer.exe of the test's Wine prefix, a content folder with a
# video only. QMZRun.exe must write QMZRun.exe.bat into the working folder,
# byte for byte: "@echo off" and the start line, CR LF after each, the
# program's folder with backslashes; the shell runs it; the file is gone a
# little over a second later, and the launcher ends. Three media:
#   - a plain folder;
#   - a folder named with characters of code page 932 whose second bytes have
#     the values of `|` and `^` (the launcher runs in that code page): the
#     line holds the name's bytes as they are;
#   - a read-only folder (a disc): the file goes to the user's temporary
#     folder instead, and is started and deleted there.
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
locked=
cleanup() {
  [ -n "$locked" ] && { chattr -i "$locked" 2>/dev/null || true; chmod u+w "$locked" 2>/dev/null || true; }
  rm -rf "$work" "$WINEPREFIX/drive_c/KMPlayer"
}
trap cleanup EXIT
mkdir -p "$WINEPREFIX/drive_c/KMPlayer"
cp "$player" "$WINEPREFIX/drive_c/KMPlayer/KMPlayer.exe"

# Makes the folder read-only as a disc is: the immutable attribute where the
# system allows it (it holds for root too), else the permissions. Fails when
# a file can still be made in it.
make_read_only() {
  locked=$1
  chattr +i "$1" 2>/dev/null || chmod a-w "$1"
  if touch "$1/probe" 2>/dev/null; then
    rm -f "$1/probe"
    return 1
  fi
}

# run_case NAME MEDIUM BATCH_FOLDER [VAR=VALUE...]
#   QMZRun.exe runs from MEDIUM (its working folder) with the variables given;
#   the batch file must appear in BATCH_FOLDER.
run_case() {
  local name=$1 medium=$2 folder=$3
  shift 3
  echo "== $name"
  # Wine maps the Unix root to drive Z:; the line is in the launcher's code page.
  local windir codepage=UTF-8 var
  windir="Z:$(printf '%s' "$medium/" | tr / '\\')"
  for var in "$@"; do
    case $var in SFDS_CODEPAGE=*) codepage=CP${var#SFDS_CODEPAGE=} ;; esac
  done
  printf '@echo off\r\nstart /D"c:\\KMPlayer\\" KMPlayer.exe %sQMZBox\r\n' "$windir" |
    iconv -f UTF-8 -t "$codepage" > "$work/expected.bat"

  local batch="$folder/QMZRun.exe.bat"
  rm -f "$batch"
  (cd "$medium" && exec env "$@" "$wine" QMZRun.exe >/dev/null 2>&1) &
  local pid=$!

  for _ in $(seq 1 300); do
    [ -f "$batch" ] && break
    sleep 0.05
  done
  [ -f "$batch" ] || { echo "QMZRun.exe.bat never appeared in $folder" >&2; kill "$pid" 2>/dev/null; exit 1; }
  local appeared gone lived
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
}

# A medium: QMZRun.exe and a video in QMZBox.
make_medium() {
  mkdir -p "$1/QMZBox"
  cp "$qmzrun" "$1/QMZRun.exe"
  printf 'not really a video\n' > "$1/QMZBox/clip.mp4"
}

make_medium "$work/media"
run_case "a plain medium" "$work/media" "$work/media"

poster="$work/ポスター"
make_medium "$poster"
run_case "a medium named in code page 932" "$poster" "$poster" SFDS_CODEPAGE=932

disc="$work/disc"
make_medium "$disc"
temp=$("$wine" cmd /c echo %TEMP% 2>/dev/null | tr -d '\r')
temp=$("$wine" winepath.exe -u "$temp" 2>/dev/null | tr -d '\r')
temp=${temp%/}
[ -d "$temp" ] || { echo "no temporary folder in the Wine prefix: '$temp'" >&2; exit 1; }
if make_read_only "$disc"; then
  run_case "a read-only medium" "$disc" "$temp"
  [ "$(ls -A "$disc" | sort | tr '\n' ' ')" = "QMZBox QMZRun.exe " ] || { echo "something was written to the disc" >&2; exit 1; }
else
  # No read-only folder can be made here: a folder in the batch file's place
  # keeps the file out of the medium as well.
  echo "(no read-only folder can be made here: a folder takes the batch file's name instead)"
  mkdir "$disc/QMZRun.exe.bat"
  run_case "a medium that cannot take the batch file" "$disc" "$temp"
fi
