"""The add-in's ctypes records against the C compiler's layout of the public
headers: record_layout_test.py PROBE, where PROBE is record_layout_probe.
Every field of either side must exist on the other at the same offset, and
every record must have the same size."""
import os
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "src", "addins", "libreoffice", "python",
                                "pythonpath"))
import bf_records  # noqa: E402


def main():
    from_c = dict(line.rsplit(" ", 1) for line in subprocess.check_output([sys.argv[1]], text=True).splitlines())
    from_python = {}
    for record in bf_records.RECORDS:
        from_python[record.__name__] = str(bf_records.ctypes.sizeof(record))
        for name, _ in record._fields_:
            from_python["%s.%s" % (record.__name__, name)] = str(getattr(record, name).offset)
    wrong = sorted(k for k in set(from_c) | set(from_python) if from_c.get(k) != from_python.get(k))
    for key in wrong:
        print("%s: headers %s, ctypes %s" % (key, from_c.get(key, "-"), from_python.get(key, "-")))
    print("%d fields and sizes compared, %d differ" % (len(from_c), len(wrong)))
    return 1 if wrong else 0


sys.exit(main())
