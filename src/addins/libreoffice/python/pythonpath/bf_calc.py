"""Calc and libgridlink: the export walk over a spreadsheet document, the
import walk into a new one, and the add-in's menu and link flows.

A sheet travels as a plain dict with the fields of tabulo-addin's JSON
workbook (docs/tabulo-addin.md), so both hosts hand the library the same
calls for the same cells: SetSheetName; the sheet defaults (0, 0); every
row (column 0); every column (row 0); every cell; every chart (row
0xFFFE); the closing call (column 0x7FFF)."""
import ctypes
import re

import bf_records as rec

CLOSING_COLUMN = 0x7FFF
CHART_DEFINITION_ROW = 0xFFFE
CHART_ITEM_ROW = 0xFFFF
IMPORT_DEFAULT_COLUMN_WIDTH = 30
PASSWORD_ATTEMPTS = 3
MAX_ROW, MAX_COLUMN = 9999, 256
CURRENCY_FLAG = 0x40
BLACK, WHITE = 0x000000, 0xFFFFFF  # COLORREF
# Sizes: the handheld's units. Calc's default column (2258) and row (452),
# in 1/100 mm, map to the template's 30 and 12.
WIDTH_UNIT = 2258 / 30.0
HEIGHT_UNIT = 452 / 12.0
CURRENCY_TYPE = 8  # com.sun.star.util.NumberFormat.CURRENCY
MAX_FONT_SIZE = 409  # points, Calc's largest


def colorref(rgb):
    """Calc's 0xRRGGBB (negative: automatic) to a COLORREF, red in the low byte."""
    return None if rgb is None or rgb < 0 else ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF)


def rgb_of(color):
    return ((color & 0xFF) << 16) | (color & 0xFF00) | ((color >> 16) & 0xFF)


def to_units(hundredths, unit):
    return max(0, min(0x7FFF, int(round(hundredths / unit))))


def number_text(value):
    return "%.15g" % value


def _separators(formula, old, new):
    """Replaces argument separators outside quotes."""
    out, quote = [], None
    for ch in formula:
        if quote:
            quote = None if ch == quote else quote
        elif ch in "\"'":
            quote = ch
        elif ch == old:
            ch = new
        out.append(ch)
    return "".join(out)


# ---- reading a Calc document ------------------------------------------------

def currency_text(doc, key):
    """The cell's currency in the spreadsheet form "[$kr-41D]", or ""."""
    try:
        fmt = doc.NumberFormats.getByKey(key)
    except Exception:
        return ""
    if not (fmt.Type & CURRENCY_TYPE):
        return ""
    m = re.search(r"\[\$[^\]]*\]", fmt.FormatString)
    if m:
        return m.group(0)
    return "[$%s]" % fmt.CurrencySymbol if fmt.CurrencySymbol else "$"


def _default_font_size(doc):
    try:
        return int(round(doc.StyleFamilies.getByName("CellStyles").getByName("Default").CharHeight))
    except Exception:
        return 10


def read_sheet(doc, sheet):
    default_size = _default_font_size(doc)
    data = {"name": sheet.Name, "formatFlags": 0, "defaultColumnWidth": 30, "defaultRowHeight": 12,
            "settings": [1, 1, 0, 0, 0, 0], "options": 0, "fontSize": default_size,
            "defaultFontSize": default_size, "rows": [], "columns": [], "cells": [], "charts": []}
    cursor = sheet.createCursor()
    cursor.gotoEndOfUsedArea(False)
    last_row = min(cursor.RangeAddress.EndRow + 1, MAX_ROW)
    last_column = min(cursor.RangeAddress.EndColumn + 1, MAX_COLUMN)
    default_width = to_units(2258, WIDTH_UNIT)
    for c in range(last_column):
        width = to_units(sheet.Columns.getByIndex(c).Width, WIDTH_UNIT)
        if width != default_width:
            data["columns"].append({"column": c + 1, "width": width})
    for r in range(last_row):
        row = sheet.Rows.getByIndex(r)
        if not row.OptimalHeight:
            data["rows"].append({"row": r + 1, "height": to_units(row.Height, HEIGHT_UNIT)})
    for r in range(last_row):
        for c in range(last_column):
            cell = sheet.getCellByPosition(c, r)
            kind = cell.Type.value
            if kind == "EMPTY":
                continue
            entry = {"row": r + 1, "column": c + 1, "value": 0.0, "formatFlags": 0}
            if kind == "FORMULA":
                entry["text"] = _separators(cell.getFormula(), ";", ",")
                entry["value"] = cell.getValue()
            elif kind == "VALUE":
                entry["value"] = cell.getValue()
                entry["text"] = number_text(entry["value"])
            else:
                entry["text"] = cell.getString()
            currency = currency_text(doc, cell.NumberFormat)
            if currency:
                entry["formatFlags"] = CURRENCY_FLAG
                entry["currency"] = currency
            entry["textColor"] = colorref(cell.CharColor) if cell.CharColor >= 0 else BLACK
            back = colorref(cell.CellBackColor)
            entry["backgroundColor"] = WHITE if back is None else back
            size = int(round(cell.CharHeight))
            entry["fontSize"] = size if size != default_size else 0
            data["cells"].append(entry)
    data["charts"] = read_charts(sheet)
    return data


