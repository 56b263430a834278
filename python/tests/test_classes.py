"""Every class through the module, with Python objects and the headless host
as the objects that routines drive."""
import os

import pytest

import tarnwick
from conftest import DBENGINE
from pyhost import Control, FlexGrid, Form


def search_controls(*pairs):
    return tarnwick.ControlArray(
        [Control("TextBox", f"txtFind{i}", Tag=tag, Text=text, Index=i) for i, (tag, text) in enumerate(pairs)])


def test_search_criteria_from_a_pure_python_form(database, prompts):
    dataAccess = tarnwick.CreateObject("Tarnwick.DataAccessWrapper")
    boxes = search_controls(("S=Orders([Qty])!Number;", ">=5"), ("S=Orders([OrderDate])!Date;", ""),
                            ("S=Customers([City])", "B*"))
    sql = dataAccess.GetWhereClauseFromTags_s([boxes], True, True)
    assert sql == "Select * From Orders,Customers WHERE Orders.[Qty]>=5 and Customers.[City] Like 'B*'"
    assert dataAccess.GetWhereClauseFromTags_s([boxes], False, False) == "{Orders.[Qty]}>=5 and 'B*' IN {Customers.[City]}"
    # Names after the flags are a variable list of fields to pass over; none at all is valid too.
    assert dataAccess.GetWhereClauseFromTags_s([boxes], True, True, "[City]") == "Select * From Orders,Customers WHERE Orders.[Qty]>=5"
    # The statement runs on the engine.
    rs = database.OpenRecordset(dataAccess.GetWhereClauseFromTags_s([search_controls(("S=Orders([Qty])!Number;", ">=5"))], True, True))
    assert rs.RecordCount > 0
    assert prompts == []
    # Typed text that is no number is reported through the host's message box.
    boxes[0].Text = "5 or 1=1"
    assert dataAccess.GetWhereClauseFromTags_s([tarnwick.ControlArray([boxes[0]])], True, True) == ""
    assert prompts == [("Type mismatch", 0)]


def test_record_to_python_controls_and_back(database, prompts):
    dataAccess = tarnwick.CreateObject("Tarnwick.DataAccessWrapper")
    form = Form("frmOrder",
                Control("TextBox", "txtId", Tag="Orders([OrderId])!Number"),
                Control("TextBox", "txtQty", Tag="Orders([Qty])!Number"),
                Control("TextBox", "txtOther", Tag="Customers([City])", Text="unchanged"),
                Control("Label", "lblTitle", Caption="Order"))
    orders = database.OpenRecordset("Orders", 1)
    orders.MoveFirst()
    assert dataAccess.ReadFromRecordToControls(form, orders) is None
    assert str(form.txtId.Text) == "1"
    assert str(form.txtQty.Text) == str(orders("Qty"))
    assert form.txtOther.Text == "unchanged"
    form.txtQty.Text = "8"
    orders.Edit()
    dataAccess.SaveRecordFromControls(form, orders)
    assert prompts == []
    assert database.OpenRecordset("Select Qty From Orders WHERE OrderId = 1")("Qty") == 8


def test_engine_errors_reach_python(database):
    dataAccess = tarnwick.CreateObject("Tarnwick.DataAccessWrapper")
    orders = database.OpenRecordset("Select * From Orders")
    with pytest.raises(tarnwick.Error) as failure:
        dataAccess.FindRecord_b(True, orders, "Nonsense((")
    assert failure.value.number >= 3000
    assert failure.value.description
    assert dataAccess.FindRecord_b(True, orders, "OrderId = 3") is True
    assert orders("OrderId") == 3
    with pytest.raises(tarnwick.Error) as failure:
        database.OpenRecordset("Select * From NoSuchTable")
    assert failure.value.number == 3078


