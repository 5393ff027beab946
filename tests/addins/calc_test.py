"""The Tabulo menu and the link flow in a headless Calc: a real .xls goes to
the handheld as tabulo-addin sends the same cells, comes back edited after
HotSyncs, and a linked workbook is exported when it is saved."""
import json
import os
import unittest

import lo_testing as lo
from lo_testing import read

SCRIPT = """
# Export to Handheld: to Ann
dialog 132
select 1005 0
click 1
# Import from Handheld: Ann's book
dialog 133
select 1005 0
expect 1002 items Budget
click 1
# Change Size: 200 %, fonts and cells
dialog 153
click 1034
type 1020 200
click 1
"""
KR = "[$kr-41D]"
RED, YELLOW = 0xFF0000, 0xFFFF00  # Calc's 0xRRGGBB
# The cells of the workbook, as tabulo-addin's JSON describes them.
SHEET = {
    "name": "Jan", "fontSize": 10, "defaultFontSize": 10,
    "rows": [{"row": 1, "height": 21}],
    "columns": [{"column": 1, "width": 40}],
    "cells": [
        {"row": 1, "column": 1, "text": "Item", "textColor": "#FF0000"},
        {"row": 1, "column": 2, "text": "Amount"},
        {"row": 2, "column": 1, "text": "Rent"},
        {"row": 2, "column": 2, "text": "500", "value": 500, "formatFlags": "0x40", "currency": KR},
        {"row": 3, "column": 1, "text": "Food"},
        {"row": 3, "column": 2, "text": "230.5", "value": 230.5, "backgroundColor": "#FFFF00", "fontSize": 14},
        {"row": 4, "column": 2, "text": "=SUM(B2:B3)", "value": 730.5},
    ],
    "charts": [{"column": 4, "item": "Costs", "series": ["=SERIES($B$1,$A$2:$A$3,$B$2:$B$3,1)"]}],
}


def make_workbook(office, path):
    """The sheet above in Calc, saved as a real .xls."""
    from com.sun.star.awt import Rectangle
    from com.sun.star.table import CellRangeAddress
    doc = office.new("scalc")
    sheet = doc.Sheets.getByIndex(0)
    sheet.Name = "Jan"
    cell = sheet.getCellByPosition
    for c in SHEET["cells"]:
        target = cell(c["column"] - 1, c["row"] - 1)
        if c["text"].startswith("="):
            target.setFormula(c["text"])
        elif "value" in c:
            target.setValue(c["value"])
        else:
            target.setString(c["text"])
    cell(0, 0).CharColor = RED
    cell(1, 2).CellBackColor = YELLOW
    cell(1, 2).CharHeight = 14
    formats = doc.NumberFormats
    cell(1, 1).NumberFormat = formats.addNew(KR + " #,##0.00", lo.uno.createUnoStruct("com.sun.star.lang.Locale"))
    sheet.Columns.getByIndex(0).Width = 3000
    sheet.Rows.getByIndex(0).Height = 800
    area = CellRangeAddress(0, 0, 0, 1, 2)
    sheet.Charts.addNewByName("Costs", Rectangle(sheet.Columns.getByIndex(3).Position.X, 0, 8000, 6000),
                              (area,), True, True)
    chart = sheet.Charts.getByName("Costs").EmbeddedObject
    chart.HasMainTitle = True
    chart.Title.String = "Costs"
    doc.storeToURL(lo.uno.systemPathToFileUrl(path), lo.properties(FilterName="MS Excel 97"))
    doc.close(True)