def _short_range(representation, sheet_name):
    """"$Sheet1.$A$2:$A$4" to "$A$2:$A$4" on its own sheet, else "'Other'!$A$2:$A$4"."""
    if not representation:
        return ""
    parts = []
    for part in representation.split(":"):
        name, _, ref = part.rpartition(".")
        parts.append((name.strip("$'"), ref))
    text = ":".join(ref for _, ref in parts)
    name = parts[0][0]
    return text if not name or name == sheet_name else "'%s'!%s" % (name, text)


def read_charts(sheet):
    charts = []
    shapes = {}
    page = sheet.DrawPage
    for i in range(page.Count):
        shape = page.getByIndex(i)
        if shape.supportsService("com.sun.star.drawing.OLE2Shape"):
            shapes[shape.PersistName] = shape
    for name in sheet.Charts.ElementNames:
        chart = sheet.Charts.getByName(name)
        model = chart.EmbeddedObject
        diagram = model.getFirstDiagram()
        item = name
        if model.HasMainTitle:
            item = model.Title.String or name
        categories = ""
        series = []
        for system in diagram.CoordinateSystems:
            try:
                scale = system.getAxisByDimension(0, 0).getScaleData()
                if scale.Categories:
                    categories = _short_range(scale.Categories.Values.SourceRangeRepresentation, sheet.Name)
            except Exception:
                pass
            for chart_type in system.ChartTypes:
                for one in chart_type.DataSeries:
                    for seq in one.DataSequences:
                        if seq.Values.Role != "values-y":
                            continue
                        label = seq.Label.SourceRangeRepresentation if seq.Label else ""
                        series.append((_short_range(label, sheet.Name),
                                       _short_range(seq.Values.SourceRangeRepresentation, sheet.Name)))
        formulas = ["=SERIES(%s,%s,%s,%d)" % (n, categories, v, i + 1) for i, (n, v) in enumerate(series)]
        column = 1
        shape = shapes.get(name)
        if shape is not None:
            anchor = shape.Anchor
            if hasattr(anchor, "CellAddress"):
                column = anchor.CellAddress.Column + 1
            else:  # anchored to the page: the column under its left edge
                columns = sheet.Columns
                while column < MAX_COLUMN and columns.getByIndex(column).Position.X <= shape.Position.X:
                    column += 1
        charts.append({"column": column, "item": item, "series": formulas})
    return charts


def read_book(doc):
    sheets = doc.Sheets
    return [read_sheet(doc, sheets.getByIndex(i)) for i in range(sheets.Count)]


# ---- the export walk ----------------------------------------------------------

def _currency_for_export(text):
    return text[2:-1] if text.startswith("[$") and text.endswith("]") else text


def _send(lib, record, text, currency, what):
    record.text = lib.alloc(text) if text else None
    record.currencyText = lib.alloc(_currency_for_export(currency)) if currency else None
    try:
        return lib.check("SetCellInfo (%s)" % what, lib.SetCellInfo(ctypes.byref(record)))
    finally:
        lib.release(record, "text", "currencyText")


def _cell(**fields):
    record = rec.CellRecord()
    record.textColor, record.backColor = BLACK, WHITE
    for k, v in fields.items():
        setattr(record, k, v)
    return record


