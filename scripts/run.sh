#!/usr/bin/env bash
# Fresh machine to a running Movrano: installs what is missing, starts the
# Firebird server, builds, and starts the program.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
if [ -x build/src/app/movrano ]; then
  exec build/src/app/movrano "$@"
fi
echo "Movrano is built; its window is not part of this build yet (build/ holds the libraries and tests)."
