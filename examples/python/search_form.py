#!/usr/bin/python3
"""A search form built from plain Python objects: the library reads each
control's Tag and Text by name and builds the selection for the engine and
for a report."""
import tarnwick


class TextBox:
    TypeName = "TextBox"

    def __init__(self, name, index, tag, text=""):
        self.Name = name
        self.Index = index
        self.Tag = tag
        self.Text = text


def main():
    tarnwick.set_process_locale("en-US")
    # One control array of search fields: the Tag names table, field and kind.
    fields = tarnwick.ControlArray([
        TextBox("txtFind", 0, "S=Orders([Customer])", "Sm*"),
        TextBox("txtFind", 1, "S=Orders([Qty])!Number;", ">=5"),
        TextBox("txtFind", 2, "S=Orders([OrderDate])!Date;", ""),  # left empty: no condition
        TextBox("txtFind", 3, "S=Customers([City])", "B*"),
    ])
    # A search that the user typed badly is reported through the message box.
    tarnwick.set_message_box(lambda prompt, buttons, title: print("message box:", prompt))

    dataAccess = tarnwick.CreateObject("Tarnwick.DataAccessWrapper")
    print("SQL:     ", dataAccess.GetWhereClauseFromTags_s([fields], True, True))
    print("report:  ", dataAccess.GetWhereClauseFromTags_s([fields], False, False))
    print("no city: ", dataAccess.GetWhereClauseFromTags_s([fields], True, True, "[City]"))
    fields[1].Text = "five"
    print("typo:    ", repr(dataAccess.GetWhereClauseFromTags_s([tarnwick.ControlArray([fields[1]])], True, True)))


if __name__ == "__main__":
    main()
