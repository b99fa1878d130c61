#!/usr/bin/env bash
# Builds the Debian packages into dist/: the program (pldmelroksetup) and the ODBC library's
# development files (libocl-dev), from the release build (build/, configured for /usr), and
# checks them with lintian, which must report no error.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh dpkg-dev lintian
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
cmake --build build -j "$(nproc)"
rm -rf dist build/cpack
cpack --config build/CPackConfig.cmake -B "$PWD/build/cpack" >build/cpack.log ||
  { cat build/cpack.log; exit 1; }
mkdir -p dist
mv build/cpack/*.deb dist/
lintian --fail-on error --tag-display-limit 0 dist/*.deb

# The program as installed finds every library it links.
unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb -x dist/pldmelroksetup_*.deb "$unpacked"
if ldd "$unpacked/usr/bin/PLDMelrokSetup" | grep 'not found'; then
  echo "the packaged program misses a library" >&2
  exit 1
fi
ls dist/*.deb
