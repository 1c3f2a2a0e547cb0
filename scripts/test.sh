#!/usr/bin/env bash
# Fresh machine to test results: installs what is missing, starts the
# Firebird server, builds, and runs every test. Run as root or as a user
# with sudo; tests that need root are skipped, with that reason, for the
# latter.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
echo "test: running every test ($(nproc) at a time)"
ctest --test-dir build --output-on-failure --parallel "$(nproc)" --timeout 600
