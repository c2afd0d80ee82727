#!/usr/bin/env python3
"""Writes a zip of one folder that is the same byte for byte on every run.

Entries are sorted, every entry carries the same time (SOURCE_DATE_EPOCH, in
UTC) and no owner, permission or extra field of the machine that made it.

    make_zip.py OUT.zip DIR     (the zip holds DIR's base name as its top folder)
"""
import os
import sys
import time
import zipfile


def entry(name, epoch):
    info = zipfile.ZipInfo(name, date_time=time.gmtime(epoch)[:6])
    info.create_system = 0  # MS-DOS attributes: nothing of this machine's users
    # Directory or archive bit: zipfile puts Unix permissions in a zero.
    info.external_attr = 0x10 if name.endswith("/") else 0x20
    info.compress_type = zipfile.ZIP_STORED if name.endswith("/") else zipfile.ZIP_DEFLATED
    return info


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: make_zip.py OUT.zip DIR")
    out, folder = sys.argv[1], os.path.normpath(sys.argv[2])
    epoch = int(os.environ["SOURCE_DATE_EPOCH"])
    # A zip cannot hold times before 1980.
    epoch = max(epoch, 315532800)
    top = os.path.basename(folder)
    names = []
    for here, dirs, files in os.walk(folder):
        dirs.sort()
        relative = os.path.relpath(here, folder)
        prefix = top + "/" if relative == "." else top + "/" + relative.replace(os.sep, "/") + "/"
        names.append((prefix, None))
        names += [(prefix + f, os.path.join(here, f)) for f in files]
    names.sort()
    with zipfile.ZipFile(out, "w") as archive:
        for name, path in names:
            data = b"" if path is None else open(path, "rb").read()
            archive.writestr(entry(name, epoch), data, compresslevel=9)


if __name__ == "__main__":
    main()
