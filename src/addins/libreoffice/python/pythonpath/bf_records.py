"""The libraries' records (include/brightfold.h, gridlink.h, textlink.h) as
ctypes structures, and loading the libraries.

The fields follow the headers in order with the platform's natural
alignment; the layout test of tests/addins compares every offset and size
with what the C compiler gives for the headers. Byte strings (BSTR) are
c_void_p: they are allocated and freed with the library's own
SysAllocStringByteLen / SysFreeString and hold Windows-1252 bytes."""
import ctypes
import os

BSTR = ctypes.c_void_p

BF_EOF = -6
BF_ERR_PARAMETER = -1
BF_ERR_PASSWORD = -13
BF_ERR_CANCELLED = -16


class TextRecord(ctypes.Structure):
    _fields_ = [("number", ctypes.c_int16), ("padding", ctypes.c_int16), ("text", BSTR)]


class SheetRecord(ctypes.Structure):
    _fields_ = [
        ("reserved0", ctypes.c_int16),
        ("sheetNumber", ctypes.c_int16),
        ("formatFlags", ctypes.c_int32),
        ("defaultSize8", ctypes.c_int32),
        ("defaultSize12", ctypes.c_int32),
        ("setting16", ctypes.c_int32),
        ("setting20", ctypes.c_int32),  # GetSize: int16 percentage, int16 font size box
        ("setting24", ctypes.c_int32),  # GetSize: int16 cell size box
        ("setting28", ctypes.c_int32),
        ("setting32", ctypes.c_int32),
        ("setting36", ctypes.c_int32),
        ("options", ctypes.c_int32),
        ("reserved44", ctypes.c_uint8),
        ("bookFlags", ctypes.c_uint8),
        ("reserved46", ctypes.c_uint8 * 2),
        ("sheetName", BSTR),
        ("reserved52", ctypes.c_uint8 * 8),
        ("color1", ctypes.c_uint32),
        ("color2", ctypes.c_uint32),
        ("reserved68", ctypes.c_uint32),
        ("currencyText", BSTR),
        ("deviceClass", ctypes.c_int16),
        ("fontSize", ctypes.c_int16),
        ("defaultFontSize", ctypes.c_int16),
        ("reserved82", ctypes.c_int16),
    ]


class CellRecord(ctypes.Structure):
    _fields_ = [
        ("result", ctypes.c_int16),
        ("unused2", ctypes.c_int16),
        ("walkState", ctypes.c_int32),
        ("width", ctypes.c_int16),
        ("height", ctypes.c_int16),
        ("row", ctypes.c_int32),
        ("column", ctypes.c_int32),
        ("formatFlags", ctypes.c_int32),
        ("chartByteA", ctypes.c_uint8),
        ("chartByteB", ctypes.c_uint8),
        ("reserved26", ctypes.c_uint8 * 2),
        ("text", BSTR),
        ("textColor", ctypes.c_uint32),
        ("backColor", ctypes.c_uint32),
        ("value", ctypes.c_double),
        ("currencyText", BSTR),
        ("fontSize", ctypes.c_int16),
        ("reserved54", ctypes.c_int16),
    ]


class DocTransferRecord(ctypes.Structure):
    _fields_ = [
        ("status", ctypes.c_int16),
        ("user", ctypes.c_int16),
        ("reserved", ctypes.c_int16),
        ("padding", ctypes.c_int16),
        ("length", ctypes.c_int32),
        ("path", BSTR),
        ("data", BSTR),
    ]


RECORDS = (TextRecord, SheetRecord, CellRecord, DocTransferRecord)

GRIDLINK_EXPORTS = {  # name: argument record types
    "GetErrorText": (TextRecord,), "ShowTBManDialog": (), "ExportWorkbook": (SheetRecord,),
    "ImportWorkbook": (TextRecord,), "VerifyImport": (TextRecord,),
    "GetSheetName": (SheetRecord, TextRecord), "GetCellInfo": (CellRecord,),
    "CheckPasswd": (TextRecord,), "VerifyExport": (SheetRecord,),
    "VerifyAllFileExport": (TextRecord,), "SetSheetName": (SheetRecord,),
    "SetCellInfo": (CellRecord,), "GetPassword": (TextRecord,), "GetSize": (SheetRecord,),
}
TEXTLINK_EXPORTS = {
    "GetErrorText": (TextRecord,), "WriteDoc": (DocTransferRecord,), "FlushDoc": (DocTransferRecord,),
    "ReadDoc": (DocTransferRecord,), "ExportFromPCDialog": (DocTransferRecord,),
    "ImportToPCDialog": (DocTransferRecord,), "AboutDialog": (),
}


