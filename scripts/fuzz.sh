#!/usr/bin/env bash
# Runs every fuzz target of a clang build for a while, two at a time.
#   scripts/fuzz.sh [seconds-per-target] [build-folder] [--keep] [--checks-warn]
# Each target starts from its seed corpus in tests/fuzz/corpus/<target>/.
# New corpus entries go to <build-folder>/fuzz-corpus/<target>/ and the
# inputs that fail to <build-folder>/fuzz-findings/; with --keep, new
# entries go into the repository's corpus instead. The folder is the
# build of scripts/test.sh (build/test) unless named. Exits non-zero when any
# target finds a fault; each target's log is in fuzz-findings/<target>.log.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=60
build=build/test
keep=0
checks_warn=0
for arg in "$@"; do
  case "$arg" in
    --keep) keep=1 ;;
    --checks-warn) checks_warn=1 ;;
    [0-9]*) seconds=$arg ;;
    *) build=$arg ;;
  esac
done
targets=()
for t in "$build"/tests/fuzz/fuzz_*; do
  [ -f "$t" ] && [ -x "$t" ] && targets+=("$t")
done
if [ ${#targets[@]} -eq 0 ]; then
  echo "no fuzz targets in $build (they need a clang build: see scripts/test.sh)" >&2
  exit 1
fi
findings="$build/fuzz-findings"
mkdir -p "$findings"
export QT_QPA_PLATFORM=offscreen
# Leaks count as faults; a slow input (over 10 s) counts too.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export LSAN_OPTIONS=${LSAN_OPTIONS:-suppressions=$PWD/tests/fuzz/lsan.supp}

run_one() {
  local target=$1 name seeds corpus
  name=$(basename "$target")
  name=${name#fuzz_}
  seeds="tests/fuzz/corpus/$name"
  if [ "$keep" -eq 1 ]; then
    corpus="$seeds"
    set -- "$corpus"
  else
    corpus="$build/fuzz-corpus/$name"
    mkdir -p "$corpus"
    set -- "$corpus" "$seeds"
  fi
  if "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=4096 -print_final_stats=1 \
      -artifact_prefix="$findings/$name-" "$@" >"$findings/$name.log" 2>&1; then
    echo "fuzz $name: $(grep -m1 -o 'stat::number_of_executed_units: *[0-9]*' "$findings/$name.log" | grep -o '[0-9]*$') runs"
  elif [ "$checks_warn" -eq 1 ] && grep -q '^fuzz check failed' "$findings/$name.log" &&
      ! grep -qE 'ERROR: (AddressSanitizer|LeakSanitizer)|runtime error:|libFuzzer: timeout|out-of-memory' \
        "$findings/$name.log"; then
    # A behaviour the target checks beyond memory safety (a value that reads
    # back otherwise, a translation the storage refuses) is a finding to mend,
    # but one that a few random seconds may or may not reach: with
    # --checks-warn it is reported without failing the run. A sanitizer
    # report, a leak, a hang or a crash always fails.
    echo "fuzz $name: FINDING, not failing the run: $(grep -m1 '^fuzz check failed' "$findings/$name.log")"
    echo "  input: $(ls -t "$findings/$name"-crash-* 2>/dev/null | head -n 1)"
  else
    echo "fuzz $name: FAULT (see $findings/$name.log)"
    tail -n 30 "$findings/$name.log"
    return 1
  fi
}

failed=0
running=0
for target in "${targets[@]}"; do
  if [ $running -ge 2 ]; then
    wait -n || failed=1
    running=$((running - 1))
  fi
  run_one "$target" &
  running=$((running + 1))
done
while [ $running -gt 0 ]; do
  wait -n || failed=1
  running=$((running - 1))
done
exit $failed
