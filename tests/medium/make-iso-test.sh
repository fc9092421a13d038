#!/usr/bin/env bash
# scripts/make-iso on a medium built by qmzmedium: the image's files, read back through its Rock Ridge names and
# extracted with osirrox, are the medium's byte for byte; its Joliet names (what Windows reads) are the same names;
# its volume id is the medium's label.
#   make-iso-test.sh QMZMEDIUM
set -euo pipefail
qmzmedium=$1
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

mkdir "$work/photos"
for i in 1 2 10; do convert -size 32x24 "xc:rgb($((i * 20)),90,40)" "$work/photos/$i.jpg"; done
printf 'MZ' >"$work/QMZRun.exe"
head -c 4096 /dev/zero >>"$work/QMZRun.exe"
printf 'video' >"$work/여름 휴가.mp4"
"$qmzmedium" build "$work/medium" --pictures "$work/photos" --videos "$work/여름 휴가.mp4" --exe "$work/QMZRun.exe" \
  --label "Summer 2026" >/dev/null

"$root/scripts/make-iso" "$work/medium" "$work/medium.iso" >/dev/null
[ -s "$work/medium.iso" ] || fail "no image"
ls -a "$work" | grep -q '\.tmp$' && fail "a temporary file is left: $(ls -a "$work")"

listing() { (cd "$1" && find . -type f | LC_ALL=C sort); }
xorriso -indev "$work/medium.iso" -find / -type f 2>/dev/null | sed "s/^'\\(.*\\)'\$/\\1/; s|^/|./|" | LC_ALL=C sort \
  >"$work/rr.txt"
[ "$(cat "$work/rr.txt")" = "$(listing "$work/medium")" ] || fail "Rock Ridge names differ: $(cat "$work/rr.txt")"
xorriso -rockridge off -joliet on -indev "$work/medium.iso" -find / -type f 2>/dev/null |
  sed "s/^'\\(.*\\)'\$/\\1/; s|^/|./|" | LC_ALL=C sort >"$work/joliet.txt"
[ "$(cat "$work/joliet.txt")" = "$(listing "$work/medium")" ] || fail "Joliet names differ: $(cat "$work/joliet.txt")"

xorriso -osirrox on -indev "$work/medium.iso" -extract / "$work/extracted" 2>/dev/null
diff -r "$work/medium" "$work/extracted" || fail "extracted files differ"

volid=$(xorriso -indev "$work/medium.iso" -pvd_info 2>/dev/null | sed -n 's/^Volume Id *: *//p')
[ "$volid" = "Summer 2026" ] || fail "volume id is '$volid'"
echo "make-iso: $(wc -l <"$work/rr.txt") files, names and bytes as on the medium, volume id '$volid'"
