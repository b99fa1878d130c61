#!/usr/bin/env bash
# Builds the libFuzzer targets (the string units, the settings-file text, the component
# reader) with clang in build-fuzz and runs each for a
# bounded time on a copy of its seed corpus (tests/fuzz/corpus/<target>). Installs nothing.
# A crash, leak or failed check fails the script; the input that caused it is kept in build-fuzz.
#   scripts/fuzz.sh [seconds per target, default 20]
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-${FUZZ_SECONDS:-20}}
dir=build-fuzz
targets=(fuzz_GetParameterValue fuzz_TDDBAddress fuzz_ChangeExtension fuzz_ProfileText
  fuzz_ReadComponents fuzz_TranslateSQL)

cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DMELROK_FUZZ=ON >/dev/null
cmake --build "$dir" -j 2

work=$(mktemp -d /tmp/melrok-fuzz.XXXXXX)
trap 'rm -rf "$work"' EXIT

status=0
for target in "${targets[@]}"; do
  cp -r "tests/fuzz/corpus/$target" "$work/$target"
  log="$work/$target.log"
  echo "== fuzz: $target (${seconds}s)"
  if "$dir/tests/fuzz/$target" -max_total_time="$seconds" -print_final_stats=1 \
       -artifact_prefix="$dir/$target-" "$work/$target" >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    echo "   ${runs:-?} executions, no failure"
  else
    status=1
    echo "   FAILED; the input is in $dir/$target-*" >&2
    tail -n 40 "$log" >&2
  fi
done
exit $status
