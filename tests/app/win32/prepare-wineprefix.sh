#!/usr/bin/env bash
# Makes a Wine prefix show the launcher's Korean texts as Windows would: the
# fonts it asks for ("굴림", and Tahoma with the system's font linking for
# Hangul) are mapped onto the Nanum fonts of the Debian package fonts-nanum.
#   WINEPREFIX=... prepare-wineprefix.sh WINE
set -euo pipefail
. "$(dirname "$0")/../../../scripts/lib/common.sh"
wine=$1
wine_boot
"$wine" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v '굴림' /t REG_SZ /d 'NanumGothic' /f >/dev/null 2>&1
"$wine" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' /v Tahoma /t REG_MULTI_SZ \
  /d 'NanumGothic.ttf,NanumGothic' /f >/dev/null 2>&1
