#!/usr/bin/env python3
"""Writes an update package as docs/integration.md describes it: the header
the launcher reads, then a body of one's own for the application's updater.

    write_package.py SOURCE TARGET FORMAT BODY OUTPUT
"""
import shutil
import struct
import sys


def counted(data):
    # An unsigned 32-bit little-endian length, then the bytes.
    return struct.pack("<I", len(data)) + data


def text_entry(name, value):
    # A text value is followed by one zero byte that its length does not count.
    return counted(name) + counted(value.encode("ascii")) + b"\0"


source, target, format_type, body, output = sys.argv[1:]
header = (b"PATCH" + counted(b"PATCHHEAD")
          + text_entry(b"SRCVERSION", source)
          + text_entry(b"DSTVERSION", target)
          + counted(b"FORMATTYPE") + counted(struct.pack("<I", int(format_type))))
with open(output, "wb") as out, open(body, "rb") as rest:
    out.write(header)
    shutil.copyfileobj(rest, out)