def test_flex_grids_of_the_headless_host_and_of_python(database):
    ocx = tarnwick.CreateObject("Tarnwick.OcxWrapper")
    form = tarnwick.load_form("form frmView {\n  MSFlexGrid grdOrders {\n    Cols = 3\n  }\n}\n")
    grid = form.grdOrders
    ocx.FillGridWithRecords(grid, database.OpenRecordset("Select OrderId, Qty, Note From Orders Where OrderId <= 3"))
    assert grid.Rows == 4
    assert grid.TextMatrix(1, 0) == " 1"
    assert grid.TextMatrix[2, 0] == " 2"
    grid.ColWidth[1] = 1200
    assert grid.ColWidth(1) == 1200
    tarnwick.set_property(grid, "ColWidth", 2, 900)
    assert tarnwick.get_property(grid, "ColWidth", 2) == 900
    # A grid written in Python: the routine writes its cells, then adds rows.
    python_grid = FlexGrid(3)
    ocx.AddRowTextToGrid(python_grid, "a", 1, 2.5)
    ocx.AddRowTextToGrid(python_grid, "b", 2)
    ocx.AddRowTextToGrid(python_grid)
    assert python_grid.data_rows() == [["a", "1", "2.5"], ["b", "2", ""]]


def test_progress_is_observed_and_cancelled_from_python(tmp_path):
    path = os.path.join(tmp_path, "many.db")
    tarnwick.create_sample_database(path, 350)
    db = tarnwick.CreateObject(DBENGINE).OpenDatabase(path)
    ocx = tarnwick.CreateObject("Tarnwick.OcxWrapper")
    form = tarnwick.load_form("form frmView {\n  MSFlexGrid grdOrders {\n    Cols = 2\n  }\n}\n")
    grid = form.grdOrders
    heard = []

    def watch(task, done, total):
        heard.append((task, done, total))
        return done < 200

    tarnwick.set_progress(watch)
    try:
        with pytest.raises(tarnwick.Error) as stopped:
            ocx.FillGridWithRecords(grid, db.OpenRecordset("Select OrderId, Qty From Orders Order By OrderId"))
        assert stopped.value.number == 18
        assert heard == [("Filling the grid", 0, 0), ("Filling the grid", 100, 0), ("Filling the grid", 200, 0)]
        assert grid.Rows == 201  # the rows filled before the cancel stay
        # Observing only: None lets the work go on.
        heard.clear()
        tarnwick.set_progress(lambda task, done, total: heard.append(done))
        ocx.FillGridWithRecords(grid, db.OpenRecordset("Select OrderId, Qty From Orders"))
        assert grid.Rows == 351
        assert heard == [0, 100, 200, 300]
        with pytest.raises(tarnwick.Error):
            tarnwick.set_progress(42)
    finally:
        tarnwick.set_progress(None)
    heard.clear()
    ocx.FillGridWithRecords(grid, db.OpenRecordset("Select OrderId, Qty From Orders"))
    assert heard == []
    db.Close()


def test_text_files_ini_values_and_customisation(tmp_path):
    ocx = tarnwick.CreateObject("Tarnwick.OcxWrapper")
    path = os.path.join(tmp_path, "note.txt")
    assert ocx.SaveToFile(path, "Grüße\r\nzwei", 0) == 0
    assert ocx.ReadFromFile_t(path, 0) == "Grüße\r\nzwei"
    assert ocx.OpenFileForInput_t(path).startswith("Grüße")
    api = tarnwick.CreateObject("Tarnwick.APIWrapper")
    ini = os.path.join(tmp_path, "app.ini")
    assert api.WriteIniValue("Main", "Colour", "blue", ini) != 0
    assert api.GetIniValue("Main", "Colour", ini) == "blue"
    assert api.GetIniValue("Main", "Missing", ini) == ""
    assert isinstance(api.GetSystemDir(), str)
    customize = tarnwick.CreateObject("Tarnwick.Customize")
    form = Form("frmPlain", Control("TextBox", "txtA", ToolTipText="tip"))
    assert isinstance(customize.GetIniTips(form.Controls, "frmPlain"), int)


