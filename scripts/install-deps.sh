#!/usr/bin/env bash
# Installs what building, running and testing need, from Debian packages by name, and the
# packages named as arguments. Safe to run again: it installs only what is missing.
set -euo pipefail

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev
  qt6-base-dev fonts-liberation2
  libgtest-dev libgmock-dev googletest libbenchmark-dev valgrind libjemalloc2 libsoci-dev libboost-dev
  unixodbc unixodbc-dev libsqliteodbc odbc-postgresql postgresql
  xvfb xauth xdotool xclip
  "$@"
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
[ "$(id -u)" -ne 0 ] && sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
