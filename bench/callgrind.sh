#!/usr/bin/env bash
# Instruction counts of each measured path and of its baseline, counted by
# callgrind, which stays steady on a busy machine where wall-clock times do
# not. Not part of CI: it takes several minutes.
#
#   bench/callgrind.sh [build-dir] [row-regex]
#
# The build directory (default build/rel) should be a Release build with the
# benchmarks and the Python module. Each row prints the instructions of the
# path, of its baseline, and their ratio. The C++ benchmarks count inside
# timeOurs and timeBaseline (bench/SqliteFixture.h); the Python rows count a
# second run of the measured loop, so that starting Python does not count.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/rel}
only=${2:-}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

command -v valgrind >/dev/null || { echo "callgrind.sh needs valgrind" >&2; exit 1; }

printf '%-48s %16s %16s %8s\n' path instructions baseline ratio

# Inclusive instructions of the functions whose names contain $2, from the
# callgrind output $1.
inclusive() {
  callgrind_annotate --inclusive=yes --threshold=100 "$1" 2>/dev/null |
    awk -v name="$2" 'index($0, name) { gsub(",", "", $1); sum += $1 } END { printf "%.0f", sum }'
}

row() {
  printf '%-48s %16s %16s %8s\n' "$1" "$2" "$3" "$(awk -v a="$2" -v b="$3" 'BEGIN { printf (b > 0 ? "%.2f" : "-"), a / b }')"
}

# A C++ benchmark: label, binary, benchmark filter.
bench() {
  [[ -z "$only" || "$1" =~ $only ]] || return 0
  local file="$out/cg.$RANDOM"
  valgrind --tool=callgrind --collect-atstart=no --callgrind-out-file="$file" \
    --toggle-collect='tarnwick::bench::timeOurs*' --toggle-collect='tarnwick::bench::timeBaseline*' \
    "$2" --benchmark_filter="$3" >/dev/null 2>&1
  row "$1" "$(inclusive "$file" 'tarnwick::bench::timeOurs')" "$(inclusive "$file" 'tarnwick::bench::timeBaseline')"
}

# The instructions of a whole Python run.
pythonRun() {
  local file="$out/py.$RANDOM"
  PYTHONPATH="$build/python" valgrind --tool=callgrind --callgrind-out-file="$file" /usr/bin/python3 "$@" >/dev/null 2>&1
  # awk reads to the end: leaving early would end callgrind_annotate by a
  # broken pipe, which stops this script.
  callgrind_annotate "$file" 2>/dev/null | awk '/PROGRAM TOTALS/ && !done { gsub(",", "", $1); printf "%.0f", $1; done = 1 }'
}

# A Python benchmark: label, script; the loop's cost is a run of two rounds
# less a run of one.
python() {
  [[ -z "$only" || "$1" =~ $only ]] || return 0
  local counts=()
  for side in ours baseline; do
    local one two
    one=$(pythonRun "$2" --only "$side" --runs 1)
    two=$(pythonRun "$2" --only "$side" --runs 2)
    counts+=("$(awk -v a="$two" -v b="$one" 'BEGIN { printf "%.0f", a - b }')")
  done
  row "$1" "${counts[0]}" "${counts[1]}"
}

b="$build/bench/tarnwick_bench"
q="$build/bench/tarnwick_qt_bench"
bench "FindFirst, indexed field / prepared SELECT" "$b" '^BM_FindFirstAgainstPreparedSelect/'
bench "Seek, primary key / prepared SELECT" "$b" '^BM_SeekAgainstPreparedSelect/0/'
bench "Seek in a transaction / prepared SELECT" "$b" '^BM_SeekAgainstPreparedSelect/1/'
bench "AddNew/Update 100,000 / prepared INSERT" "$b" '^BM_AddNewUpdate/0/'
bench "AddNew/Update 100,000 / INSERT, counter key" "$b" '^BM_AddNewUpdate/1/'
bench "Scan with MoveNext / raw scan" "$b" '^BM_ScanWithMoveNext/'
bench "FillGridWithRecords 100,000 x 6 / text scan" "$b" '^BM_FillGridWithRecords/'
bench "CopyFromDbGrid, table / text scan" "$b" '^BM_CopyFromDbGrid/0/'
bench "CopyFromDbGrid, dynaset / text scan" "$b" '^BM_CopyFromDbGrid/1/'
[ -x "$q" ] && bench "Qt data grid to the end / QSqlQueryModel" "$q" 'to_end:1'
python "Python scan 10,000 x 6 / sqlite3 module" bench/python/scan.py
python "Python routine by name / plain method" bench/python/call_by_name.py
