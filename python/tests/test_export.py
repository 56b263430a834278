"""tarnwick.export: CSV files read back with Python's csv module under
en-US and de-DE, spreadsheets read back with openpyxl, options and errors."""
import csv
import datetime
import os

import pytest

import tarnwick

HOSTILE = ['a,b;c', 'say "hi"', 'two\nlines', 'cr\rlf\r\n', ' blank ', '\ufeffmark', '=1+2', 'emoji \U0001F600']


def orders(db):
    rs = db.OpenRecordset("SELECT OrderId, CustomerId, OrderDate, Qty, Paid, Note FROM Orders ORDER BY OrderId")
    rows = []
    while not rs.EOF:
        rows.append([rs(i) for i in range(6)])
        rs.MoveNext()
    return rows


@pytest.fixture
def hostile(database):
    database.Execute("CREATE TABLE tblText (Id LONG, Body TEXT(50))")
    for i, text in enumerate(HOSTILE):
        rs = database.OpenRecordset("tblText")
        rs.AddNew()
        rs.Fields("Id").Value = i
        rs.Fields("Body").Value = text
        rs.Update()
    return database


@pytest.mark.parametrize("locale,delimiter", [("en-US", ","), ("de-DE", ";")])
def test_csv_reads_back_with_the_csv_module(hostile, tmp_path, locale, delimiter):
    path = os.path.join(tmp_path, "orders.csv")
    assert tarnwick.export("SELECT OrderId, CustomerId, OrderDate, Qty, Paid, Note FROM Orders ORDER BY OrderId",
                           path, hostile, locale=locale, bom=True) == 20
    with open(path, newline="", encoding="utf-8-sig") as f:
        rows = list(csv.reader(f, delimiter=delimiter, strict=True))
    assert rows[0] == ["OrderId", "CustomerId", "OrderDate", "Qty", "Paid", "Note"]
    for got, want in zip(rows[1:], orders(hostile)):
        assert tarnwick.parse_number(got[0], locale=locale) == want[0]
        assert tarnwick.parse_date(got[2], locale=locale) == want[2]
        assert tarnwick.parse_number(got[3], locale=locale) == want[3]
        assert got[4] == ("True" if want[4] else "False")
        assert got[5] == (want[5] if want[5] is not tarnwick.Null else "")

    texts = os.path.join(tmp_path, "texts.csv")
    tarnwick.export("SELECT Body FROM tblText ORDER BY Id", texts, hostile, locale=locale, header=False)
    with open(texts, newline="", encoding="utf-8") as f:
        assert [row[0] for row in csv.reader(f, delimiter=delimiter, strict=True)] == HOSTILE


def test_xlsx_holds_typed_values(database, tmp_path):
    openpyxl = pytest.importorskip("openpyxl")
    path = os.path.join(tmp_path, "orders.xlsx")
    assert tarnwick.export("SELECT OrderId, CustomerId, OrderDate, Qty, Paid, Note FROM Orders ORDER BY OrderId",
                           path, database) == 20
    sheet = openpyxl.load_workbook(path).active
    assert sheet.freeze_panes == "A2"
    rows = list(sheet.iter_rows(values_only=True))
    assert rows[0] == ("OrderId", "CustomerId", "OrderDate", "Qty", "Paid", "Note")
    for got, want in zip(rows[1:], orders(database)):
        assert got[:2] == tuple(want[:2])
        assert isinstance(got[2], datetime.datetime) and got[2] == want[2]
        assert got[3] == want[3] and got[4] is want[4]
        assert got[5] == (want[5] if want[5] is not tarnwick.Null else None)


def test_a_recordset_and_bad_requests(database, tmp_path):
    rs = database.OpenRecordset("SELECT OrderId FROM Orders WHERE OrderId <= 3")
    path = os.path.join(tmp_path, "three.csv")
    assert tarnwick.export(rs, path, separator="\t", iso_dates=True) == 3
    assert open(path, encoding="utf-8").read() == "OrderId\n1\n2\n3\n"
    with pytest.raises(tarnwick.Error) as e:
        tarnwick.export(rs, path, colour="red")
    assert e.value.number == 5 and "colour" in e.value.note
    with pytest.raises(tarnwick.Error) as e:
        tarnwick.export(rs, os.path.join(tmp_path, "x.pdf"))
    assert e.value.number == 429 and "Qt host" in e.value.note
    with pytest.raises(tarnwick.Error) as e:
        tarnwick.export("Orders", os.path.join(tmp_path, "gone", "x.csv"), database)
    assert e.value.number == 76
    assert sorted(os.listdir(tmp_path)) == ["orders.db", "orders.db-shm", "orders.db-wal", "three.csv"]
