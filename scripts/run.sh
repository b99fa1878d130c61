#!/usr/bin/env bash
# Installs what is needed, builds, and starts the setup window.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
# Only the program: the tests and benchmarks are for scripts/test.sh and scripts/bench.sh.
scripts/build.sh release PLDMelrokSetup
exec build/app/PLDMelrokSetup
