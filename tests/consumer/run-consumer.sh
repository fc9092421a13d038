#!/usr/bin/env bash
# Installs the build into a fresh prefix, configures and builds the consumer
# project against that prefix only, and runs it.
#   run-consumer.sh BUILD_DIR CONSUMER_SOURCE WORK_DIR [cmake arguments...]
set -euo pipefail
build=$1
source=$2
work=$3
shift 3

rm -rf "$work"
cmake --install "$build" --prefix "$work/prefix" >"$work.install.log" 2>&1 || { cat "$work.install.log"; exit 1; }
cmake -S "$source" -B "$work/build" -DCMAKE_PREFIX_PATH="$work/prefix" "$@"
cmake --build "$work/build"
"$work/build/consumer" "$work/container.sfds"
test -x "$work/prefix/bin/sfds"
# The library's own headers stay out of the package.
test ! -e "$work/prefix/include/sfdsarchive/sfds/sfds_chunksource.h"
"$work/prefix/bin/sfds" list "$work/container.sfds"
