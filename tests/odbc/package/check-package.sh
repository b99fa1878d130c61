#!/usr/bin/env bash
# Installs the library from a build folder, builds the consumer program against the installed
# copy, and runs it: it must connect, and must not need Qt.
#   check-package.sh BUILD_DIR WORK_DIR [LINKER_FLAGS]
set -euo pipefail
build=$1 work=$2 flags=${3:-}
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$work"
mkdir -p "$work"
cmake --install "$build" --component ocl --prefix "$work/prefix" >/dev/null
cmake -S "$here" -B "$work/build" -G Ninja -DCMAKE_PREFIX_PATH="$work/prefix" \
  -DCMAKE_EXE_LINKER_FLAGS="$flags" >/dev/null
cmake --build "$work/build" >/dev/null
if ldd "$work/build/ocl_consumer" | grep -i 'libQt'; then
  echo "the consumer links Qt" >&2
  exit 1
fi
answer=$("$work/build/ocl_consumer" "$work/consumer.db")
echo "$answer"
[ "$answer" = SQLite ]
rm -rf "$work"
