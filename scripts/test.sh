#!/usr/bin/env bash
# The whole test suite: install what is missing, then build and run the tests
# twice, once optimised (with the benchmarks built) and once under
# AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
jobs=$(nproc)

cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARNWICK_WERROR=ON
cmake --build build/test -j "$jobs"
ctest --test-dir build/test --output-on-failure -j "$jobs"

cmake -S . -B build/sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTARNWICK_SANITIZE=ON -DTARNWICK_WERROR=ON \
  -DTARNWICK_BUILD_BENCH=OFF
cmake --build build/sanitize -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:strict_string_checks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build/sanitize --output-on-failure -j "$jobs"

# The benchmarks must at least start and finish one short round.
build/test/bench/tarnwick_bench --benchmark_min_time=0.001 --benchmark_filter='.' >/dev/null
if [ -x build/test/bench/tarnwick_qt_bench ]; then
  build/test/bench/tarnwick_qt_bench --benchmark_filter='to_end:0' >/dev/null
fi
if compgen -G "build/test/python/tarnwick*.so" >/dev/null; then
  PYTHONPATH=build/test/python /usr/bin/python3 bench/python/call_by_name.py --quick >/dev/null
fi
echo "all tests passed"
