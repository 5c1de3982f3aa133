#!/usr/bin/env python3
"""Writes one Windows package, a zip that two builds of one commit write
byte for byte alike: entries in a fixed order, every entry with the same
time (SOURCE_DATE_EPOCH, in UTC) and the same mode, no extra fields.

The guide and the licence are text for Notepad: CR LF line ends, and the
guide starts with a UTF-8 byte order mark so that it is not read as code
page 932. The program and the sample go in byte for byte.

Usage: make_zip.py OUT.zip VERSION PROGRAM.exe SOURCE_ROOT
"""
import os
import sys
import time
import zipfile


def text_for_windows(data, bom):
    lines = data.decode("utf-8").replace("\r\n", "\n").split("\n")
    out = "\r\n".join(lines).encode("utf-8")
    return (b"\xef\xbb\xbf" + out) if bom else out


def entry_time():
    epoch = int(os.environ["SOURCE_DATE_EPOCH"])
    # A zip cannot hold a time before 1980.
    epoch = max(epoch, 315532800)
    return time.gmtime(epoch)[:6]


def main():
    out, version, program, root = sys.argv[1:5]

    def read(*parts):
        with open(os.path.join(*parts), "rb") as f:
            return f.read()

    guide = read(root, "packaging", "README.txt").replace(b"@VERSION@", version.encode())
    entries = [
        ("tintmark.exe", read(program)),
        ("README.txt", text_for_windows(guide, bom=True)),
        ("LICENSE.txt", text_for_windows(read(root, "LICENSE"), bom=False)),
        ("sample.txt", read(root, "samples", "sample.txt")),
        ("TintMark.dat", read(root, "samples", "TintMark.dat")),
    ]
    stamp = entry_time()
    tmp = out + ".tmp"
    with zipfile.ZipFile(tmp, "w") as z:
        for name, data in entries:
            info = zipfile.ZipInfo(name, date_time=stamp)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.create_system = 3  # Unix, so that the mode below is read
            info.external_attr = 0o100644 << 16
            z.writestr(info, data, compresslevel=9)
    os.replace(tmp, out)


if __name__ == "__main__":
    main()
