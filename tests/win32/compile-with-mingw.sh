#!/usr/bin/env bash
# The Windows backends cannot run here, but they must keep compiling: checks every
# platform-independent and win32 source of the runtime, the archive library and
# the shell utilities with MinGW-w64 (syntax and warnings only, no link).
set -euo pipefail
cxx=$1
src=$2
status=0
for f in "$src"/runtime/*.cpp "$src"/runtime/win32/*.cpp "$src"/sfds/*.cpp \
         "$src"/shellutil/*.cpp "$src"/shellutil/win32/*.cpp; do
  if ! "$cxx" -std=c++20 -Wall -Wextra -Wpedantic -Werror -I"$src" -fsyntax-only "$f"; then
    echo "does not compile for Windows: ${f#"$src"/}"
    status=1
  fi
done
exit "$status"
