"""Values of an exact automation type: made as the library converts, passed
to members, and read back from members' answers with their type; addition
and concatenation on them."""
import datetime
import decimal
import os

import pytest

import tarnwick
from pyhost import Control
from tarnwick import Variant


def error_number(call):
    with pytest.raises(tarnwick.Error) as failure:
        call()
    return failure.value.number


TYPE_CODES = {"EMPTY": 0, "NULL": 1, "I2": 2, "I4": 3, "R4": 4, "R8": 5, "CY": 6, "DATE": 7, "BSTR": 8,
              "ERROR": 10, "BOOL": 11, "DECIMAL": 14, "UI1": 17, "I8": 20}


def test_values_are_made_with_their_type_as_the_library_converts():
    for name, code in TYPE_CODES.items():
        sample = None if name in ("EMPTY", "NULL") else 1
        made = Variant(sample, name)
        assert made.vartype == code, name
        assert Variant(sample, "vt_" + name.lower()) == made and Variant(sample, code) == made, name
    assert Variant(None, "NULL").value is tarnwick.Null and Variant(None, "EMPTY").value is None
    # Rounding half to even, locales, and the types Python has no value of its own for.
    assert Variant(2.5, "I2").value == 2 and Variant(3.5, "I2").value == 4
    assert Variant("1,5", "R8", locale="de-DE").value == 1.5 and Variant("1,5", "R8").value == 15
    assert Variant(True, "I2").value == -1 and Variant("255", "UI1").value == 255
    assert Variant(1 / 3, "R4").value != 1 / 3 and tarnwick.to_text(Variant(1 / 3, "R4")) == "0.3333333"
    assert Variant(1.23456, "CY").value == decimal.Decimal("1.2346")
    assert Variant(2**40, "I8").value == 2**40 and Variant(7, "I8") != Variant(7, "I4")
    assert Variant(1, "DATE").value == datetime.datetime(1899, 12, 31)
    assert Variant(datetime.datetime(2000, 1, 2), "R8").value == 36527.0
    assert Variant(5, "ERROR").value == tarnwick.ErrorValue(5)
    assert Variant(12, "BSTR").value == "12" and Variant(0, "BOOL").value is False
    assert Variant([1, "a"]).vartype == 0x200C and Variant("x").vartype == 8  # without a type: as passed
    assert repr(Variant(3, "I2")) == "tarnwick.Variant(3, 'I2')"
    assert error_number(lambda: Variant(40000, "I2")) == 6
    assert error_number(lambda: Variant(256, "UI1")) == 6 and error_number(lambda: Variant(-1, "UI1")) == 6
    assert error_number(lambda: Variant("abc", "I4")) == 13 and error_number(lambda: Variant("x", "ERROR")) == 13
    assert error_number(lambda: Variant(1, "NULL")) == 13
    # Unknown types are refused.
    assert error_number(lambda: Variant(1, "MONEY")) == 5 and error_number(lambda: Variant(1, 99)) == 5


def test_members_answers_with_their_type(database, tmp_path):
    ocx = tarnwick.CreateObject("Tarnwick.OcxWrapper")
    assert tarnwick.raw(ocx, "SetHighlightColorWhite_b", True) == Variant(True, "BOOL")
    assert tarnwick.raw(ocx, "SaveToFile", os.path.join(tmp_path, "a.txt"), "abc", 0) == Variant(0, "I2")
    assert ocx.SaveToFile(os.path.join(tmp_path, "b.txt"), "abc", 0) == 0  # a plain call converts
    order = database.OpenRecordset("Select * From Orders Where OrderId = 1").Fields
    assert [tarnwick.raw(order(name), "Value").vartype for name in ("OrderId", "OrderDate", "Qty", "Paid", "Note")] == [
        3, 7, 2, 11, 1]
    price = database.OpenRecordset("Select Price From OrderLines").Fields("Price")
    assert tarnwick.raw(price, "Value").vartype == 6
    # Host members take and give exact types.
    form = tarnwick.load_form("form frmTyped {\n  CheckBox chkPaid {\n  }\n}\n")
    tarnwick.set_property(form.chkPaid, "Value", Variant(1, "I2"))
    assert tarnwick.raw(form.chkPaid, "Value") == Variant(1, "I2")
    # A Python object that answers with a Variant gives its type; a reference that holds one keeps it.
    typed = Control("TextBox", "txtTyped", Small=Variant(5, "I2"), Text=Variant(2.5, "R4"))
    assert tarnwick.raw(typed, "Small") == Variant(5, "I2") and tarnwick.raw(typed, "Text").vartype == 4
    assert tarnwick.add(typed, 1, raw=True) == Variant(3.5, "R8")  # the text box's value, a single, plus a long
    ref = tarnwick.Ref(Variant(3, "UI1"))
    assert tarnwick.invoke(Control("TextBox", "txtEcho", Back=lambda value: value), "Back", ref) == 3
    assert ref.value == Variant(3, "UI1")


