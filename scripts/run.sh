#!/usr/bin/env bash
# The main job: install what is missing, build, and start the sample front
# end "Orders" (Qt windows over the sample database). Without a display it
# takes its scripted tour and saves a screenshot of each form in
# build/release/tour/. With arguments it runs the tarnwick tool instead:
#   ./scripts/run.sh typelib
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARNWICK_BUILD_TESTS=OFF -DTARNWICK_BUILD_BENCH=OFF
cmake --build build/release
if [ $# -gt 0 ]; then
  exec build/release/apps/tarnwick/tarnwick "$@"
fi
if [ ! -x build/release/apps/orders/orders ]; then
  echo "run.sh: the front end was not built: Qt 6 Widgets and UiTools are missing" >&2
  exit 1
fi
cd build/release
exec apps/orders/orders
