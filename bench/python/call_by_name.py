#!/usr/bin/python3
"""The cost of calling a routine by name from Python, next to the cost of a
plain Python method call, measured in the same run.

    PYTHONPATH=<build>/python /usr/bin/python3 bench/python/call_by_name.py [--quick] [--only ours|baseline]

--only runs one side alone (the routine by name, or the plain method) a
fixed number of times, for an instruction counter (bench/callgrind.sh).
"""
import sys
import timeit

import tarnwick


class Plain:
    def GetIniValue(self, section, key, file):
        return ""


class Grid:
    """A Python object that a routine drives by name."""

    TypeName = "MSFlexGrid"

    def __init__(self):
        self.Cols = 2
        self.Row = 0
        self.Text = "filled"
        self.added = 0

    def AddItem(self, text, index=None):
        self.added += 1


def measure(label, statement, number, baseline=None):
    best = min(timeit.repeat(statement, number=number, repeat=5)) / number
    ratio = f"{best / baseline:8.1f} x" if baseline else "  (baseline)"
    print(f"{label:<58} {best * 1e6:9.3f} us {ratio}")
    return best


def main():
    quick = "--quick" in sys.argv
    number = 2_000 if quick else 50_000
    api = tarnwick.CreateObject("Tarnwick.APIWrapper")
    ocx = tarnwick.CreateObject("Tarnwick.OcxWrapper")
    plain = Plain()
    grid = Grid()
    # The routine reads a missing file's value: no disk write, little work inside.
    missing = "/nonexistent/tarnwick-bench.ini"

    if "--only" in sys.argv:
        runs = int(sys.argv[sys.argv.index("--runs") + 1]) if "--runs" in sys.argv else 1
        ours = sys.argv[sys.argv.index("--only") + 1] == "ours"
        for _ in range(runs * 20_000):
            api.GetIniValue("S", "K", missing) if ours else plain.GetIniValue("S", "K", missing)
        return

    base = measure("plain Python method call, three arguments", lambda: plain.GetIniValue("S", "K", missing), number)
    measure("routine by name: APIWrapper.GetIniValue", lambda: api.GetIniValue("S", "K", missing), number, base)
    routine = api.GetIniValue
    measure("routine by name, member taken once", lambda: routine("S", "K", missing), number, base)
    measure("routine driving a Python grid: AddRowTextToGrid", lambda: ocx.AddRowTextToGrid(grid, "a", 1), number, base)
    measure("conversion function: tarnwick.add(\"3\", 4)", lambda: tarnwick.add("3", 4), number, base)


if __name__ == "__main__":
    main()