def export_sheet(lib, sheet, number):
    s = rec.SheetRecord()
    s.sheetNumber = number
    s.formatFlags = sheet["formatFlags"]
    s.defaultSize8, s.defaultSize12 = sheet["defaultColumnWidth"], sheet["defaultRowHeight"]
    (s.setting16, s.setting20, s.setting24, s.setting28, s.setting32, s.setting36) = sheet["settings"]
    s.options = sheet["options"]
    s.sheetName = lib.alloc(sheet["name"]) if sheet["name"] else None
    s.fontSize, s.defaultFontSize = sheet["fontSize"], sheet["defaultFontSize"]
    try:
        lib.check("SetSheetName (%s)" % sheet["name"], lib.SetSheetName(ctypes.byref(s)))
    finally:
        lib.release(s, "sheetName")
    _send(lib, _cell(width=sheet["defaultColumnWidth"], height=sheet["defaultRowHeight"]), b"", "",
          "sheet defaults")
    for row in sheet["rows"]:
        _send(lib, _cell(row=row["row"], height=row["height"]), b"", "", "row %d" % row["row"])
    for col in sheet["columns"]:
        _send(lib, _cell(column=col["column"], width=col["width"], formatFlags=col.get("formatFlags", 15),
                         textColor=col.get("textColor", BLACK), backColor=col.get("backgroundColor", WHITE),
                         fontSize=col.get("fontSize", 0)),
              b"", col.get("currency", ""), "column %d" % col["column"])
    for c in sheet["cells"]:
        _send(lib, _cell(row=c["row"], column=c["column"], formatFlags=c["formatFlags"],
                         textColor=c["textColor"], backColor=c["backgroundColor"], value=c["value"],
                         fontSize=c["fontSize"]),
              c["text"], c.get("currency", ""), "cell (%d, %d)" % (c["row"], c["column"]))
    for chart in sheet["charts"]:
        strings = b"\0".join(rec.encode(s) for s in [chart["item"]] + chart["series"])
        _send(lib, _cell(row=CHART_DEFINITION_ROW, column=chart["column"], width=len(sheet["charts"]),
                         height=1 + len(chart["series"])), strings, "", "chart in column %d" % chart["column"])
    _send(lib, _cell(column=CLOSING_COLUMN), b"", "", "closing call")


def export_sheets(lib, sheets):
    for number, sheet in enumerate(sheets, 1):
        export_sheet(lib, sheet, number)
    return len(sheets)


def verify_export(lib, path):
    """VerifyExport for the workbook: the user it chose (negative: all linked)."""
    s = rec.SheetRecord()
    s.sheetName = lib.alloc(path)
    try:
        return lib.check("VerifyExport", lib.VerifyExport(ctypes.byref(s)))
    finally:
        lib.release(s, "sheetName")


def export_dialog(lib, path):
    """The Export dialog; True after OK."""
    s = rec.SheetRecord()
    s.sheetName = lib.alloc(path)
    try:
        return lib.check("ExportWorkbook", lib.ExportWorkbook(ctypes.byref(s))) != 0
    finally:
        lib.release(s, "sheetName")


# ---- the import walk ----------------------------------------------------------

def _strings(data):
    return [rec.decode(s) for s in data.split(b"\0") if s] if data else []


def _open_sheet(lib, listing, s, ask_password):
    status = lib.GetSheetName(ctypes.byref(s), ctypes.byref(listing))
    if status != rec.BF_ERR_PASSWORD:
        return lib.check("GetSheetName", status)
    name = lib.text(s.sheetName)
    for _ in range(PASSWORD_ATTEMPTS):
        typed = ask_password(lib, name)
        if typed is None:
            break
        t = rec.TextRecord(0, 0, lib.alloc(typed))
        status = lib.CheckPasswd(ctypes.byref(t))
        lib.release(t, "text")
        if status >= 0:
            return 1
        if status != rec.BF_ERR_PASSWORD:
            lib.check("CheckPasswd", status)
    return lib.check("CheckPasswd (%s)" % name, rec.BF_ERR_PASSWORD)


def password_dialog(lib, sheet_name):
    """GetPassword: the typed password, or None when cancelled."""
    t = rec.TextRecord(0, 0, lib.alloc(sheet_name))
    try:
        status = lib.check("GetPassword", lib.GetPassword(ctypes.byref(t)))
        return lib.text(t.text) if status == 1 else None  # 2: Cancel
    finally:
        lib.release(t, "text")


