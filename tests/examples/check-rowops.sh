#!/usr/bin/env bash
# Installs the ODBC library from a build folder (or unpacks its Debian package) and builds the
# sample programs against the installed copy, as a program outside the project would; none of
# them may need Qt.
# - The row operations sample runs on SQLite and on the test server (scripts/testdb.sh) and
#   must print the statements the library generated and the rows they left, exactly.
# - The quick start is the first cpp block of the README's "Quick start" section, which must be
#   examples/quickstart/quickstart.cpp as it stands; run in an empty folder, it must print the
#   text block that follows it there, exactly.
#   check-rowops.sh BUILD_DIR WORK_DIR [LINKER_FLAGS]
#   check-rowops.sh --debs DIST_DIR WORK_DIR    the library from its Debian package instead,
#                                               unpacked into WORK_DIR/root (scripts/package.sh)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
dist=
if [ "$1" = --debs ]; then dist=$2 work=$3 flags=; else build=$1 work=$2 flags=${3:-}; fi
rm -rf "$work"
mkdir -p "$work/sqlite" "$work/quickstart-run"
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

# build_sample NAME: the sample examples/NAME, built against the installed library.
build_sample() {
  cmake -S "$root/examples/$1" -B "$work/$1" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" \
    -DCMAKE_CXX_FLAGS="-Wall -Wextra -Werror" -DCMAKE_EXE_LINKER_FLAGS="$flags" >/dev/null
  cmake --build "$work/$1" >"$work/$1.log" || { cat "$work/$1.log"; exit 1; }
  if ldd "$work/$1/$1" | grep -i 'libQt'; then
    echo "the sample $1 links Qt" >&2
    exit 1
  fi
}

# same WHAT EXPECTED ACTUAL: the two files hold the same lines.
same() {
  if ! diff -u "$2" "$3"; then
    echo "$1 differs (above)" >&2
    exit 1
  fi
  echo "$1: as expected"
}

expected_rowops() {
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

# rowops DBMS ARGUMENT: runs the row operations sample and compares what it prints.
rowops() {
  "$work/rowops/rowops" "$2" >"$work/$1.out"
  same "rowops on $1" <(expected_rowops "$1") "$work/$1.out"
}

# readme_block N LANGUAGE: the Nth fenced block of LANGUAGE in the README's Quick start section.
readme_block() {
  awk -v want="$1" -v lang="$2" '
    /^## / { inside = ($0 == "## Quick start") }
    inside && /^```/ {
      if (fenced) { fenced = 0; next }
      fenced = 1; count[$0]++; keep = ($0 == "```" lang && count[$0] == want); next
    }
    inside && fenced && keep { print }
  ' "$root/README.md"
}

build_sample rowops
rowops SQLite "$work/sqlite"
[ -f "$work/sqlite/parts.db" ] || { echo "no database file in the folder given" >&2; exit 1; }

: "${MELROK_PG_PORT:?the test database is not running: eval \"\$(scripts/testdb.sh start)\"}"
# A schema of its own, so that other tests' tables on the server stay apart.
rowops PostgreSQL "DRIVER=PostgreSQL Unicode;Server=$MELROK_PG_HOST;Port=$MELROK_PG_PORT;\
Database=$MELROK_PG_DATABASE;UID=$MELROK_PG_USER;\
ConnSettings={CREATE SCHEMA IF NOT EXISTS ocl_rowops;SET search_path TO ocl_rowops}"

readme_block 1 cpp >"$work/quickstart.cpp"
readme_block 1 text >"$work/quickstart.expected"
[ -s "$work/quickstart.cpp" ] && [ -s "$work/quickstart.expected" ] ||
  { echo "the README's Quick start has no cpp block followed by a text block" >&2; exit 1; }
lines=$(wc -l <"$work/quickstart.cpp")
[ "$lines" -le 25 ] || { echo "the quick start program has $lines lines, more than 25" >&2; exit 1; }
same "examples/quickstart/quickstart.cpp beside the README" "$work/quickstart.cpp" \
  "$root/examples/quickstart/quickstart.cpp"
build_sample quickstart
(cd "$work/quickstart-run" && "$work/quickstart/quickstart" >"$work/quickstart.out")
[ -f "$work/quickstart-run/parts.db" ] || { echo "no database file in the current folder" >&2; exit 1; }
same "the quick start's output" "$work/quickstart.expected" "$work/quickstart.out"
rm -rf "$work"
