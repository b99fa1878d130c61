#!/usr/bin/env bash
# Installs what is needed, builds, and starts the setup window.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh release
exec build/app/PLDMelrokSetup
