#!/usr/bin/env bash
# Installs the ODBC library from a build folder (or from its Debian package), builds the row operations sample against the
# installed copy as a program outside the project would, and runs it on SQLite and on the test
# server (scripts/testdb.sh). The program must not need Qt, and each run must print the
# statements the library generated and the rows they left, exactly.
#   check-rowops.sh BUILD_DIR WORK_DIR [LINKER_FLAGS]
#   check-rowops.sh --debs DIST_DIR WORK_DIR    the library from its Debian package instead,
#                                               unpacked into WORK_DIR/root (scripts/package.sh)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
dist=
if [ "$1" = --debs ]; then dist=$2 work=$3 flags=; else build=$1 work=$2 flags=${3:-}; fi
rm -rf "$work"
mkdir -p "$work/sqlite"
work=$(cd "$work" && pwd)
if [ -n "$dist" ]; then
  for deb in "$dist"/*.deb; do dpkg-deb -x "$deb" "$work/root"; done
  prefix=$work/root/usr
  config=$prefix/lib/$(gcc -print-multiarch)/cmake/ocl/oclConfig.cmake
  [ -f "$config" ] || { echo "no package configuration at $config" >&2; exit 1; }
else
  prefix=$work/prefix
  cmake --install "$build" --component ocl --prefix "$prefix" >/dev/null
fi
cmake -S "$root/examples/rowops" -B "$work/build" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" \
  -DCMAKE_CXX_FLAGS="-Wall -Wextra -Werror" -DCMAKE_EXE_LINKER_FLAGS="$flags" >/dev/null
cmake --build "$work/build" >"$work/build.log" || { cat "$work/build.log"; exit 1; }
if ldd "$work/build/rowops" | grep -i 'libQt'; then
  echo "the sample links Qt" >&2
  exit 1
fi

expected() {
  cat <<OUT
$1, parts:
  1  Bolt       0.25
  2  Nut        0.10
  3  Washer     0.05
Nut costs 0.12 now:
    UPDATE parts SET id = ?, name = ?, price = ? WHERE id = ?
Bolt is gone:
    DELETE FROM parts WHERE id = ?
Spring comes in:
    INSERT INTO parts (id, name, price) VALUES (?, ?, ?)
Parts:
  2  Nut        0.12
  3  Washer     0.05
  4  Spring     1.50
OUT
}

# check DBMS ARGUMENT: runs the sample and compares what it prints.
check() {
  "$work/build/rowops" "$2" >"$work/$1.out"
  if ! diff -u <(expected "$1") "$work/$1.out"; then
    echo "rowops on $1 printed other lines than expected (above)" >&2
    exit 1
  fi
  echo "$1: as expected"
}

check SQLite "$work/sqlite"
[ -f "$work/sqlite/parts.db" ] || { echo "no database file in the folder given" >&2; exit 1; }

: "${MELROK_PG_PORT:?the test database is not running: eval \"\$(scripts/testdb.sh start)\"}"
# A schema of its own, so that other tests' tables on the server stay apart.
check PostgreSQL "DRIVER=PostgreSQL Unicode;Server=$MELROK_PG_HOST;Port=$MELROK_PG_PORT;\
Database=$MELROK_PG_DATABASE;UID=$MELROK_PG_USER;\
ConnSettings={CREATE SCHEMA IF NOT EXISTS ocl_rowops;SET search_path TO ocl_rowops}"
rm -rf "$work"
