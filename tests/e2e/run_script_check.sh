#!/usr/bin/env bash
# scripts/run.sh on a machine that has what it needs: it builds the program alone, not the tests
# and benchmarks, and then starts it. A cmake that records what it is asked stands in for the
# build, so that the check sees the request without building anything.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d /tmp/melrok-run.XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; cat "$work/log" >&2; exit 1; }

mkdir -p "$work/tree/scripts" "$work/bin"
cp "$root"/scripts/{run,build,install-deps}.sh "$work/tree/scripts/"
cat >"$work/bin/cmake" <<'CMAKE'
#!/usr/bin/env bash
echo "cmake $*" >>"$LOG"
if [ "$1" = --build ]; then
  mkdir -p "$2/app"
  printf '#!/bin/sh\necho started >>"$LOG"\n' >"$2/app/PLDMelrokSetup"
  chmod +x "$2/app/PLDMelrokSetup"
fi
CMAKE
chmod +x "$work/bin/cmake"
: >"$work/log"
LOG=$work/log PATH=$work/bin:$PATH "$work/tree/scripts/run.sh" || fail "run.sh failed"

grep -q '^cmake -S \. -B build ' "$work/log" || fail "the build folder was not configured"
grep -Eqx 'cmake --build build -j [0-9]+ --target PLDMelrokSetup' "$work/log" ||
  fail "run.sh did not build the program alone"
[ "$(tail -n1 "$work/log")" = started ] || fail "the program was not started after the build"
echo "run.sh builds the program alone and starts it"
