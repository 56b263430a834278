#!/usr/bin/env bash
# Export of many records by the tool (`tarnwick export`) to CSV and XLSX,
# from a database file and from a database server, against what a user
# types by hand for the same CSV in the same run: the sqlite3 shell's
# `-csv` output and psql's `\copy ... CSV HEADER`. Each figure is the
# minimum and median of RUNS runs (default 3): wall seconds, processor
# seconds (user+system), rows per second by the median wall time, and the
# process's peak resident memory; "growth" is that peak less the peak of
# the same export of 1,000 records, the memory the rows cost.
#
#   bench/export.sh [build-dir] [records]
#
# The build (default build/rel) should be a Release build with the tool
# and the Python module (which makes the tables):
#   cmake -S . -B build/rel -G Ninja -DCMAKE_BUILD_TYPE=Release
#   cmake --build build/rel --target tarnwick_cli tarnwick_python
# The server is a private one (scripts/pg-server.sh) unless
# TARNWICK_TEST_PG names one; its tables go to a schema of their own.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/rel}
rows=${2:-1000000}
runs=${RUNS:-3}
tool=$build/apps/tarnwick/tarnwick
work=$(mktemp -d /tmp/tarnwick-export-bench.XXXXXX)
pg_dir=""
cleanup() {
  if [ -n "$pg_dir" ]; then scripts/pg-server.sh stop "$pg_dir" >/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

# The engine makes the tables (so it knows their fields' types); the
# database fills them, a statement each.
make_table() {  # NAME-OR-URI
  PYTHONPATH=$build/python /usr/bin/python3 - "$1" <<'PY'
import sys, tarnwick
db = tarnwick.CreateObject("Tarnwick.DBEngine").CreateDatabase(sys.argv[1])
for name in ("Items", "Few"):
    db.Execute("CREATE TABLE %s (Id LONG, Person TEXT(40), Qty DOUBLE, Day DATETIME, Paid BIT)" % name)
db.Close()
PY
}
fill_file() {  # TABLE COUNT
  sqlite3 "$work/items.db" "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < $2)
    INSERT INTO $1 (Id, Person, Qty, Day, Paid) SELECT i, 'Person ' || i, i * 1.25, 36000 + i % 5000, -(i % 2) FROM n;"
}
fill_server() {  # TABLE COUNT
  psql -q "$pg_base" -c "SET search_path = $schema; INSERT INTO \"$1\" (\"Id\", \"Person\", \"Qty\", \"Day\", \"Paid\")
    SELECT i, 'Person ' || i, i * 1.25, timestamp '1998-07-25' + (i % 5000) * interval '1 day', i % 2 = 1
    FROM generate_series(1, $2) AS i;"
}

# measure LABEL COMMAND...: RUNS runs; prints the row and keeps the median wall time in $median.
measure() {
  local label=$1
  shift
  local walls=() cpus=() peaks=()
  for _ in $(seq "$runs"); do
    /usr/bin/time -f "%e %U %S %M" -o "$work/time" "$@" >/dev/null 2>"$work/err" || { cat "$work/err"; exit 1; }
    read -r wall user system peak <"$work/time"
    walls+=("$wall")
    cpus+=("$(echo "$user + $system" | bc)")
    peaks+=("$peak")
  done
  local w c p
  w=$(printf '%s\n' "${walls[@]}" | sort -g)
  c=$(printf '%s\n' "${cpus[@]}" | sort -g)
  p=$(printf '%s\n' "${peaks[@]}" | sort -g | tail -1)
  median=$(echo "$w" | sed -n "$(((runs + 1) / 2))p")
  peak_kb=$p
  printf '%-34s wall %6.2f / %6.2f s   cpu %6.2f / %6.2f s   %9.0f rows/s   peak %6.1f MB\n' "$label" \
    "$(echo "$w" | head -1)" "$median" "$(echo "$c" | head -1)" "$(echo "$c" | sed -n "$(((runs + 1) / 2))p")" \
    "$(echo "$count / $median" | bc -l)" "$(echo "$p / 1024" | bc -l)"
}

# growth LABEL BIG_PEAK_KB SMALL_COMMAND...
growth() {
  local label=$1 big=$2
  shift 2
  /usr/bin/time -f "%M" -o "$work/time" "$@" >/dev/null 2>&1
  printf '%-34s memory growth %6.1f MB (1,000 records: %6.1f MB)\n' "$label" \
    "$(echo "($big - $(cat "$work/time")) / 1024" | bc -l)" "$(echo "$(cat "$work/time") / 1024" | bc -l)"
}

ratio() { printf '%-34s ratio of median walls %.2f\n' "$1" "$(echo "$2 / $3" | bc -l)"; }

run_set() {  # WHERE DATABASE BASELINE...
  local where=$1 database=$2
  shift 2
  count=$rows
  measure "$where: by hand (CSV)" "$@"
  local base=$median
  measure "$where: tarnwick export csv" "$tool" export "$database" Items -o "$work/out.csv"
  local csv=$median csv_peak=$peak_kb
  measure "$where: tarnwick export xlsx" "$tool" export "$database" Items -o "$work/out.xlsx"
  local xlsx=$median xlsx_peak=$peak_kb
  ratio "$where: csv / by hand" "$csv" "$base"
  ratio "$where: xlsx / by hand" "$xlsx" "$base"
  growth "$where: csv" "$csv_peak" "$tool" export "$database" Few -o "$work/few.csv"
  growth "$where: xlsx" "$xlsx_peak" "$tool" export "$database" Few -o "$work/few.xlsx"
}

echo "export of $rows records, $runs runs each (min / median)"
make_table "$work/items.db"
fill_file Items "$rows"
fill_file Few 1000
run_set file "$work/items.db" sqlite3 -csv -header "$work/items.db" "SELECT * FROM Items"

if [ -z "${TARNWICK_TEST_PG:-}" ]; then
  pg_dir=$(mktemp -d /tmp/tarnwick-export-pg.XXXXXX)
  TARNWICK_TEST_PG=$(scripts/pg-server.sh start "$pg_dir")
fi
pg_base=$TARNWICK_TEST_PG
schema="tw_export_bench_$$"
psql -q "$pg_base" -c "CREATE SCHEMA $schema"
uri="$pg_base?options=-csearch_path%3D$schema"
make_table "$uri"
fill_server Items "$rows"
fill_server Few 1000
run_set server "$uri" psql -q "$uri" -c "\\copy (SELECT \"Id\", \"Person\", \"Qty\", \"Day\", \"Paid\" FROM \"Items\") TO '$work/hand.csv' CSV HEADER"
psql -q "$pg_base" -c "DROP SCHEMA $schema CASCADE"
