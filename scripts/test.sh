#!/usr/bin/env bash
# Installs what is needed, builds the project twice (plain, and with AddressSanitizer and
# UndefinedBehaviorSanitizer), starts the test services (scripts/testdb.sh), and runs every
# test in both builds; builds the Debian packages (scripts/package.sh) and the row operations
# sample against them; then fuzzes the string units for a short while (scripts/fuzz.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

scripts/install-deps.sh

own_runtime=
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
  own_runtime=$(mktemp -d /tmp/melrok-runtime.XXXXXX)
  export XDG_RUNTIME_DIR=$own_runtime
fi
chmod 0700 "$XDG_RUNTIME_DIR"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export LSAN_OPTIONS=suppressions=$root/tests/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

# The test database and the private ODBC driver registry; gone again however the run ends.
trap 'scripts/testdb.sh stop; if [ -n "$own_runtime" ]; then rm -rf "$own_runtime"; fi' EXIT
testdb=$(scripts/testdb.sh start)
eval "$testdb"

status=0
for kind in release sanitize; do
  echo "== build: $kind"
  scripts/build.sh "$kind"
  dir=build; [ "$kind" = sanitize ] && dir=build-sanitize
  echo "== tests: $kind"
  ctest --test-dir "$dir" --output-on-failure -j 2 || status=1
done
echo "== packages"
if scripts/package.sh; then
  tests/examples/check-rowops.sh --debs dist build/rowops-package || status=1
else
  status=1
fi
echo "== fuzz"
scripts/fuzz.sh || status=1
exit $status
