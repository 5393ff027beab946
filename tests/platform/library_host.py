"""A program that uses a library as a foreign host does, through ctypes:
    library_host.py LIBRARY keep|unload
loads LIBRARY, calls GetErrorText(-1) and frees the text with SysFreeString,
unloads the library when told to, and ends normally. Exit status: 0,
2 (usage), 4 (GetErrorText gave no text)."""
import ctypes
import sys


class TextRecord(ctypes.Structure):
    _fields_ = [("number", ctypes.c_int16), ("padding", ctypes.c_int16), ("text", ctypes.c_void_p)]


def main():
    if len(sys.argv) != 3 or sys.argv[2] not in ("keep", "unload"):
        sys.stderr.write("usage: library_host.py LIBRARY keep|unload\n")
        return 2
    library = ctypes.CDLL(sys.argv[1])
    record = TextRecord(-1, 0, None)
    library.GetErrorText.restype = ctypes.c_int16
    library.GetErrorText(ctypes.byref(record))
    if not record.text:
        return 4
    library.SysFreeString(ctypes.c_void_p(record.text))
    if sys.argv[2] == "unload":
        import _ctypes
        _ctypes.dlclose(library._handle)
    return 0


sys.exit(main())
