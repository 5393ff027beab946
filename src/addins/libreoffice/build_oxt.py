"""Packs the extension: build_oxt.py OXT SOURCE_DIR DESCRIPTION LIBRARY...
The sources' META-INF, .xcu files and python/ tree, the configured
description.xml, and the libraries under lib/."""
import os
import sys
import zipfile


def main():
    oxt, source, description, libraries = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4:]
    os.makedirs(os.path.dirname(oxt), exist_ok=True)
    partial = oxt + ".part"
    with zipfile.ZipFile(partial, "w", zipfile.ZIP_DEFLATED) as z:
        z.write(description, "description.xml")
        for folder, _, files in os.walk(source):
            for name in sorted(files):
                path = os.path.join(folder, name)
                inside = os.path.relpath(path, source)
                top = inside.split(os.sep)[0]
                if top in ("META-INF", "python") and not name.endswith(".pyc") or name.endswith(".xcu"):
                    z.write(path, inside)
        for library in libraries:
            z.write(library, "lib/" + os.path.basename(library))
    os.replace(partial, oxt)


main()
