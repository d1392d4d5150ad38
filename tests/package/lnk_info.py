#!/usr/bin/env python3
"""Prints what a Windows shortcut (.lnk, the Shell Link format) starts, a line each: the
target's path, the arguments and the working folder."""
import struct
import sys

HAS_ID_LIST, HAS_LINK_INFO, IS_UNICODE = 0x1, 0x2, 0x80
# The optional strings after the link info, in the order they are stored.
STRINGS = [(0x4, "name"), (0x8, "relative path"), (0x10, "working folder"),
           (0x20, "arguments"), (0x40, "icon")]


def read_lnk(data):
    if struct.unpack_from("<I", data, 0)[0] != 0x4C:
        raise ValueError("not a shell link")
    flags = struct.unpack_from("<I", data, 0x14)[0]
    pos = 0x4C
    if flags & HAS_ID_LIST:
        pos += 2 + struct.unpack_from("<H", data, pos)[0]
    target = ""
    if flags & HAS_LINK_INFO:
        size, header, info_flags, _, path_offset = struct.unpack_from("<5I", data, pos)
        if info_flags & 1:  # a local path
            if header >= 0x24:  # the path in UTF-16 too
                unicode_offset = struct.unpack_from("<I", data, pos + 0x1C)[0]
                end = data.index(b"\0\0", pos + unicode_offset)
                end += (end - pos - unicode_offset) % 2
                target = data[pos + unicode_offset:end].decode("utf-16-le")
            else:
                end = data.index(b"\0", pos + path_offset)
                target = data[pos + path_offset:end].decode("cp1251")
        pos += size
    strings = {}
    for bit, name in STRINGS:
        if flags & bit:
            count = struct.unpack_from("<H", data, pos)[0]
            pos += 2
            width = 2 if flags & IS_UNICODE else 1
            raw = data[pos:pos + count * width]
            # Wine counts the closing NUL too.
            strings[name] = raw.decode("utf-16-le" if width == 2 else "cp1251").rstrip("\0")
            pos += count * width
    return target, strings.get("arguments", ""), strings.get("working folder", "")


if __name__ == "__main__":
    with open(sys.argv[1], "rb") as f:
        print("\n".join(read_lnk(f.read())))
