#!/usr/bin/python3
"""Prints a workbook as text: each cell that holds a value or a format (blank rows formatted
like the row before are counted, not repeated), then the column widths. What a
spreadsheet program would show, in a form a test can compare.

usage: dump_workbook.py BOOK.xlsx"""
import sys

import openpyxl


def cell_text(c):
    f, border = c.font, c.border.left.style
    if c.value is None and not f.b and not border and not c.alignment.horizontal:
        return None
    return " ".join(str(x) for x in (c.column_letter, c.data_type, repr(c.value), "bold" if f.b else "-",
                                     f.color.rgb if f.color is not None and isinstance(f.color.rgb, str) else "-", f.sz,
                                     c.alignment.horizontal or "-", c.fill.fgColor.rgb if c.fill.fill_type else "-",
                                     border or "-"))


for sheet in openpyxl.load_workbook(sys.argv[1]):
    print("sheet", sheet.title, sheet.dimensions)
    previous, repeats = None, 0
    for row in sheet.iter_rows():
        cells = [t for t in map(cell_text, row) if t]
        blank = all(c.value is None for c in row)
        if blank and cells == previous:
            repeats += 1
            continue
        if repeats:
            print(f"  ... {repeats} more rows like it")
        previous, repeats = (cells if blank else None), 0
        for t in cells:
            print(row[0].row, t)
    if repeats:
        print(f"  ... {repeats} more rows like it")
    for letter, dim in sorted(sheet.column_dimensions.items()):
        print("width", letter, dim.width)
