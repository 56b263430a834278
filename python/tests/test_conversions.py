"""The value conversions as module functions, under the process's locale
and under a locale named in the call."""
import datetime

import pytest

import tarnwick


def error_number(call):
    with pytest.raises(tarnwick.Error) as failure:
        call()
    return failure.value.number


def test_texts_to_numbers_and_the_tests():
    assert tarnwick.leading_number("12abc") == 12
    assert tarnwick.leading_number(" 1 . 5x") == 1.5
    assert tarnwick.leading_number("abc") == 0 and tarnwick.leading_number("") == 0
    assert tarnwick.leading_number("&HFFFF") == -1
    assert tarnwick.leading_number("1,5", locale="de-DE") == 1  # the point, whatever the locale
    assert tarnwick.is_numeric("1.234,5", locale="de-DE")
    assert not tarnwick.is_numeric("") and not tarnwick.is_numeric(None) and not tarnwick.is_numeric("12abc")
    assert tarnwick.is_numeric(" $1,000.50 ")
    assert tarnwick.parse_number("1.234,5", locale="de-DE") == 1234.5
    assert tarnwick.parse_number("(12)") == -12
    assert error_number(lambda: tarnwick.parse_number("5 or 1=1")) == 13
    assert error_number(lambda: tarnwick.parse_number(5)) == 13
    assert tarnwick.is_date("31.12.1999", locale="de-DE")
    assert tarnwick.is_date(datetime.datetime(2000, 1, 1))
    assert not tarnwick.is_date("31.12.1999x")
    assert tarnwick.parse_date("31.12.1999", locale="de-DE") == datetime.datetime(1999, 12, 31)
    assert tarnwick.parse_date("12/31/1999 1:05 PM") == datetime.datetime(1999, 12, 31, 13, 5)
    assert error_number(lambda: tarnwick.parse_date("yesterday")) == 13


def test_numbers_and_dates_to_text_and_rounding():
    assert tarnwick.number_to_text(7) == " 7"
    assert tarnwick.number_to_text(-2.5) == "-2.5"
    assert tarnwick.number_to_text(0.5, locale="de-DE") == " .5"
    assert tarnwick.number_to_text(1e15) == " 1E+15"
    assert tarnwick.to_text(1.5) == "1.5" and tarnwick.to_text(1.5, locale="de-DE") == "1,5"
    assert tarnwick.to_text(True) == "True" and tarnwick.to_text(None) == ""
    assert tarnwick.to_text(datetime.datetime(1998, 1, 2)) == "1/2/1998"
    assert tarnwick.to_text(datetime.datetime(1998, 1, 2, 13, 5), locale="de-DE") == "02.01.1998 13:05:00"
    assert tarnwick.round_int16(2.5) == 2 and tarnwick.round_int16(1439.5) == 1440
    assert tarnwick.round_int16("3,5", locale="de-DE") == 4
    assert tarnwick.round_int32(-2.5e9 / 2) == -1250000000
    assert error_number(lambda: tarnwick.round_int16(32767.5)) == 6
    assert error_number(lambda: tarnwick.round_int32(2.5e9)) == 6
    assert error_number(lambda: tarnwick.round_int16(tarnwick.Null)) == 94
    when = datetime.datetime(1999, 12, 31, 13, 5)
    assert tarnwick.format_date(when, "dd.mm.yyyy hh:nn AM/PM") == "31.12.1999 01:05 PM"
    assert tarnwick.format_date("12/31/1999", "yyyy-mm-dd") == "1999-12-31"
    assert tarnwick.format_date(when, "dddd d. mmmm", locale="de-DE") == "Freitag 31. Dezember"
    assert tarnwick.format_date("no date", "yyyy") == "no date"


def test_variant_addition_and_locales():
    assert tarnwick.add("3", 4) == 7
    assert tarnwick.add("3", "4") == "34"
    assert tarnwick.add(tarnwick.Null, 1) is tarnwick.Null
    assert tarnwick.add(None, 5) == 5
    assert tarnwick.add("1,5", 1, locale="de-DE") == 2.5
    assert error_number(lambda: tarnwick.add("x", 1)) == 13
    assert tarnwick.add(2**31 - 1, 1) == 2**31  # a long that overflows widens
    # A named locale holds for the call only; the process's locale stays.
    tarnwick.set_process_locale("de-DE")
    assert tarnwick.process_locale() == "de-DE"
    assert tarnwick.to_text(1.5) == "1,5"
    assert tarnwick.to_text(1.5, locale="en-US") == "1.5"
    assert tarnwick.process_locale() == "de-DE"
    assert error_number(lambda: tarnwick.to_text(1, locale="xx-YY")) == 5


def test_the_locale_in_force_says_where_it_comes_from(monkeypatch):
    tarnwick.set_process_locale("de-DE")
    assert tarnwick.locale_in_force() == "de-DE (built in)"
    # A locale that is not installed: en-US, and the fallback is visible.
    monkeypatch.setenv("LC_ALL", "xx_YY.UTF-8")
    tarnwick.set_process_locale(None)
    assert tarnwick.process_locale() == "en-US"
    assert tarnwick.locale_in_force() == "en-US (fallback: the locale xx_YY.UTF-8 is not installed)"
