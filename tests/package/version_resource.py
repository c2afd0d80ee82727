#!/usr/bin/env python3
"""Prints the version resource of a Windows program as lines the package test
compares: "fixed FILE PRODUCT" (the numeric versions, dotted) and
"NAME=VALUE" for each string of the resource's string table.

    version_resource.py PROGRAM.exe

Exit status 1 when the program carries no version resource.
"""
import struct
import sys

KEYS = ["CompanyName", "FileDescription", "FileVersion", "InternalName", "LegalCopyright",
        "OriginalFilename", "ProductName", "ProductVersion"]


def dotted(high, low):
    return "%d.%d.%d.%d" % (high >> 16, high & 0xFFFF, low >> 16, low & 0xFFFF)


def aligned(offset):
    return (offset + 3) & ~3


def string_value(data, key, base):
    """The value of a String block: its head (length, value length in
    characters, type), the key, padding to 32 bits, then the UTF-16 text."""
    marker = (key + "\0").encode("utf-16-le")
    at = data.find(marker, base)
    while at >= 0 and at % 2:
        at = data.find(marker, at + 1)
    if at < 6:
        return None
    _, characters, _ = struct.unpack_from("<3H", data, at - 6)
    start = aligned(at + len(marker))
    return data[start:start + 2 * characters].decode("utf-16-le").rstrip("\0")


def main():
    data = open(sys.argv[1], "rb").read()
    at = data.find(b"V\0S\0_\0V\0E\0R\0S\0I\0O\0N\0_\0I\0N\0F\0O\0\0\0")
    fixed = data.find(struct.pack("<I", 0xFEEF04BD), at)
    if at < 0 or fixed < 0:
        print("no version resource")
        return 1
    _, _, file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<6I", data, fixed)
    print("fixed %s %s" % (dotted(file_ms, file_ls), dotted(product_ms, product_ls)))
    for key in KEYS:
        print("%s=%s" % (key, string_value(data, key, at)))
    return 0


if __name__ == "__main__":
    sys.exit(main())