def import_sheet(lib, listing, number, default_font_size, ask_password):
    s = rec.SheetRecord()
    s.sheetNumber = number
    s.defaultSize12 = IMPORT_DEFAULT_COLUMN_WIDTH
    s.defaultFontSize = default_font_size
    try:
        _open_sheet(lib, listing, s, ask_password)
        sheet = {"name": lib.text(s.sheetName), "formatFlags": s.formatFlags & 0xFFFFFFFF,
                 "defaultRowHeight": s.defaultSize8, "defaultColumnWidth": s.defaultSize12,
                 "currency": lib.text(s.currencyText), "fontSize": s.fontSize,
                 "rows": [], "columns": [], "cells": [], "charts": []}
    finally:
        lib.release(s, "sheetName", "currencyText")
    c = rec.CellRecord()
    definitions, items, rows_seen = [], {}, set()
    try:
        while True:
            c.chartByteA = c.chartByteB = 0
            c.width = c.height = 0
            status = lib.GetCellInfo(ctypes.byref(c))
            if status == rec.BF_EOF:
                break
            lib.check("GetCellInfo (sheet %s)" % sheet["name"], status)
            if c.row == 0:
                sheet["columns"].append({"column": c.column, "width": c.width})
            elif c.row == CHART_DEFINITION_ROW:
                definitions.append({"column": c.column, "series": _strings(lib.bytes(c.text))})
            elif c.row == CHART_ITEM_ROW:
                items[c.column] = lib.text(c.text)
            elif 1 <= c.row <= MAX_ROW and 1 <= c.column <= MAX_COLUMN:
                sheet["cells"].append({"row": c.row, "column": c.column, "text": lib.text(c.text),
                                       "value": c.value, "formatFlags": c.formatFlags & 0xFFFFFFFF,
                                       "textColor": c.textColor, "backgroundColor": c.backColor,
                                       "fontSize": c.fontSize, "currency": lib.text(c.currencyText)})
                if c.height != 255 and c.row not in rows_seen:
                    rows_seen.add(c.row)
                    sheet["rows"].append({"row": c.row, "height": c.height})
    finally:
        lib.release(c, "text", "currencyText")
    for i, chart in enumerate(definitions):
        chart["item"] = items.get(i + 1, "")
        sheet["charts"].append(chart)
    return sheet


def import_listed(lib, listing, default_font_size=10, ask_password=password_dialog):
    return [import_sheet(lib, listing, k, default_font_size, ask_password)
            for k in range(1, listing.number + 1)]


def _listed(lib, listing):
    names = lib.bytes(listing.text).split(b"\0")
    return len(names) > 1 and names[1] != b""


def verify_import(lib, path, default_font_size=10):
    """VerifyImport for the workbook: the sheets of the handheld's newer book,
    or None when nothing is due."""
    listing = rec.TextRecord(0, 0, lib.alloc(path))
    try:
        status = lib.VerifyImport(ctypes.byref(listing))
        if status < 0 or not _listed(lib, listing):
            return None
        return import_listed(lib, listing, default_font_size)
    finally:
        lib.release(listing, "text")


def import_dialog(lib, default_font_size=10):
    """The Import dialog, then the chosen book's sheets; None when cancelled."""
    listing = rec.TextRecord()
    try:
        status = lib.check("ImportWorkbook", lib.ImportWorkbook(ctypes.byref(listing)))
        if status <= 0:
            return None
        return import_listed(lib, listing, default_font_size)
    finally:
        lib.release(listing, "text")


# ---- writing sheets into a Calc document ----------------------------------------

_REF = re.compile(r"^(?:(?:'((?:[^']|'')*)'|([^!]*))!)?\$?([A-Za-z]{1,3})\$?(\d+)(?::\$?([A-Za-z]{1,3})\$?(\d+))?$")


def _column_number(letters):
    n = 0
    for ch in letters.upper():
        n = n * 26 + ord(ch) - 64
    return n


def parse_range(text):
    """"'Jan'!$B$2:$B$4" to (sheet or None, first column, first row, last column,
    last row), 0-based; None when it is no range."""
    m = _REF.match(text.strip()) if text else None
    if not m:
        return None
    sheet = m.group(1).replace("''", "'") if m.group(1) is not None else m.group(2)
    c1, r1 = _column_number(m.group(3)) - 1, int(m.group(4)) - 1
    c2, r2 = (_column_number(m.group(5)) - 1, int(m.group(6)) - 1) if m.group(5) else (c1, r1)
    return sheet, min(c1, c2), min(r1, r2), max(c1, c2), max(r1, r2)


