#!/usr/bin/env bash
# Configures and builds Movrano into build/ (Ninja): the targets named on
# the command line, or every target (the tests and benchmarks too) when
# none is named.
#   bash scripts/build.sh            everything
#   bash scripts/build.sh movrano    the program alone
set -euo pipefail
cd "$(dirname "$0")/.."
targets=()
for target in "$@"; do targets+=(--target "$target"); done
echo "build: building ${*:-the program, its tests and benchmarks} in build/ ($(nproc) jobs at a time)"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" >/dev/null
cmake --build build --parallel "$(nproc)" "${targets[@]}"
