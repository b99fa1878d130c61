#!/usr/bin/env bash
# Builds the project: scripts/build.sh [release|debug|sanitize] [TARGET...]
# Each kind has its own build folder (build, build-debug, build-sanitize). Without targets,
# everything is built: the program, the libraries, the tests and the benchmarks.
set -euo pipefail
cd "$(dirname "$0")/.."

kind=${1:-release}
shift || true
case "$kind" in
  release)  dir=build;          args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
  debug)    dir=build-debug;    args=(-DCMAKE_BUILD_TYPE=Debug) ;;
  sanitize) dir=build-sanitize; args=(-DCMAKE_BUILD_TYPE=Debug -DMELROK_SANITIZE=ON) ;;
  *) echo "usage: $0 [release|debug|sanitize] [TARGET...]" >&2; exit 2 ;;
esac

cmake -S . -B "$dir" -G Ninja "${args[@]}" >/dev/null
targets=()
if [ $# -gt 0 ]; then targets=(--target "$@"); fi
cmake --build "$dir" -j "$(nproc)" "${targets[@]}"