def series_arguments(formula):
    inner = formula[formula.find("(") + 1:formula.rfind(")")]
    args, depth, quote, start = [], 0, None, 0
    for i, ch in enumerate(inner):
        if quote:
            quote = None if ch == quote else quote
        elif ch in "\"'":
            quote = ch
        elif ch == "(":
            depth += 1
        elif ch == ")":
            depth -= 1
        elif ch == "," and depth == 0:
            args.append(inner[start:i])
            start = i + 1
    args.append(inner[start:])
    return args


def _number_format(doc, currency):
    code = currency + " #,##0.00" if currency.startswith("[$") else "[$%s] #,##0.00" % currency
    formats = doc.NumberFormats
    from com.sun.star.lang import Locale
    locale = Locale()
    key = formats.queryKey(code, locale, False)
    if key < 0:
        key = formats.addNew(code, locale)
    return key


def write_sheet(doc, sheet, data):
    """One imported sheet into a sheet of doc. What comes from the handheld
    is untrusted: places are checked, and a name, a size or a currency Calc
    refuses leaves the default."""
    try:
        if data["name"]:
            sheet.Name = data["name"]
    except Exception:  # a name Calc refuses, or one another sheet has
        pass
    for col in data["columns"]:
        if 1 <= col["column"] <= MAX_COLUMN and 0 < col["width"] < 255:
            sheet.Columns.getByIndex(col["column"] - 1).Width = int(col["width"] * WIDTH_UNIT)
    for row in data["rows"]:
        if 1 <= row["row"] <= MAX_ROW and 0 < row["height"] < 255:
            sheet.Rows.getByIndex(row["row"] - 1).Height = int(row["height"] * HEIGHT_UNIT)
    for c in data["cells"]:
        if not (1 <= c["row"] <= MAX_ROW and 1 <= c["column"] <= MAX_COLUMN):
            continue
        cell = sheet.getCellByPosition(c["column"] - 1, c["row"] - 1)
        text = c["text"]
        if text.startswith("=") and len(text) > 1:
            cell.setFormula(_separators(text, ",", ";"))
        else:
            try:
                float(text)
                cell.setValue(c["value"] if c["value"] or float(text) == 0 else float(text))
            except ValueError:
                cell.setString(text)
        if c["textColor"] != BLACK:
            cell.CharColor = rgb_of(c["textColor"])
        if c["backgroundColor"] != WHITE:
            cell.CellBackColor = rgb_of(c["backgroundColor"])
        if 0 < c["fontSize"] <= MAX_FONT_SIZE:
            cell.CharHeight = c["fontSize"]
        if c["currency"]:
            try:
                cell.NumberFormat = _number_format(doc, c["currency"])
            except Exception:  # a text Calc cannot read as a format
                pass
    for n, chart in enumerate(data["charts"]):
        add_chart(sheet, chart, "Chart%d" % (n + 1))


def add_chart(sheet, chart, name):
    """A Calc chart over the ranges of the chart's series formulas."""
    from com.sun.star.awt import Rectangle
    from com.sun.star.table import CellRangeAddress
    boxes = []
    for formula in chart["series"]:
        for arg in series_arguments(formula)[:3]:
            box = parse_range(arg)
            if box:
                boxes.append(box)
    if not boxes:
        return
    first = series_arguments(chart["series"][0])[:2]
    address = CellRangeAddress()
    address.Sheet = sheet.RangeAddress.Sheet
    address.StartColumn = min(b[1] for b in boxes)
    address.StartRow = min(b[2] for b in boxes)
    address.EndColumn = max(b[3] for b in boxes)
    address.EndRow = max(b[4] for b in boxes)
    column = max(0, min(chart["column"], MAX_COLUMN) - 1)
    x = sheet.Columns.getByIndex(column).Position.X
    rect = Rectangle(x, 0, 10000, 7000)
    sheet.Charts.addNewByName(name, rect, (address,), bool(parse_range(first[0])),
                              len(first) > 1 and bool(parse_range(first[1])))
    if chart.get("item"):
        model = sheet.Charts.getByName(name).EmbeddedObject
        model.HasMainTitle = True
        model.Title.String = chart["item"]


def write_book(doc, sheets):
    """Fills a document that has one sheet with the imported sheets."""
    all_sheets = doc.Sheets
    for i, data in enumerate(sheets):
        if i >= all_sheets.Count:
            all_sheets.insertNewByName("Sheet%d" % (i + 1), i)
        write_sheet(doc, all_sheets.getByIndex(i), data)