def test_activation_by_name_and_identifier():
    for name in ("DataAccessWrapper", "OcxWrapper", "Customize", "APIWrapper"):
        instance = tarnwick.CreateObject("Tarnwick." + name)
        assert tarnwick.type_name(instance) == name
        assert instance == instance and hash(instance) == hash(instance)
    host = tarnwick.CreateObject("Tarnwick.Host")
    assert host.Screen.TwipsPerPixelX > 0
    assert tarnwick.CreateObject("tarnwick.apiwrapper") is not None  # identifiers ignore letter case
    with pytest.raises(tarnwick.Error) as failure:
        tarnwick.CreateObject("Tarnwick.NoSuchClass")
    assert failure.value.number == 429


def test_control_array_elements_take_values_through_the_array(database):
    dataAccess = tarnwick.CreateObject("Tarnwick.DataAccessWrapper")
    ocx = tarnwick.CreateObject("Tarnwick.OcxWrapper")
    boxes = tarnwick.ControlArray(
        [Control("TextBox", "txtField", DataField=name, Index=i, Text="old") for i, name in enumerate(["OrderId", "Qty", "Note"])])
    orders = database.OpenRecordset("Select * From Orders Order By OrderId", 2)
    orders.FindFirst("OrderId = 6")
    # The routine writes each element's value, its Text; elements below the first index stay.
    assert dataAccess.FillUnboundControlsFromRS_s(orders, boxes, 1) == ""
    assert [box.Text for box in boxes] == ["old", 29, "deliver to the back door"]
    orders.FindFirst("OrderId = 1")
    assert dataAccess.FillUnboundControlsFromRS_s(orders, boxes, 0) == ""
    assert [box.Text for box in boxes] == [1, 17, ""]  # a Null field shows ""
    # Assigning through the array sets the element's value, as the host's arrays do; the
    # routine that writes the record reads the values back through the array.
    boxes[1] = "40000"
    boxes[2] = "typed"
    assert boxes[1].Text == "40000" and isinstance(boxes[1], Control)
    orders.Edit()
    assert dataAccess.FillRSFromUnboundControls_s(orders, boxes, 1) == ""
    orders.Update()
    saved = database.OpenRecordset("Select Qty, Note From Orders Where OrderId = 1")
    assert saved("Qty") is tarnwick.Null and saved("Note") == "typed"  # 40000 fits no integer field
    # At the end of the records every element from the first index shows "".
    orders.MoveLast()
    orders.MoveNext()
    assert dataAccess.FillUnboundControlsFromRS_s(orders, boxes, 0) == ""
    assert [box.Text for box in boxes] == ["", "", ""]

    # The value of a Python object is the member its kind has as value (Caption of a label,
    # Value of a check box), else the one its class names, else Value; host controls in a
    # Python array take assignments too.
    class Gauge:
        _default_member_ = "Level"
        Level = 3

    form = tarnwick.load_form("form frmMixed {\n  TextBox txtHost {\n    Text = \"x\"\n  }\n}\n")
    mixed = tarnwick.ControlArray([Control("Label", "lblA", Caption="a", Text="kept"), Control("CheckBox", "chkA", Value=1),
                                   Gauge(), form.txtHost, Control("Slider", "sldA", Value=5)])
    mixed[3] = 12
    assert form.txtHost.Text == "12"
    assert tarnwick.concat(mixed[0], mixed[2]) == "a3"  # values read through the default member
    ocx.ClearControls(mixed, 0, 4)
    assert (mixed[0].Caption, mixed[1].Value, mixed[2].Level, form.txtHost.Text, mixed[4].Value) == ("", "", "", "", "")
    assert mixed[0].Text == "kept"
    with pytest.raises(tarnwick.MemberNotFoundError):
        tarnwick.ControlArray([Control("Slider", "sldB")])[0] = 1
    with pytest.raises(tarnwick.Error) as failure:
        mixed[5] = 1
    assert failure.value.number == 340
