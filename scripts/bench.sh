#!/usr/bin/env bash
# Builds the release build and runs the benchmarks on SQLite and on a throwaway PostgreSQL
# server; arguments go to the program (--rows=N, --runs=N, --benchmark_filter=REGEX).
#   scripts/bench.sh [--rows=100000] [--runs=5]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh release
trap 'scripts/testdb.sh stop' EXIT
eval "$(scripts/testdb.sh start)"
# The runs of both sides in random order, so that a busy machine or server weighs on both alike.
build/bench/ocl_bench --benchmark_enable_random_interleaving=true "$@"