class CalcAddin(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.box = lo.Sandbox()
        cls.office = lo.Office(cls.box, SCRIPT)
        cls.workbook = cls.box.path("Documents", "Budget.xls")
        make_workbook(cls.office, cls.workbook)

    @classmethod
    def tearDownClass(cls):
        status = cls.office.quit()
        log = cls.office.log()
        if status == 0 and "FAIL" not in log:
            cls.box.remove()
        assert status == 0, "LibreOffice ended with %d" % status
        assert "FAIL" not in log, log

    def test_1_export_sends_what_tabulo_addin_sends_for_the_same_cells(self):
        doc = self.office.open(self.workbook)
        url = doc.getURL()
        self.assertEqual(self.office.call("tabulo_export", url), "exported 1 sheets")
        doc.close(True)
        database = self.box.install("Ann", "Budget-Jan.pdb")
        from_calc = read(database)
        os.remove(database)
        source = self.box.path("budget.json")
        with open(source, "w") as f:
            json.dump({"sheets": [SHEET]}, f)
        script = self.box.path("standin.script")
        with open(script, "w") as f:
            f.write("dialog 132\nselect 1005 0\nclick 1\n")
        env = dict(self.box.env, BRIGHTFOLD_UI="scripted", BRIGHTFOLD_UI_SCRIPT=script)
        lo.run([lo.program("tabulo-addin"), "export-dialog", self.workbook, "--from", source], env)
        self.assertEqual(from_calc, read(database))

    def test_2_a_book_edited_on_the_handheld_comes_back_into_calc(self):
        self.box.hotsync("sync", "--user", "Ann")
        self.box.hotsync("set-cell", "--user", "Ann", "--database", "Budget-Jan", "--row", "3", "--column", "1",
                         "--text", "Travel")
        self.box.hotsync("sync", "--user", "Ann")
        before = set(d.getURL() for d in self.office.documents())
        self.assertEqual(self.office.call("tabulo_import", ""), "imported 1 sheets")
        new = [d for d in self.office.documents() if d.getURL() not in before and not d.getURL()]
        self.assertEqual(len(new), 1)
        back = self.box.path("Documents", "Back.xls")
        new[0].storeToURL(lo.uno.systemPathToFileUrl(back), lo.properties(FilterName="MS Excel 97"))
        new[0].close(True)
        doc = self.office.open(back)
        sheet = doc.Sheets.getByIndex(0)
        cell = sheet.getCellByPosition
        self.assertEqual(sheet.Name, "Jan")
        self.assertEqual([cell(0, r).getString() for r in range(4)], ["Item", "Rent", "Travel", ""])
        self.assertEqual([cell(1, r).getValue() for r in range(1, 4)], [500, 230.5, 730.5])
        self.assertEqual(cell(1, 3).getFormula(), "=SUM(B2:B3)")
        self.assertEqual((cell(0, 0).CharColor, cell(1, 2).CellBackColor), (RED, YELLOW))
        self.assertIn("[$kr-41D]", doc.NumberFormats.getByKey(cell(1, 1).NumberFormat).FormatString)
        self.assertEqual(len(sheet.Charts.ElementNames), 1)
        doc.close(True)

    def test_3_saving_a_linked_workbook_exports_it(self):
        self.box.tabulo("link", self.workbook, "--user", "1", "--rule", "synchronize")
        doc = self.office.open(self.workbook)
        doc.Sheets.getByIndex(0).getCellByPosition(0, 4).setString("Saved")
        doc.store()
        doc.close(True)
        self.box.hotsync("sync", "--user", "Bo")
        shown = self.box.hotsync("show", "--user", "Bo", "--database", "Budget-Jan")
        self.assertIn("(5,1)\tSaved", shown)

    def test_4_opening_a_linked_workbook_loads_the_newer_handheld_book(self):
        self.box.hotsync("sync", "--user", "Bo")
        self.box.hotsync("set-cell", "--user", "Bo", "--database", "Budget-Jan", "--row", "6", "--column", "1",
                         "--text", "Taxi")
        self.box.hotsync("sync", "--user", "Bo")
        doc = self.office.open(self.workbook)  # hidden: the event leaves it alone
        cell = doc.Sheets.getByIndex(0).getCellByPosition
        self.assertEqual(cell(0, 5).getString(), "")
        self.assertEqual(self.office.call("tabulo_on_load", doc.getURL(), "yes"), "loaded 1 sheets from the handheld")
        self.assertEqual([cell(0, r).getString() for r in (2, 4, 5)], ["Food", "Saved", "Taxi"])
        self.assertEqual(self.office.call("tabulo_on_load", doc.getURL(), "yes"), "nothing to import")
        doc.close(True)

    def test_5_change_size_then_the_sync_manager_and_closing_export_the_waiting_workbooks(self):
        doc = self.office.open(self.workbook)
        url = doc.getURL()
        doc.getCurrentController().select(doc.Sheets.getByIndex(0).getCellRangeByName("A1:B2"))
        width = doc.Sheets.getByIndex(0).Columns.getByIndex(0).Width
        self.assertEqual(self.office.call("tabulo_size", url), "sizes changed to 200%")
        self.assertEqual(doc.Sheets.getByIndex(0).getCellByPosition(1, 1).CharHeight, 20)
        self.assertAlmostEqual(doc.Sheets.getByIndex(0).Columns.getByIndex(0).Width, 2 * width, delta=2)
        self.assertEqual(self.office.call("tabulo_size", url), "Change Size cancelled")
        # Opening and closing the Sync Manager lists Bo's linked workbook for export.
        self.assertFalse(os.path.exists(self.box.install("Bo", "Budget-Jan.pdb")))
        self.assertEqual(self.office.call("tabulo_manager", url), "Sync Manager closed; 1 waiting workbooks exported")
        self.assertTrue(os.path.exists(self.box.install("Bo", "Budget-Jan.pdb")))
        # Still open (the export used it); as it closes, it is exported again.
        os.remove(self.box.install("Bo", "Budget-Jan.pdb"))
        doc.close(True)
        self.assertTrue(os.path.exists(self.box.install("Bo", "Budget-Jan.pdb")))
        self.assertIn("dialog 153", self.office.log())


if __name__ == "__main__":
    lo.main(CalcAddin)
