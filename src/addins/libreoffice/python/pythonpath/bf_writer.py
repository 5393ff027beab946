"""Writer and libtextlink: a document's text to a Palm Doc database and back."""
import ctypes
import os

import bf_records as rec

PIECE = 8192  # bytes handed to one WriteDoc, as the add-in does


def document_text(doc):
    """The document's text, paragraphs ended with CR LF (the desktop's line end)."""
    paragraphs = []
    enum = doc.Text.createEnumeration()
    while enum.hasMoreElements():
        part = enum.nextElement()
        if part.supportsService("com.sun.star.text.Paragraph"):
            paragraphs.append(part.getString())
    return "".join(p + "\r\n" for p in paragraphs)


def document_name(doc):
    """The file name the database is named after: the document's, with .txt."""
    url = doc.getURL()
    base = os.path.splitext(url.rsplit("/", 1)[-1])[0] if url else ""
    from urllib.parse import unquote
    return (unquote(base) or "Untitled") + ".txt"


def write_doc(lib, target, user, data):
    """WriteDoc in pieces, then FlushDoc: the database beside target, .pdb."""
    record = rec.DocTransferRecord()
    record.user = user
    record.path = lib.alloc(target)
    buffer = ctypes.create_string_buffer(max(len(data), 1))
    ctypes.memmove(buffer, data, len(data))
    try:
        offset = 0
        while True:
            piece = data[offset:offset + PIECE]
            record.data = ctypes.addressof(buffer) + offset if piece else None
            record.length = len(piece)
            status = lib.WriteDoc(ctypes.byref(record))
            record.data = None
            lib.check("WriteDoc", status or record.status)
            offset += len(piece)
            if not piece or offset >= len(data):
                break
        lib.check("FlushDoc", lib.FlushDoc(ctypes.byref(record)))
    finally:
        record.data = None
        lib.release(record, "path")


def read_doc(lib, database):
    """ReadDoc until the end: the database's text as bytes."""
    record = rec.DocTransferRecord()
    record.path = lib.alloc(database)
    parts = []
    try:
        while True:
            status = lib.ReadDoc(ctypes.byref(record))
            status = status or record.status
            if status == rec.BF_EOF:
                break
            lib.check("ReadDoc", status)
            if record.length > 0 and record.data:
                parts.append(ctypes.string_at(record.data, record.length))
    finally:
        lib.release(record, "path", "data")
    return b"".join(parts)


def export_document(lib, doc):
    """The Export dialog, then the text to the chosen user's Install folder.
    The database's path, or None when the dialog was cancelled."""
    record = rec.DocTransferRecord()
    try:
        result = lib.check("ExportFromPCDialog", lib.ExportFromPCDialog(ctypes.byref(record)))
        folder = lib.text(record.path)
        user, status = record.user, record.status
    finally:
        lib.release(record, "path")
    if result != 1:
        return None
    lib.check("ExportFromPCDialog", status)
    target = folder + document_name(doc)
    write_doc(lib, target, user, rec.encode(document_text(doc)))
    return os.path.splitext(target)[0] + ".pdb"


def import_text(lib):
    """The Import dialog, then the chosen database's text; None when cancelled."""
    record = rec.DocTransferRecord()
    try:
        result = lib.check("ImportToPCDialog", lib.ImportToPCDialog(ctypes.byref(record)))
        database = lib.text(record.path)
        status = record.status
    finally:
        lib.release(record, "path")
    if result != 1:
        return None
    lib.check("ImportToPCDialog", status)
    return rec.decode(read_doc(lib, database))


def fill_document(doc, text):
    """The text into a Writer document, one paragraph a line."""
    from com.sun.star.text.ControlCharacter import PARAGRAPH_BREAK
    lines = text.replace("\r\n", "\n").replace("\r", "\n").split("\n")
    if lines and lines[-1] == "":
        lines.pop()
    body = doc.Text
    cursor = body.createTextCursor()
    for n, line in enumerate(lines):
        if n:
            body.insertControlCharacter(cursor, PARAGRAPH_BREAK, False)
        body.insertString(cursor, line, False)
