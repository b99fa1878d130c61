#!/usr/bin/env bash
# Builds the release build and runs the benchmarks on SQLite and on a throwaway PostgreSQL
# server; arguments go to the program (--rows=N, --runs=N, --benchmark_filter=REGEX).
#   scripts/bench.sh [--rows=100000] [--runs=5]
# With --instructions, the same workloads then run under callgrind, which counts the
# instructions of each run's timed loop on the client side (program, library, driver manager,
# driver): their medians and ratios are printed beside the times. 20,000 rows and 3 runs by
# default there, as callgrind runs some fifty times slower. Each side runs in a process of its
# own, with jemalloc as the allocator (dirty pages kept): what an allocation costs then depends
# neither on what other sides left nor on where earlier work put the heap's free blocks, which
# moved a side by up to 1.4% under glibc's allocator, also after a change in unrelated code.
#   scripts/bench.sh --instructions [--rows=20000] [--runs=3]
# OCL_BENCH names a program already built (the tests' smoke run); a test server already
# started (MELROK_PG_PORT set) is used as it is.
set -euo pipefail
cd "$(dirname "$0")/.."

instructions=false
args=()
rows=
runs=
for arg in "$@"; do
  case "$arg" in
    --instructions) instructions=true ;;
    --rows=*) rows=$arg ;;
    --runs=*) runs=$arg ;;
    *) args+=("$arg") ;;
  esac
done
if $instructions; then
  args+=("${rows:---rows=20000}" "${runs:---runs=3}")
else
  args+=(${rows:+"$rows"} ${runs:+"$runs"})
fi

program=${OCL_BENCH:-}
if [ -z "$program" ]; then
  scripts/install-deps.sh
  scripts/build.sh release ocl_bench
  program=build/bench/ocl_bench
fi
jemalloc=$(ls /usr/lib/*/libjemalloc.so.2 2>/dev/null | head -n 1)
if $instructions && [ -z "$jemalloc" ]; then
  echo "bench: jemalloc is not installed (scripts/install-deps.sh installs it)" >&2
  exit 1
fi
work=$(mktemp -d /tmp/ocl-bench-run.XXXXXX)
stop_db=false
trap 'if $stop_db; then scripts/testdb.sh stop; fi; rm -rf "$work"' EXIT
if [ -z "${MELROK_PG_PORT:-}" ]; then
  stop_db=true
  eval "$(scripts/testdb.sh start)"
fi

# The runs of the sides in random order, so that a busy machine or server weighs on all alike.
"$program" --benchmark_enable_random_interleaving=true --save-times="$work/times" "${args[@]}"
if $instructions; then
  mkdir "$work/callgrind"
  # workload/driver/side of every benchmark the arguments select
  mapfile -t sides < <("$program" --benchmark_list_tests=true "${args[@]}" |
    grep '/iterations:' | cut -d/ -f1-3 | sort -u)
  for side in "${sides[@]}"; do
    echo "counting the instructions of $side" >&2
    LD_PRELOAD="$jemalloc" MALLOC_CONF="dirty_decay_ms:-1,muzzy_decay_ms:-1" \
      valgrind --tool=callgrind --collect-atstart=no \
      --callgrind-out-file="$work/callgrind/out.%p" -q \
      "$program" --instructions="$work/callgrind" "${args[@]}" --benchmark_filter="^$side/" \
      >"$work/side.log" 2>&1 || { cat "$work/side.log" >&2; exit 1; }
  done
  "$program" --report --instructions="$work/callgrind" --times="$work/times"
fi
