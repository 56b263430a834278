#!/usr/bin/python3
"""Opens the Orders sample database and fills a flex grid of the headless
host with its records, then sizes the grid's columns."""
import os
import tempfile

import tarnwick

FORM = """
form frmOrders {
  Width = 9000
  Height = 5000
  MSFlexGrid grdOrders {
    Cols = 5
    Width = 8000
    Height = 4000
  }
}
"""


def main():
    tarnwick.set_process_locale("en-US")
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "orders.db")
        tarnwick.create_sample_database(path, 12)
        engine = tarnwick.CreateObject("{00000010-0000-0010-8000-00AA006D2EA4}")
        db = engine.OpenDatabase(path)
        orders = db.OpenRecordset("Select OrderId, CustomerId, OrderDate, Qty, Paid From Orders Order By OrderId")

        form = tarnwick.load_form(FORM)
        grid = form.grdOrders
        for col, heading in enumerate(["Order", "Customer", "Date", "Qty", "Paid"]):
            grid.TextMatrix[0, col] = heading
        ocx = tarnwick.CreateObject("Tarnwick.OcxWrapper")
        ocx.FillGridWithRecords(grid, orders)
        ocx.SizeGridColumns(grid, False, 5)

        print("column widths:", [grid.ColWidth(col) for col in range(grid.Cols)])
        for row in range(grid.Rows):
            print(" | ".join(f"{grid.TextMatrix(row, col):>10}" for col in range(grid.Cols)))
        # The grid holds the 12 orders below its heading row, in order.
        assert grid.Rows == 13, grid.Rows
        assert [grid.TextMatrix(row, 0).strip() for row in range(1, 13)] == [str(n) for n in range(1, 13)]
        db.Close()
    print("flex_grid: ok")


if __name__ == "__main__":
    main()
