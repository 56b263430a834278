#!/usr/bin/env bash
# The main job: install what is missing, build, and run the tarnwick tool.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARNWICK_BUILD_TESTS=OFF -DTARNWICK_BUILD_BENCH=OFF
cmake --build build/release
if [ $# -eq 0 ]; then set -- demo; fi
build/release/apps/tarnwick/tarnwick "$@"
