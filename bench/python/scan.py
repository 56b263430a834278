#!/usr/bin/python3
"""A scan of 10,000 records of six fields from Python, through the data
engine's recordset (MoveNext, EOF and each field's Value by name) next to
the same scan through Python's sqlite3 module, measured in the same run.

    PYTHONPATH=<build>/python /usr/bin/python3 bench/python/scan.py [--quick] [--only ours|baseline]

--only runs one side alone, a fixed number of times, for an instruction
counter (bench/callgrind.sh).
"""
import os
import sqlite3
import sys
import tempfile
import timeit

import tarnwick

DBENGINE = "{00000010-0000-0010-8000-00AA006D2EA4}"
RECORDS = 10_000


def make_table(path, records):
    engine = tarnwick.CreateObject(DBENGINE)
    db = engine.CreateDatabase(path)
    db.Execute("CREATE TABLE T (Id LONG PRIMARY KEY, A LONG, B DOUBLE, C TEXT(20), D DATETIME, E YESNO)")
    db.Close()
    raw = sqlite3.connect(path)
    raw.executemany(
        "INSERT INTO T VALUES (?, ?, ?, ?, ?, ?)",
        ((i, i * 7 % 1000, i * 0.25, f"name{i}", 35796.0 + i % 3000, -1 if i % 2 else 0) for i in range(1, records + 1)),
    )
    raw.commit()
    raw.close()


def scan_ours(db):
    rs = db.OpenRecordset("T")
    fields = [rs.Fields(i) for i in range(6)]
    count = 0
    while not rs.EOF:
        for field in fields:
            field.Value
        count += 1
        rs.MoveNext()
    return count


def scan_baseline(raw):
    count = 0
    for row in raw.execute("SELECT Id, A, B, C, D, E FROM T"):
        for value in row:
            pass
        count += 1
    return count


def main():
    quick = "--quick" in sys.argv
    only = sys.argv[sys.argv.index("--only") + 1] if "--only" in sys.argv else None
    records = 500 if quick else RECORDS
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "scan.db")
        make_table(path, records)
        db = tarnwick.CreateObject(DBENGINE).OpenDatabase(path)
        raw = sqlite3.connect(path)
        if only:
            runs = int(sys.argv[sys.argv.index("--runs") + 1]) if "--runs" in sys.argv else 1
            for _ in range(runs):
                scan_ours(db) if only == "ours" else scan_baseline(raw)
        else:
            assert scan_ours(db) == scan_baseline(raw) == records
            repeat = 5
            base = min(timeit.repeat(lambda: scan_baseline(raw), number=1, repeat=repeat))
            ours = min(timeit.repeat(lambda: scan_ours(db), number=1, repeat=repeat))
            print(f"{'sqlite3 module: scan of %d records, six fields' % records:<58} {base * 1e3:9.3f} ms  (baseline)")
            print(f"{'recordset: MoveNext, EOF, six Values by name':<58} {ours * 1e3:9.3f} ms {ours / base:8.1f} x")
        raw.close()
        db.Close()


if __name__ == "__main__":
    main()
