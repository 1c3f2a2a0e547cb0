#!/usr/bin/env bash
# Fresh machine to test results: installs what is missing, starts the
# Firebird server, builds, and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
ctest --test-dir build --output-on-failure --parallel "$(nproc)" --timeout 600
