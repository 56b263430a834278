"""The module lets go of the interpreter while the library works: the
program's other threads run while a call waits for a long statement or a
busy file, and routines that call back into Python objects from several
threads take the interpreter again there."""
import os
import sqlite3
import threading
import time

import pytest

import tarnwick
from conftest import DBENGINE
from pyhost import Control


class Counter:
    """Counts in a thread of its own until stopped."""

    def __init__(self):
        self.count = 0
        self._stop = threading.Event()
        self._thread = threading.Thread(target=self._run)

    def _run(self):
        while not self._stop.is_set():
            self.count += 1
            time.sleep(0.001)

    def __enter__(self):
        self._thread.start()
        while self.count == 0:
            time.sleep(0.001)
        return self

    def __exit__(self, *exc):
        self._stop.set()
        self._thread.join()


def counted_during(call):
    """How far the other thread counted while `call` ran, and its error."""
    with Counter() as counter:
        before = counter.count
        error = None
        try:
            call()
        except tarnwick.Error as e:
            error = e
        return counter.count - before, error


def test_other_threads_run_during_a_long_statement_and_a_busy_file(tmp_path):
    path = os.path.join(tmp_path, "numbers.db")
    engine = tarnwick.CreateObject(DBENGINE)
    db = engine.CreateDatabase(path)
    db.Execute("CREATE TABLE Nums (N LONG PRIMARY KEY)")
    db.Execute("CREATE TABLE Digits (D LONG PRIMARY KEY)")
    db.Execute("CREATE TABLE Copied (N LONG)")
    for n in range(1, 41):
        db.Execute(f"INSERT INTO Nums (N) VALUES ({n})")
        db.Execute(f"INSERT INTO Digits (D) VALUES ({n})")
    db.QueryTimeout = 1
    # A statement that runs for a second before it is stopped.
    counted, error = counted_during(lambda: db.Execute(
        "INSERT INTO Copied (N) SELECT N FROM Nums, Digits AS b, Digits AS c, Digits AS d, Digits AS e"))
    assert error is not None and error.number == 3234
    # The other thread sleeps a millisecond between counts: it counted
    # through the second, where it used to wait for the call's end.
    assert counted >= 50
    assert db.OpenRecordset("SELECT Count(*) AS Many FROM Copied")("Many") == 0

    # A file another connection is writing: the statement waits for it.
    engine.BusyTimeout = 1000
    other = sqlite3.connect(path, isolation_level=None)
    try:
        other.execute("BEGIN IMMEDIATE")
        counted, error = counted_during(lambda: db.Execute("INSERT INTO Copied (N) VALUES (1)"))
        assert error is not None and error.number == 3218
        assert counted >= 50
        other.execute("ROLLBACK")
    finally:
        other.close()
        engine.BusyTimeout = 5000
    db.Close()


def test_routines_calling_back_into_python_objects_from_several_threads():
    dataAccess = tarnwick.CreateObject("Tarnwick.DataAccessWrapper")
    failures = []

    def search(low):
        boxes = tarnwick.ControlArray([Control("TextBox", "txtFind", Tag="S=Orders([Qty])!Number;", Text=f">={low}",
                                               Index=0)])
        try:
            for _ in range(200):
                sql = dataAccess.GetWhereClauseFromTags_s([boxes], True, True)
                if sql != f"Select * From Orders WHERE Orders.[Qty]>={low}":
                    failures.append(sql)
        except Exception as e:  # noqa: BLE001 - any failure is the test's
            failures.append(repr(e))

    threads = [threading.Thread(target=search, args=(n,)) for n in range(4)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert failures == []
