#!/usr/bin/env bash
# Cross-builds for 64-bit Windows what needs no Qt (the runtime's core, the suite's string units,
# the router and client bindings, the ODBC library's core) and their tests into build-windows/,
# with MinGW-w64 (cmake/mingw-w64-x86_64.cmake) and GoogleTest built from Debian's sources, then
# runs every test program under Wine in a private, headless Wine prefix. The ODBC tests reach the
# host's SQLite and PostgreSQL drivers through Wine's ODBC layer, which hands the calls to the
# host's unixODBC; the settings-file tests run on Wine's own profile functions. Prints CTest's
# summary and exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
wine=/usr/lib/wine/wine64

scripts/install-deps.sh g++-mingw-w64-x86-64 wine64
started=$SECONDS

work=$(mktemp -d /tmp/melrok-windows.XXXXXX)
own_testdb=
cleanup() {
  WINEPREFIX=$work/prefix /usr/lib/wine/wineserver -k 2>/dev/null || true
  if [ -n "$own_testdb" ]; then scripts/testdb.sh stop; fi
  rm -rf "$work"
}
trap cleanup EXIT

# The test database and the private ODBC driver registry, unless the caller has them running.
if [ -z "${MELROK_PG_PORT:-}" ] || [ -z "${ODBCSYSINI:-}" ]; then
  own_testdb=1
  eval "$(scripts/testdb.sh start)"
fi

# A private prefix without a display: Wine shows nothing and asks for no downloads. Under Wine
# the drivers take the host's paths: the tests' temporary folders are made in a host folder,
# which the programs reach under the same name on their working drive (Z:, the host's root).
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export TMPDIR=$work/tmp
unset DISPLAY WAYLAND_DISPLAY
mkdir -p "$TMPDIR"

echo "== build: windows"
cmake -S . -B build-windows -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" -DMELROK_QT=OFF >/dev/null
cmake --build build-windows -j "$(nproc)"
built=$SECONDS

echo "== tests: windows (Wine $("$wine" --version))"
"$wine" wineboot --init >"$work/wineboot.log" 2>&1 || { cat "$work/wineboot.log"; exit 1; }
status=0
ctest --test-dir build-windows --output-on-failure -j 2 || status=1
echo "windows: build $((built - started)) s, tests $((SECONDS - built)) s"
exit $status
