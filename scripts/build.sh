#!/usr/bin/env bash
# Builds the project: scripts/build.sh [release|debug|sanitize]
# Each kind has its own build folder (build, build-debug, build-sanitize).
set -euo pipefail
cd "$(dirname "$0")/.."

kind=${1:-release}
case "$kind" in
  release)  dir=build;          args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
  debug)    dir=build-debug;    args=(-DCMAKE_BUILD_TYPE=Debug) ;;
  sanitize) dir=build-sanitize; args=(-DCMAKE_BUILD_TYPE=Debug -DMELROK_SANITIZE=ON) ;;
  *) echo "usage: $0 [release|debug|sanitize]" >&2; exit 2 ;;
esac

cmake -S . -B "$dir" -G Ninja "${args[@]}" >/dev/null
cmake --build "$dir" -j "$(nproc)"