class LibraryError(Exception):
    """A library that cannot be loaded, or a status with its message."""

    def __init__(self, message, status=None):
        super().__init__(message)
        self.status = status


class Library:
    """One of the libraries, loaded once per process and kept: its attach
    step loads the link registry, its detach at the host's exit saves it."""

    def __init__(self, path, exports):
        try:
            self._dll = ctypes.CDLL(path)
        except OSError as e:
            raise LibraryError("cannot load %s: %s" % (path, e))
        for name, args in exports.items():
            f = getattr(self._dll, name)
            f.argtypes = [ctypes.POINTER(a) for a in args]
            f.restype = ctypes.c_int16
            setattr(self, name, f)
        self._alloc = self._dll.SysAllocStringByteLen
        self._alloc.argtypes = [ctypes.c_char_p, ctypes.c_uint]
        self._alloc.restype = BSTR
        self._length = self._dll.SysStringByteLen
        self._length.argtypes = [BSTR]
        self._length.restype = ctypes.c_uint
        self._free = self._dll.SysFreeString
        self._free.argtypes = [BSTR]
        self._free.restype = None

    def alloc(self, data):
        """A byte string holding data (bytes, or text in Windows-1252)."""
        if isinstance(data, str):
            data = encode(data)
        s = self._alloc(data, len(data))
        if not s:
            raise MemoryError()
        return s

    def bytes(self, bstr):
        return ctypes.string_at(bstr, self._length(bstr)) if bstr else b""

    def text(self, bstr):
        return decode(self.bytes(bstr))

    def release(self, record, *fields):
        for f in fields:
            s = getattr(record, f)
            if s:
                self._free(s)
            setattr(record, f, None)

    def error_text(self, status):
        record = TextRecord(status, 0, None)
        self.GetErrorText(ctypes.byref(record))
        message = self.text(record.text)
        self.release(record, "text")
        return message

    def check(self, call, status):
        """status, or LibraryError with GetErrorText's message when negative."""
        if status < 0:
            raise LibraryError("%s: %s (status %d)" % (call, self.error_text(status) or "error", status),
                               status)
        return status


def encode(text):
    return text.encode("cp1252", errors="replace")


def decode(data):
    return data.decode("cp1252", errors="replace")


_loaded = {}
# The extension's folder: this file is python/pythonpath/bf_records.py in it.
EXTENSION = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


def system_folder():
    """Where setupwiz puts the libraries ("\\SYSTEM", "\\NOTIFIER"), as the
    platform layer names it: $BRIGHTFOLD_SYSTEM_DIR, else
    $XDG_DATA_HOME/brightfold/lib, else ~/.local/share/brightfold/lib."""
    def absolute(variable):
        value = os.environ.get(variable, "")
        return value if value.startswith("/") else ""
    data = absolute("XDG_DATA_HOME") or os.path.join(os.path.expanduser("~"), ".local", "share")
    return absolute("BRIGHTFOLD_SYSTEM_DIR") or os.path.join(data, "brightfold", "lib")


def _library(name, variable, exports, folder):
    if name not in _loaded:
        path = os.environ.get(variable) or os.path.join(folder or EXTENSION, "lib", name)
        # The extension of the distribution carries no libraries: the
        # installer has put them into the system folder.
        if not os.environ.get(variable) and not os.path.exists(path):
            path = os.path.join(system_folder(), name)
        _loaded[name] = Library(path, exports)
    return _loaded[name]


def gridlink(folder=None):
    """libgridlink: $BRIGHTFOLD_GRIDLINK, else lib/ of the extension (folder),
    else the system folder."""
    return _library("libgridlink.so", "BRIGHTFOLD_GRIDLINK", GRIDLINK_EXPORTS, folder)


def textlink(folder=None):
    """libtextlink: $BRIGHTFOLD_TEXTLINK, else lib/ of the extension (folder),
    else the system folder."""
    return _library("libtextlink.so", "BRIGHTFOLD_TEXTLINK", TEXTLINK_EXPORTS, folder)