def test_addition_and_concatenation_keep_the_platform_types():
    add = tarnwick.add
    assert add(Variant(32767, "I2"), Variant(1, "I2"), raw=True) == Variant(32768, "I4")
    assert add(Variant(200, "UI1"), Variant(100, "UI1"), raw=True) == Variant(300, "I2")
    assert add(Variant(1.5, "R4"), Variant(1, "I2"), raw=True) == Variant(2.5, "R4")
    assert add(Variant(1.5, "R4"), 1, raw=True) == Variant(2.5, "R8")  # single with long gives double
    assert add(Variant(1.5, "CY"), 1.25, raw=True) == Variant(decimal.Decimal("2.75"), "CY")
    assert add(datetime.datetime(2000, 1, 1), Variant(1, "I2"), raw=True).vartype == 7
    assert add(Variant(1, "I2"), Variant(2, "I2")) == 3
    concat = tarnwick.concat
    assert concat("a", 1) == "a1" and concat(1.5, "x", locale="de-DE") == "1,5x"
    assert concat(tarnwick.Null, tarnwick.Null) is tarnwick.Null
    assert concat(tarnwick.Null, "x") == "x" and concat(None, tarnwick.Null) == "" and concat(None, None) == ""
    assert concat(True, Variant(2, "I2")) == "True2"
    assert concat(datetime.datetime(1998, 1, 2), 7) == "1/2/19987"
    assert concat(Variant(1 / 3, "R4"), "") == "0.3333333" and concat(Variant(1.5, "CY"), "") == "1.5"
    assert concat(Control("TextBox", "txtA", Text="ab"), "c") == "abc"  # an object gives its value
    assert error_number(lambda: concat(tarnwick.ErrorValue(5), "x")) == 13
    assert error_number(lambda: concat([1], "x")) == 13
    assert error_number(lambda: concat(tarnwick.Nothing, "x")) == 91


def test_decimals_keep_every_digit_both_ways():
    D = decimal.Decimal
    # A Python decimal asked for as a decimal keeps its digits and scale; plain, it still passes as currency.
    made = Variant(D("-12345678901234567890.123456789"), "DECIMAL")
    assert made.vartype == 14 and made.value == D("-12345678901234567890.123456789")
    assert str(Variant(D("1.50"), "DECIMAL").value) == "1.50" and str(Variant(D("0E-5"), "DECIMAL").value) == "0"
    assert Variant(D("1.23456789")).vartype == 6
    largest = D("79228162514264337593543950335")
    lowest = D("-79228162514264337593543950335")  # written out: Python's own arithmetic keeps 28 digits
    assert Variant(largest, "DECIMAL").value == largest and Variant(lowest, "DECIMAL").value == lowest
    assert Variant(D("1E-28"), "DECIMAL").value == D("1E-28")
    # Beyond 28 decimals: half to even; beyond the range, NaN and infinities: overflow; bad text: type mismatch.
    assert Variant(D("0.00000000000000000000000000025"), "DECIMAL").value == D("2E-28")
    assert Variant(D("0.00000000000000000000000000035"), "DECIMAL").value == D("4E-28")
    for bad in (D("79228162514264337593543950336"), D("NaN"), D("-Infinity"), D("1E+29")):
        assert error_number(lambda: Variant(bad, "DECIMAL")) == 6, bad
    assert error_number(lambda: Variant("1.2.3", "DECIMAL")) == 13
    # Other values convert as the library converts: doubles by their 15 digits, text under the locale.
    assert Variant(0.1, "DECIMAL").value == D("0.1") and Variant(1 / 3, "DECIMAL").value == D("0.333333333333333")
    assert Variant("1.234,5", "DECIMAL", locale="de-DE").value == D("1234.5")
    assert Variant(2**62, "DECIMAL").value == 2**62 and Variant(True, "DECIMAL").value == -1
    assert Variant(Variant(D("2.5"), "DECIMAL"), "I2").value == 2 and Variant(Variant(D("3.5"), "DECIMAL"), "I2").value == 4
    assert Variant(Variant(D("1.23455"), "DECIMAL"), "CY").value == D("1.2346")
    assert tarnwick.to_text(Variant(D("-0.50"), "DECIMAL")) == "-0.5"
    assert tarnwick.to_text(Variant(D("-0.50"), "DECIMAL"), locale="de-DE") == "-0,5"
    # Addition: a decimal wins over integers, currency and doubles, exactly.
    add = tarnwick.add
    assert add(Variant(D("0.2"), "DECIMAL"), 0.1, raw=True) == Variant(D("0.3"), "DECIMAL")
    assert add(Variant(D("0.5"), "DECIMAL"), Variant(1, "CY"), raw=True).vartype == 14
    assert add(Variant(largest, "DECIMAL"), Variant(D("-0.5"), "DECIMAL")) == D("79228162514264337593543950334")
    assert error_number(lambda: add(Variant(largest, "DECIMAL"), 1)) == 6
    # A Python member receives every digit, and a reference that holds a decimal keeps it.
    tiny = Variant(D("-0.000000000000000000000000001"), "DECIMAL")
    assert tarnwick.invoke(Control("TextBox", "txtDecimal", Back=lambda value: str(value)), "Back", tiny) == "-1E-27"
    ref = tarnwick.Ref(tiny)
    tarnwick.invoke(Control("TextBox", "txtKeep", Back=lambda value: None), "Back", ref)
    assert ref.value == tiny
