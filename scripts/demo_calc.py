"""The Calc flow of scripts/demo-calc.sh, through tests/addins/lo_testing.py's
sandbox and headless LibreOffice."""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "tests", "addins"))
import lo_testing as lo  # noqa: E402


def say(text):
    print("\n== " + text, flush=True)


def ok(text):
    print("   ok: " + text, flush=True)


def fail(text):
    print("DEMO FAILED: " + text)
    sys.exit(1)


def cells(doc, count):
    sheet = doc.Sheets.getByIndex(0)
    return [[sheet.getCellByPosition(c, r).getString() for c in range(2)] for r in range(count)]


def main():
    say("sandbox: HotSync users Ann and Bo, a headless LibreOffice with the extension in a fresh profile")
    box = lo.Sandbox()
    office = lo.Office(box, "")
    path = box.path("Documents", "Trip.xls")
    try:
        say("a workbook Trip.xls made in Calc and linked for Ann (Synchronize)")
        doc = office.new("scalc")
        sheet = doc.Sheets.getByIndex(0)
        sheet.Name = "Costs"
        for r, (item, amount) in enumerate([("Item", None), ("Hotel", 420), ("Train", 89.5)]):
            sheet.getCellByPosition(0, r).setString(item)
            if amount is not None:
                sheet.getCellByPosition(1, r).setValue(amount)
        sheet.getCellByPosition(1, 0).setString("Amount")
        doc.storeToURL(lo.uno.systemPathToFileUrl(path), lo.properties(FilterName="MS Excel 97"))
        doc.close(True)
        print(box.tabulo("link", path, "--user", "0", "--rule", "synchronize"), end="")

        say("saving in Calc exports the workbook (VerifyExport, SetSheetName, SetCellInfo)")
        doc = office.open(path)
        doc.store()
        doc.close(True)
        if not os.path.exists(box.install("Ann", "Trip-Costs.pdb")):
            fail("Trip-Costs.pdb is not in Ann's Install folder")
        ok("Trip-Costs.pdb waits in Ann's Install folder")

        say("HotSync of Ann, an edit on her handheld, another HotSync")
        box.hotsync("sync", "--user", "Ann")
        box.hotsync("set-cell", "--user", "Ann", "--database", "Trip-Costs", "--row", "3", "--column", "1",
                    "--text", "Ferry")
        box.hotsync("sync", "--user", "Ann")
        ok("the edited book is in Ann's Backup folder")

        say("opening Trip.xls again: VerifyImport finds the newer handheld book, which is loaded")
        doc = office.open(path)
        print("   " + office.call("tabulo_on_load", doc.getURL(), "yes"))
        doc.store()
        doc.close(True)
        doc = office.open(path)
        table = cells(doc, 3)
        doc.close(True)
        for row in table:
            print("   | " + "\t".join(row))
        if table[2][0] != "Ferry":
            fail("the reopened workbook lacks the handheld's edit")
        ok("saved as .xls and reopened, the cells are the edited ones")
    finally:
        status = office.quit()
        box.remove()
    if status != 0:
        fail("LibreOffice ended with %d" % status)
    print("\nDEMO PASSED: a Calc workbook exported on saving, HotSynced, edited on the handheld, loaded on opening")


main()
