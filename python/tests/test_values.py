"""Values both ways: every kind of value survives the trip into the
automation layer and back, and values the library makes arrive as the
documented Python types."""
import datetime
import decimal

import pytest

import tarnwick


class Echo:
    """Hands back what it receives: each call goes Python -> automation ->
    Python, and the answer makes the same trip again."""

    TypeName = "Echo"

    def Back(self, value="left out"):
        return value

    def Kind(self, value):
        return type(value).__name__


def through(value):
    return tarnwick.invoke(Echo(), "Back", value)


def test_round_trips_of_every_value_type():
    cases = [None, tarnwick.Null, True, False, 0, -32768, 2**31 - 1, -2**31, 2**40, 1.5, -0.0, 1e300, "", "text",
             "Grüße ☃ 𝄞", "Grüße", "€ ☃", "\ud800 lone", decimal.Decimal("12.3456"), decimal.Decimal("-922337203685477.5808"),
             datetime.datetime(1998, 1, 2, 13, 5, 7), datetime.datetime(1899, 12, 30),
             datetime.datetime(1800, 6, 1, 6, 0), datetime.datetime(100, 1, 1), datetime.datetime(9999, 12, 31, 23, 59, 59),
             [1, "a", None, [2.5, tarnwick.Null]], [], tarnwick.Nothing, tarnwick.ErrorValue(5)]
    for value in cases:
        back = through(value)
        assert back == value or back is value, value
        assert type(back) is type(value), value
    assert through(float("inf")) == float("inf")
    # A missing argument at the end is left out, so the Python default applies; inside a list it stays.
    assert through(tarnwick.Missing) == "left out"
    assert through([tarnwick.Missing]) == [tarnwick.Missing]
    # A date alone is midnight of that day; tuples are arrays; currency keeps four decimals.
    assert through(datetime.date(2001, 2, 3)) == datetime.datetime(2001, 2, 3)
    assert through((1, 2)) == [1, 2]
    assert through(decimal.Decimal("0.00005")) == decimal.Decimal("0.0000")
    assert through(decimal.Decimal("0.00015")) == decimal.Decimal("0.0002")
    # Lower bounds other than 0 are kept.
    array = through(tarnwick.Array(["a", "b"], lbound=1))
    assert isinstance(array, tarnwick.Array) and array.lbound == 1 and array.ubound == 2 and list(array) == ["a", "b"]
    assert type(through(tarnwick.Array([1], lbound=0))) is list


def test_the_library_own_values(database):
    rs = database.OpenRecordset("Select * From Orders Order By OrderId")
    assert isinstance(rs("OrderId"), int)
    assert isinstance(rs("OrderDate"), datetime.datetime)
    assert isinstance(rs("Paid"), bool)
    notes = []
    while not rs.EOF:
        notes.append(rs("Note"))
        rs.MoveNext()
    assert tarnwick.Null in notes  # Null is a value of its own, not None
    lines = database.OpenRecordset("Select Price From OrderLines")
    assert isinstance(lines("Price"), decimal.Decimal)
    # Objects come back as objects; a Python object comes back as itself.
    echo = Echo()
    holder = tarnwick.ControlArray([echo])
    assert tarnwick.invoke(holder, "Item", 0) is echo
    assert tarnwick.invoke(Echo(), "Back", rs) == rs
    assert tarnwick.invoke(Echo(), "Kind", tarnwick.Null) == "_Marker"


def test_indexed_members_collections_and_references(database):
    rs = database.OpenRecordset("Select * From Orders")
    fields = rs.Fields
    assert fields.Count == 6
    assert [f.Name for f in fields] == ["OrderId", "CustomerId", "OrderDate", "Qty", "Paid", "Note"]
    assert fields("Qty").Name == "Qty" and fields[0].Name == "OrderId"
    assert rs.Fields("OrderId").Value == rs("OrderId")
    # A reference argument: the member receives the value behind it.
    ref = tarnwick.Ref(41)
    assert tarnwick.invoke(Echo(), "Back", ref) == 41 and ref.value == 41
    # Methods are taken by name and called; keyword arguments are refused as named arguments.
    move = rs.MoveNext
    assert repr(move) == "<tarnwick.Member MoveNext>"
    move()
    with pytest.raises(tarnwick.Error) as failure:
        rs.Fields("Qty", name="x")
    assert failure.value.number == 446


def test_errors_carry_number_description_and_cause():
    api = tarnwick.CreateObject("Tarnwick.APIWrapper")
    with pytest.raises(tarnwick.Error) as failure:
        api.GetIniValue("only one")
    assert failure.value.number == 449
    assert failure.value.description == "Argument not optional"
    with pytest.raises(tarnwick.Error) as failure:
        api.GetSystemDir("one too many")
    assert failure.value.number == 450
    assert failure.value.description == "Wrong number of arguments or invalid property assignment"
    assert str(failure.value) == "450: Wrong number of arguments or invalid property assignment"
    # Error 438 is also an AttributeError, so hasattr and getattr defaults work.
    assert not hasattr(api, "NoSuchRoutine")
    assert getattr(api, "NoSuchRoutine", 7) == 7

    class Failing:
        def Explode(self):
            raise KeyError("gone")

        def Custom(self):
            raise tarnwick.Error(3021)

    with pytest.raises(tarnwick.Error) as failure:
        tarnwick.invoke(Failing(), "Explode")
    assert failure.value.number == 9
    assert isinstance(failure.value.__cause__, KeyError)
    with pytest.raises(tarnwick.Error) as failure:
        tarnwick.invoke(Failing(), "Custom")
    assert failure.value.number == 3021 and failure.value.description == "No current record."
