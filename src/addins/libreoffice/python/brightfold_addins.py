"""The Tabulo (Calc) and Quillo (Writer) menus and the link flow of linked
workbooks. Every entry takes an optional document URL (the tests pass one:
a macro started from outside gets no document from its context) and returns
a one-line report, which the menus also show in a message box."""
import os

import uno

import bf_calc
import bf_records as rec
import bf_writer

CALC_FILTER = "MS Excel 97"


def _desktop():
    ctx = uno.getComponentContext()
    return ctx.ServiceManager.createInstanceWithContext("com.sun.star.frame.Desktop", ctx)


def _open_document(desktop, url):
    components = desktop.Components.createEnumeration()
    while components.hasMoreElements():
        doc = components.nextElement()
        if hasattr(doc, "getURL") and doc.getURL() == url:
            return doc
    return None


def _document(args):
    """The document named by the first argument's URL, else the macro's, else
    the desktop's current one."""
    url = args[0] if args and isinstance(args[0], str) else ""
    desktop = _desktop()
    if url and _open_document(desktop, url) is not None:
        return _open_document(desktop, url)
    if args and hasattr(args[0], "Source") and hasattr(args[0].Source, "getURL"):
        return args[0].Source  # a document event
    try:
        doc = XSCRIPTCONTEXT.getDocument()  # noqa: F821 (set by the script provider)
        if doc is not None:
            return doc
    except Exception:
        pass
    return desktop.getCurrentComponent()


def _path(doc):
    url = doc.getURL() if doc is not None else ""
    return uno.fileUrlToSystemPath(url) if url.startswith("file:") else ""


def _is_calc(doc):
    return doc is not None and doc.supportsService("com.sun.star.sheet.SpreadsheetDocument")


def _visible(doc):
    try:
        return doc.getCurrentController().getFrame().getContainerWindow().isVisible()
    except Exception:
        return False


def _tell(doc, text, question=False):
    """Shows text in a box on the document's window; with question, True for Yes.
    A document without a visible window (headless, hidden) shows nothing and
    takes the safe answer, No."""
    if not _visible(doc):
        return False
    from com.sun.star.awt.MessageBoxButtons import BUTTONS_OK, BUTTONS_YES_NO, DEFAULT_BUTTON_NO
    from com.sun.star.awt.MessageBoxResults import YES
    from com.sun.star.awt.MessageBoxType import INFOBOX, QUERYBOX
    window = doc.getCurrentController().getFrame().getContainerWindow()
    buttons = BUTTONS_YES_NO | DEFAULT_BUTTON_NO if question else BUTTONS_OK
    box = window.getToolkit().createMessageBox(window, QUERYBOX if question else INFOBOX, buttons, "Tabulo", text)
    return box.execute() == YES


def _new_document(kind, doc):
    """A new document; hidden when the host shows no window (headless)."""
    hidden = uno.createUnoStruct("com.sun.star.beans.PropertyValue")
    hidden.Name, hidden.Value = "Hidden", not _visible(doc)
    return _desktop().loadComponentFromURL("private:factory/" + kind, "_blank", 0, (hidden,))


def _guarded(name, event=False):
    """Runs a menu entry or an event handler; a failure becomes its report and
    never reaches the host. Menus show their report, events only a failure."""
    def wrap(function):
        def entry(*args):
            doc, failed = None, True
            try:
                doc = _document(args)
                report = function(doc, *args[1:]) if args and isinstance(args[0], str) else function(doc)
                failed = False
            except rec.LibraryError as e:
                report = "%s failed: %s" % (name, e)
            except Exception as e:  # a host must survive whatever the add-in meets
                report = "%s failed: %s: %s" % (name, type(e).__name__, e)
            if not (args and isinstance(args[0], str)) and (failed or not event):
                _tell(doc, report)
            return report
        entry.__name__ = function.__name__
        return entry
    return wrap


def _gridlink():
    return rec.gridlink()


def _textlink():
    return rec.textlink()


# ---- Tabulo ----------------------------------------------------------------------

@_guarded("Sync Manager")
def tabulo_manager(doc):
    lib = _gridlink()
    lib.check("ShowTBManDialog", lib.ShowTBManDialog())
    return "Sync Manager closed; " + _export_waiting(doc)


