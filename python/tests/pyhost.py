"""A small host of forms and controls written in plain Python: the library
drives these objects through their attributes, by name."""
import tarnwick


class Control:
    """Any control: its members are plain attributes."""

    def __init__(self, type_name, name, **members):
        self.TypeName = type_name
        self.Name = name
        self.Tag = ""
        self.Text = ""
        self.Visible = True
        self.focus_count = 0
        self.__dict__.update(members)

    def SetFocus(self):
        self.focus_count += 1


class Form:
    TypeName = "Form"

    def __init__(self, name, *controls):
        self.Name = name
        self.Width = 9000
        self.Height = 6000
        self.Controls = tarnwick.ControlArray(controls)
        self.shown = False
        for control in controls:
            setattr(self, control.Name, control)

    def Show(self):
        self.shown = True


class Cells:
    """The grid's TextArray: cell index = row * Cols + column."""

    def __init__(self, grid):
        self._grid = grid

    def __getitem__(self, index):
        row, col = divmod(int(index), self._grid.Cols)
        return self._grid.cells[row][col]

    def __setitem__(self, index, value):
        row, col = divmod(int(index), self._grid.Cols)
        self._grid.cells[row][col] = "" if value is None else str(value)


class FlexGrid:
    """A flex grid with one heading row: rows of text cells."""

    TypeName = "MSFlexGrid"

    def __init__(self, cols):
        self.Cols = cols
        self.FixedRows = 1
        self.cells = [[""] * cols, [""] * cols]
        self.Row = 0
        self.Col = 0
        self.TextArray = Cells(self)

    @property
    def Rows(self):
        return len(self.cells)

    @property
    def Text(self):
        return self.cells[self.Row][self.Col]

    def AddItem(self, text, index=None):
        row = text.split("\t")
        self.cells.append(row + [""] * (self.Cols - len(row)))

    def data_rows(self):
        return [row for row in self.cells[1:] if any(row)]
