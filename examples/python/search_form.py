#!/usr/bin/python3
"""A search form built from plain Python objects: the library reads each
control's Tag and Text by name and builds the selection for the engine and
for a report; the selection is then opened on the Orders sample database."""
import os
import tempfile

import tarnwick


class TextBox:
    TypeName = "TextBox"

    def __init__(self, name, index, tag, text=""):
        self.Name = name
        self.Index = index
        self.Tag = tag
        self.Text = text


def count(db, sql):
    rs = db.OpenRecordset(sql)
    n = 0
    while not rs.EOF:
        n += 1
        rs.MoveNext()
    return n


def main():
    tarnwick.set_process_locale("en-US")
    # One control array of search fields: the Tag names table, field and kind.
    fields = tarnwick.ControlArray([
        TextBox("txtFind", 0, "S=Customers([Name])", "Wagner*"),
        TextBox("txtFind", 1, "S=Orders([Qty])!Number;", ">=5"),
        TextBox("txtFind", 2, "S=Orders([OrderDate])!Date;", ""),  # left empty: no condition
        TextBox("txtFind", 3, "S=Customers([City])", "B*"),
    ])
    # A search that the user typed badly is reported through the message box.
    tarnwick.set_message_box(lambda prompt, buttons, title: print("message box:", prompt) or 1)

    dataAccess = tarnwick.CreateObject("Tarnwick.DataAccessWrapper")
    sql = dataAccess.GetWhereClauseFromTags_s([fields], True, True)
    print("SQL:     ", sql)
    assert sql == ("Select * From Customers,Orders WHERE Customers.[Name] Like 'Wagner*' and Orders.[Qty]>=5 "
                   "and Customers.[City] Like 'B*'"), sql
    report = dataAccess.GetWhereClauseFromTags_s([fields], False, False)
    print("report:  ", report)
    assert report == "'Wagner*' IN {Customers.[Name]} and {Orders.[Qty]}>=5 and 'B*' IN {Customers.[City]}", report
    no_city = dataAccess.GetWhereClauseFromTags_s([fields], True, True, "[City]")
    print("no city: ", no_city)

    # The routine lists the tables without a join: the form adds it.
    joined = sql + " and Orders.CustomerId = Customers.CustomerId"
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "orders.db")
        tarnwick.create_sample_database(path, 200)
        db = tarnwick.CreateObject("Tarnwick.DBEngine").OpenDatabase(path)
        found = count(db, joined)
        print("orders found:", found)
        assert found > 0
        # Every order found is a Wagner's in a city with B, of five or more.
        rs = db.OpenRecordset(joined)
        while not rs.EOF:
            assert rs("Name").startswith("Wagner") and rs("City").startswith("B") and rs("Qty") >= 5
            rs.MoveNext()
        db.Close()

    fields[1].Text = "five"
    typo = dataAccess.GetWhereClauseFromTags_s([tarnwick.ControlArray([fields[1]])], True, True)
    print("typo:    ", repr(typo))
    print("search_form: ok")


if __name__ == "__main__":
    main()