@_guarded("Export to handheld")
def tabulo_export(doc):
    if not _is_calc(doc):
        return "Export to handheld needs a spreadsheet"
    lib = _gridlink()
    if not bf_calc.export_dialog(lib, _path(doc) or doc.Title):
        return "Export cancelled"
    return "exported %d sheets" % bf_calc.export_sheets(lib, bf_calc.read_book(doc))


@_guarded("Import from handheld")
def tabulo_import(doc):
    lib = _gridlink()
    sheets = bf_calc.import_dialog(lib)
    if sheets is None:
        return "Import cancelled"
    new = _new_document("scalc", doc)
    bf_calc.write_book(new, sheets)
    return "imported %d sheets" % len(sheets)


@_guarded("Change Size")
def tabulo_size(doc):
    selection = doc.getCurrentSelection()
    address = selection.getRangeAddress()
    record = rec.SheetRecord()
    record.formatFlags = address.StartRow + 1
    record.defaultSize8 = address.StartColumn + 1
    record.defaultSize12 = address.EndRow - address.StartRow + 1
    record.setting16 = address.EndColumn - address.StartColumn + 1
    lib = _gridlink()
    import ctypes
    if lib.check("GetSize", lib.GetSize(ctypes.byref(record))) != 1:  # 2: Cancel
        return "Change Size cancelled"
    percentage = record.setting20 & 0xFFFF
    font_box = (record.setting20 >> 16) & 0xFFFF
    cell_box = record.setting24 & 0xFFFF
    if not 10 <= percentage <= 500:
        return "Change Size: no percentage"
    factor = percentage / 100.0
    if font_box == 1:
        sheet = doc.Sheets.getByIndex(address.Sheet)
        for r in range(address.StartRow, address.EndRow + 1):
            for c in range(address.StartColumn, address.EndColumn + 1):
                cell = sheet.getCellByPosition(c, r)
                cell.CharHeight = max(1.0, cell.CharHeight * factor)
    if cell_box == 1:
        columns, rows = selection.Columns, selection.Rows
        for i in range(columns.Count):
            columns.getByIndex(i).Width = int(columns.getByIndex(i).Width * factor)
        for i in range(rows.Count):
            rows.getByIndex(i).Height = int(rows.getByIndex(i).Height * factor)
    return "sizes changed to %d%%" % percentage


# ---- the link flow ------------------------------------------------------------------

def _linked_export(lib, doc):
    path = _path(doc)
    if not path.lower().endswith(".xls") or bf_calc.verify_export(lib, path) is None:
        return 0
    return bf_calc.export_sheets(lib, bf_calc.read_book(doc))


def _waiting_paths(lib):
    """VerifyAllFileExport: the linked workbooks that wait for an export."""
    import ctypes
    record = rec.TextRecord()
    try:
        lib.check("VerifyAllFileExport", lib.VerifyAllFileExport(ctypes.byref(record)))
        return [rec.decode(p) for p in lib.bytes(record.text).split(b"\0")[:max(record.number, 0)]]
    finally:
        lib.release(record, "text")


def _export_in_place(lib, book, path):
    try:
        if bf_calc.verify_export(lib, path) >= 0:
            bf_calc.export_sheets(lib, bf_calc.read_book(book))
            return 1
    except rec.LibraryError as e:
        if e.status != rec.BF_ERR_PARAMETER:  # -1: not linked for export any more
            raise
    return 0


def _export_waiting(doc):
    """Every waiting workbook exported as its save would: an open one as it
    is, any other loaded hidden and closed again."""
    lib = _gridlink()
    done = 0
    desktop = _desktop()
    _exporting.append(True)
    try:
        for path in _waiting_paths(lib):
            done += _export_waiting_one(lib, desktop, path)
    finally:
        _exporting.pop()
    return "%d waiting workbooks exported" % done


def _export_waiting_one(lib, desktop, path):
    if not os.path.isfile(path) or not path.lower().endswith(".xls"):
        return 0
    url = uno.systemPathToFileUrl(path)
    book = _open_document(desktop, url)
    if book is not None:
        return _export_in_place(lib, book, path)
    hidden = uno.createUnoStruct("com.sun.star.beans.PropertyValue")
    hidden.Name, hidden.Value = "Hidden", True
    book = desktop.loadComponentFromURL(url, "_blank", 0, (hidden,))
    try:
        return _export_in_place(lib, book, path)
    finally:
        book.close(True)


