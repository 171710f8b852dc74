#!/usr/bin/python3
"""Reads an exported workbook back with openpyxl and checks it cell by cell against
the list it was made from.

usage: check_workbook.py BOOK.xlsx LIST.json
LIST.json: {"entries": [{"path", "no", "switch", "start", "end", "records", "size",
"duplicate"}...], "totals": {"files", "size", "records"}}
Prints every difference and exits 1 when there is any."""

import json
import re
import sys

import openpyxl

HEADINGS = ["BINARY FILE", "NO", "SWITCH", "START TIME", "END TIME", "RECORDS", "SIZE"]
WIDTHS = [20, 6, 8, 15, 15, 10, 10]
NUMBER = re.compile(r"^[+-]?[0-9]+(\.[0-9]+)?$")
RED = "FFFF0000"
FILL = "FF68C1FF"
BLACK = "FF000000"
COLUMNS = "ABCDEFG"

problems = []


def problem(where, what):
    problems.append(f"{where}: {what}")


def text(s):
    # Bytes that are not UTF-8 arrive as lone surrogates; the sheet shows U+FFFD.
    return s.encode("utf-8", "surrogateescape").decode("utf-8", "replace")


def file_name(path):
    return re.split(r"[/\\]", path)[-1]


def check_value(cell, expected, plain):
    where = cell.coordinate
    if expected == "":
        if cell.value is not None:
            problem(where, f"expected blank, found {cell.value!r}")
        return
    expected = text(expected)
    if plain and NUMBER.match(expected):
        if cell.data_type != "n" or float(cell.value) != float(expected):
            problem(where, f"expected number {expected}, found {cell.data_type} {cell.value!r}")
    elif cell.data_type != "s" or cell.value != expected:
        problem(where, f"expected text {expected!r}, found {cell.data_type} {cell.value!r}")


def colour(c):
    return c.rgb if c is not None and isinstance(c.rgb, str) else None


def check_style(cell, row, col, n, duplicate):
    where = cell.coordinate
    font = cell.font
    bold = row == 1 or row in (n + 2, n + 3) or (duplicate and col == 0 and 2 <= row <= n + 1)
    if bool(font.b) != bold:
        problem(where, f"bold {font.b}, expected {bold}")
    if row <= n + 3 and font.sz != 8:
        problem(where, f"font size {font.sz}, expected 8")
    red = duplicate and 2 <= row <= n + 1
    if (colour(font.color) == RED) != red:
        problem(where, f"font colour {colour(font.color)}, red expected: {red}")
    filled = row == 1
    if filled:
        if cell.fill.fill_type != "solid" or colour(cell.fill.fgColor) != FILL:
            problem(where, f"fill {cell.fill.fill_type} {colour(cell.fill.fgColor)}, expected solid {FILL}")
    elif cell.fill.fill_type not in (None, "none"):
        problem(where, f"unexpected fill {cell.fill.fill_type}")
    gridded = row <= n + 1
    for side in ("left", "right", "top", "bottom"):
        edge = getattr(cell.border, side)
        if gridded and (edge.style != "thin" or colour(edge.color) != BLACK):
            problem(where, f"{side} border {edge.style} {colour(edge.color)}, expected thin black")
        if not gridded and edge.style is not None:
            problem(where, f"{side} border {edge.style}, expected none")
    if col == 0 or row > 500:
        align = None
    elif row == 1 or col <= 4:
        align = "center"
    else:
        align = "right"
    if cell.alignment.horizontal != align:
        problem(where, f"alignment {cell.alignment.horizontal}, expected {align}")


def main():
    book = openpyxl.load_workbook(sys.argv[1])
    with open(sys.argv[2], encoding="utf-8", errors="surrogateescape") as f:
        data = json.load(f)
    entries, totals = data["entries"], data["totals"]
    n = len(entries)

    if book.sheetnames != ["VELM"]:
        problem("workbook", f"sheets {book.sheetnames}, expected ['VELM']")
    sheet = book["VELM"]

    for col, heading in enumerate(HEADINGS):
        check_value(sheet.cell(1, col + 1), heading, True)
    for r, e in enumerate(entries):
        row = r + 2
        check_value(sheet.cell(row, 1), file_name(e["path"]), True)
        for col, key in enumerate(["no", "switch", "start", "end", "records", "size"]):
            check_value(sheet.cell(row, col + 2), e[key], False)
    for col in range(7):
        check_value(sheet.cell(n + 2, col + 1), "", True)
    totals_row = ["TOTAL", totals["files"], "", "", "", totals["records"], totals["size"]]
    for col, value in enumerate(totals_row):
        check_value(sheet.cell(n + 3, col + 1), value, True)

    for row in range(1, max(n + 3, 500) + 2):
        duplicate = 2 <= row <= n + 1 and entries[row - 2]["duplicate"]
        for col in range(7):
            check_style(sheet.cell(row, col + 1), row, col, n, duplicate)

    for row in (n + 2, n + 3):
        dim = sheet.row_dimensions[row]
        if not (dim.s and dim.font and dim.font.b):
            problem(f"row {row}", "the row's own format is not bold")
    for col, width in enumerate(WIDTHS):
        got = sheet.column_dimensions[COLUMNS[col]].width
        # The file stores the width with the cell padding added (20 -> 20.71).
        if got is None or not width <= got < width + 1:
            problem(f"column {COLUMNS[col]}", f"width {got}, expected {width}")
    if sheet.max_column != 7:
        problem("sheet", f"{sheet.max_column} columns used, expected 7")

    for p in problems[:50]:
        print(p)
    if len(problems) > 50:
        print(f"... {len(problems) - 50} more")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
