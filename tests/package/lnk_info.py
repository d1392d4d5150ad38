#!/usr/bin/env python3
"""Prints what a Windows shortcut (.lnk, Shell Link format) starts, a line each: the
target's path, the arguments and the working folder."""
import struct
import sys

data = open(sys.argv[1], "rb").read()
flags = struct.unpack_from("<I", data, 0x14)[0]
pos = 0x4C  # after the header
if flags & 0x1:  # the target as an item list
    pos += 2 + struct.unpack_from("<H", data, pos)[0]
target = ""
if flags & 0x2:  # the link info, with the target's local path
    size, _, _, _, path_offset = struct.unpack_from("<5I", data, pos)
    target = data[pos + path_offset:data.index(b"\0", pos + path_offset)].decode("cp1251")
    pos += size
strings = {}
width = 2 if flags & 0x80 else 1  # UTF-16 or ANSI
# Name, relative path, working folder, arguments, icon: those there, in this order.
for bit in (0x4, 0x8, 0x10, 0x20, 0x40):
    if flags & bit:
        count = struct.unpack_from("<H", data, pos)[0]
        raw = data[pos + 2:pos + 2 + count * width]
        # Wine counts the closing NUL too.
        strings[bit] = raw.decode("utf-16-le" if width == 2 else "cp1251").rstrip("\0")
        pos += 2 + count * width
print(target)
print(strings.get(0x20, ""))
print(strings.get(0x10, ""))