@_guarded("Opening a linked workbook", event=True)
def tabulo_on_load(doc, answer=None):
    """VerifyImport: when the handheld holds a newer book, asks and loads it
    over the document's sheets. answer ("yes"/"no") stands in for the question."""
    if not _is_calc(doc):
        return "not a spreadsheet"
    path = _path(doc)
    if not path.lower().endswith(".xls"):
        return "not a workbook"
    if answer is None and not _visible(doc):
        # Loaded by a program (hidden), not opened by a person: nobody to ask,
        # and VerifyImport would mark the handheld's book as seen. (LibreOffice
        # sends OnLoad only when a document's window shows.)
        return "hidden workbook left alone"
    lib = _gridlink()
    sheets = bf_calc.verify_import(lib, path)
    if sheets is None:
        return "nothing to import"
    agreed = answer == "yes" if answer else _tell(
        doc, "The handheld holds a newer %s. Load it?" % os.path.basename(path), question=True)
    if not agreed:
        return "newer handheld book not loaded"
    all_sheets = doc.Sheets
    for name in all_sheets.ElementNames[1:]:
        all_sheets.removeByName(name)
    first = all_sheets.getByIndex(0)
    first.clearContents(1023)
    charts = first.Charts
    for name in charts.ElementNames:
        charts.removeByName(name)
    bf_calc.write_book(doc, sheets)
    return "loaded %d sheets from the handheld" % len(sheets)


@_guarded("Saving a linked workbook", event=True)
def tabulo_on_save(doc):
    if not _is_calc(doc):
        return "not a spreadsheet"
    try:
        sent = _linked_export(_gridlink(), doc)
    except rec.LibraryError as e:
        if e.status == rec.BF_ERR_PARAMETER:
            return "not linked for export"
        raise
    return "exported %d sheets" % sent


_exporting = []  # set while the waiting workbooks are exported


def _watch_closing(doc):
    """A close listener on a .xls: whatever closes it (a window, a program),
    tabulo_on_close runs while the document is still whole."""
    import unohelper
    from com.sun.star.util import XCloseListener

    class Watcher(unohelper.Base, XCloseListener):
        def queryClosing(self, event, owner):
            if not _exporting:
                tabulo_on_close(event)

        def notifyClosing(self, event):
            pass

        def disposing(self, event):
            pass

    doc.addCloseListener(Watcher())


@_guarded("Loading a workbook", event=True)
def tabulo_on_loaded(doc):
    """OnLoadFinished, sent for every loaded document, hidden ones too: a .xls
    gets its close listener."""
    if not _is_calc(doc) or not _path(doc).lower().endswith(".xls"):
        return "not a workbook"
    _watch_closing(doc)
    return "closing watched"


@_guarded("Closing a workbook", event=True)
def tabulo_on_close(doc):
    """A workbook that VerifyAllFileExport lists is exported as it closes.
    Other listed workbooks wait for their own closing or the Sync Manager:
    nothing is loaded while a document closes."""
    if not _is_calc(doc):
        return "not a spreadsheet"
    path = _path(doc)
    lib = _gridlink()
    if not path or path.lower() not in [p.lower() for p in _waiting_paths(lib)]:
        return "not waiting for an export"
    return "exported on closing" if _export_in_place(lib, doc, path) else "not linked for export"


# ---- Quillo ----------------------------------------------------------------------

@_guarded("Export to Quillo")
def quillo_export(doc):
    database = bf_writer.export_document(_textlink(), doc)
    return "Export cancelled" if database is None else "exported to " + database


@_guarded("Import from Quillo")
def quillo_import(doc):
    text = bf_writer.import_text(_textlink())
    if text is None:
        return "Import cancelled"
    new = _new_document("swriter", doc)
    bf_writer.fill_document(new, text)
    return "imported %d characters" % len(text)


@_guarded("About")
def quillo_about(doc):
    _textlink().AboutDialog()
    return "About closed"


g_exportedScripts = (tabulo_manager, tabulo_export, tabulo_import, tabulo_size, tabulo_on_load, tabulo_on_loaded,
                     tabulo_on_save, tabulo_on_close, quillo_export, quillo_import, quillo_about)
