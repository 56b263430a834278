#!/usr/bin/env bash
# The benchmarks on a database server, against libpq on the same server:
# starts a private server (scripts/pg-server.sh, on the loopback address),
# runs the engine's server benchmarks and the Qt data grid's, and stops the
# server at the end, also when a benchmark fails.
#
#   bench/server.sh [build-dir] [extra benchmark options...]
#
# The build directory (default build/rel) should be a Release build:
#   cmake -S . -B build/rel -G Ninja -DCMAKE_BUILD_TYPE=Release
#   cmake --build build/rel --target tarnwick_bench tarnwick_qt_bench
# With TARNWICK_TEST_PG already set, that server is used instead.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/rel}
shift || true

if [ -z "${TARNWICK_TEST_PG:-}" ]; then
  pg_dir=$(mktemp -d /tmp/tarnwick-bench-pg.XXXXXX)
  trap 'scripts/pg-server.sh stop "$pg_dir"' EXIT
  TARNWICK_TEST_PG=$(scripts/pg-server.sh start "$pg_dir")
  export TARNWICK_TEST_PG
fi

"$build"/bench/tarnwick_bench --benchmark_filter='Server' "$@"
if [ -x "$build"/bench/tarnwick_qt_bench ]; then
  QT_QPA_PLATFORM=offscreen "$build"/bench/tarnwick_qt_bench --benchmark_filter='OnServer' "$@"
fi
