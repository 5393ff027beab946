"""The Quillo menu in a headless Writer: a document goes to the handheld as
quillo-addin sends the same text, and comes back into a new document."""
import os
import unittest

import lo_testing as lo
from lo_testing import read

SCRIPT = """
# Export to Quillo: to Ann
dialog 132
select 1005 0
click 1
# Import from Quillo: Ann's Notes
dialog 133
select 1005 0
expect 1002 items Notes.pdb
click 1
"""
LINES = ["Packing list", "Passport", "Tickets \u20ac 20"]


class WriterAddin(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.box = lo.Sandbox()
        cls.office = lo.Office(cls.box, SCRIPT)

    @classmethod
    def tearDownClass(cls):
        status = cls.office.quit()
        log = cls.office.log()
        if status == 0 and "FAIL" not in log:
            cls.box.remove()
        assert status == 0, "LibreOffice ended with %d" % status
        assert "FAIL" not in log, log

    def test_a_document_goes_to_the_handheld_and_back(self):
        doc = self.office.new("swriter")
        from com.sun.star.text.ControlCharacter import PARAGRAPH_BREAK
        cursor = doc.Text.createTextCursor()
        for n, line in enumerate(LINES):
            if n:
                doc.Text.insertControlCharacter(cursor, PARAGRAPH_BREAK, False)
            doc.Text.insertString(cursor, line, False)
        document = self.box.path("Documents", "Notes.odt")
        doc.storeAsURL(lo.uno.systemPathToFileUrl(document), lo.properties(FilterName="writer8"))
        database = self.box.install("Ann", "Notes.pdb")
        self.assertEqual(self.office.call("quillo_export", doc.getURL()), "exported to " + database)
        doc.close(True)
        from_writer = read(database)
        os.remove(database)

        text = self.box.path("Documents", "Notes.txt")
        with open(text, "wb") as f:
            f.write("".join(line + "\r\n" for line in LINES).encode("cp1252"))
        self.box.quillo("write", text, "--user", "0", "--to", self.box.install("Ann", "Notes.txt"),
                        "--piece", "8192")
        self.assertEqual(from_writer, read(database))

        self.box.hotsync("sync", "--user", "Ann")
        self.assertTrue(self.office.call("quillo_import", "").startswith("imported"))
        new = [d for d in self.office.documents() if not d.getURL() and d.supportsService(
            "com.sun.star.text.TextDocument")]
        self.assertEqual(len(new), 1)
        # Line ends come back from the handheld as LF; CR LF as " " and LF.
        self.assertEqual(new[0].Text.getString().split("\n"), [line + " " for line in LINES])


if __name__ == "__main__":
    lo.main(WriterAddin)
