#!/usr/bin/env bash
# The whole test suite, in one build: install what is missing, build with
# clang under AddressSanitizer and UndefinedBehaviorSanitizer (the library
# instrumented for libFuzzer too, so the same objects serve the tests and the
# fuzz targets), run the tests (with a private PostgreSQL server), start the
# benchmarks and run each fuzz target for a few seconds.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
jobs=$(nproc)
build=build/test

# -O1 with line tables only: the quickest build and run together, with
# stack traces that still name files and lines.
CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -gline-tables-only" \
  -DTARNWICK_SANITIZE=ON -DTARNWICK_WERROR=ON
cmake --build "$build" -j "$jobs"
export ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# A private database server for the tests of the server backend, on the
# loopback address, stopped and removed when this script ends, however it ends.
pg_dir=$(mktemp -d)
trap 'scripts/pg-server.sh stop "$pg_dir"' EXIT
TARNWICK_TEST_PG=$(scripts/pg-server.sh start "$pg_dir")
export TARNWICK_TEST_PG
ctest --test-dir "$build" --output-on-failure -j "$jobs"

# The benchmarks are built and start; their rounds over 100,000 records take
# minutes under the sanitizers, so here they only list what they measure
# (an optimised build runs them: see bench/).
"$build"/bench/tarnwick_bench --benchmark_list_tests >/dev/null
if [ -x "$build"/bench/tarnwick_qt_bench ]; then
  QT_QPA_PLATFORM=offscreen "$build"/bench/tarnwick_qt_bench --benchmark_filter='to_end:0' >/dev/null
fi
if compgen -G "$build/python/tarnwick*.so" >/dev/null; then
  # The interpreter is not instrumented: the sanitizer's runtime goes first.
  LD_PRELOAD="$(clang++ -print-file-name=libclang_rt.asan-x86_64.so):$(clang++ -print-file-name=libstdc++.so.6)" \
    ASAN_OPTIONS=detect_leaks=0 PYTHONPATH="$build"/python /usr/bin/python3 bench/python/call_by_name.py --quick >/dev/null
fi

# Each fuzz target for a few seconds, two at a time.
scripts/fuzz.sh 8 "$build" --checks-warn
echo "all tests passed"
