#!/usr/bin/env python3
"""What the register must receive when a goods file is uploaded, worked out on its own.

Reads a goods file (Windows-1251, CR LF lines, goods lines between "<start>" and "<end>",
six TAB-terminated fields) and prints, for every goods line, the frame the program must send,
as register-sim logs it ("frame <n> 19200 <HEX>"), or with --tsv the goods base that
register-sim must hold afterwards (its --db format).

Usage: expected_upload.py [--whole-units] [--tsv] GOODS_FILE
Exits 1 when the file has an invalid price (the program sends nothing then).
"""

import sys
from decimal import ROUND_HALF_EVEN, Decimal

SOURCE = "АБВГДЕЁЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯабвгдеёжзийклмнопрстуфхцчшщъыьэюя".encode("cp1251")
OUTPUT = b"abwgdeevzijklmnoprstufhc~{}_yx`@qabwgdeevzijklmnoprstufhc~{}_yx`@q"


def goods_lines(data):
    """The goods lines of the file, as byte strings."""
    end_of_file = data.find(b"\x1a")
    if end_of_file >= 0:
        data = data[:end_of_file]
    lines = data.split(b"\r")
    lines = [lines[0]] + [line[1:] if line.startswith(b"\n") else line for line in lines[1:]]
    if lines and lines[-1] == b"":
        lines.pop()
    reading = False
    for line in lines:
        if line.startswith(b"<"):
            lowered = line.lower()  # bytes.lower() lowers the ASCII letters only
            if lowered.startswith(b"<start>"):
                reading = True
            if lowered.startswith(b"<end>"):
                reading = False
        elif reading:
            yield line


def split_fields(line):
    fields = []
    for _ in range(6):
        tab = line.find(b"\t")
        if tab < 0:
            fields.append(b"")
        else:
            fields.append(line[:tab + 1])
            line = line[tab + 1:]
    return fields


def number(field):
    """Numeric value: leading blanks, TABs and line feeds skipped, sign, digits, fraction."""
    text = field.lstrip(b" \t\n").decode("latin-1")
    i = 0
    if i < len(text) and text[i] in "+-":
        i += 1
    while i < len(text) and text[i].isdigit() and text[i].isascii():
        i += 1
    if i < len(text) and text[i] == "." and i + 1 < len(text) and text[i + 1].isdigit():
        i += 1
        while i < len(text) and text[i].isdigit() and text[i].isascii():
            i += 1
    try:
        return int(Decimal(text[:i]).to_integral_value(rounding=ROUND_HALF_EVEN))
    except ArithmeticError:
        return 0


def price(field, whole_units):
    digits, separators, decimals = b"", 0, 0
    for b in field:
        if 0x30 <= b <= 0x39:
            digits += bytes([b])
            if decimals > 0:
                decimals += 1
        elif b in (0x09, 0x20):
            pass
        elif b in (0x2E, 0x2C):
            decimals = 1
            separators += 1
        else:
            separators = 2
    valid = (separators == 0 and decimals == 0) if whole_units else (separators <= 1 and decimals == 3)
    return int(digits or b"0") if valid else None


def fit(field, size):
    return field[:size].ljust(size, b" ")


def register_charset(name):
    out = bytearray()
    for b in name:
        if b < 0x80:
            out.append(b - 0x20 if 0x61 <= b <= 0x7A else b)
        else:
            at = SOURCE.find(bytes([b]))
            out.append(OUTPUT[at] if at >= 0 else 0x3F)
    return bytes(out)


def frame(payload):
    body = bytes([0x17, len(payload) + 5]) + payload
    checksum = sum(body) & 0xFFFF
    return body + bytes([0x19, checksum >> 8, checksum & 0xFF])


def escape_name(name):
    text = ""
    for b in name:
        if b == 0x09:
            text += "\\t"
        elif b == 0x5C:
            text += "\\\\"
        elif b < 0x20 or b >= 0x7F:
            text += "\\x%02X" % b
        else:
            text += chr(b)
    return text


def main(argv):
    whole_units = "--whole-units" in argv
    tsv = "--tsv" in argv
    path = [a for a in argv if not a.startswith("--")][0]
    with open(path, "rb") as f:
        items = []
        for line in goods_lines(f.read()):
            code, name, barcode, price_field, group, flag = split_fields(line)
            value = price(price_field, whole_units)
            if value is None:
                return 1
            items.append((number(code), register_charset(fit(name, 24)), number(fit(barcode, 14)),
                          value, number(group), 1 if number(flag) != 0 else 0))
    if tsv:
        print("code\tname\tbarcode\tprice\tgroup\tflag\tlast")
    for n, (code, name, barcode, value, group, flag) in enumerate(items, 1):
        last = 1 if n == len(items) else 0
        payload = (b"j" + bytes([last, flag & 0xFF]) + name + (value & 0xFFFFFFFF).to_bytes(4, "little") +
                   bytes([group & 0xFF]) + (code & 0xFFFF).to_bytes(2, "little") +
                   (barcode & 0xFFFFFFFFFFFF).to_bytes(6, "little"))
        if tsv:
            sent = barcode & 0xFFFFFFFFFFFF
            signed = sent - (1 << 48) if sent >> 47 else sent
            signed_price = value - (1 << 32) if value >> 31 else value
            print("%d\t%s\t%d\t%d\t%d\t%d\t%d" % (code & 0xFFFF, escape_name(name), signed,
                                                   signed_price, group & 0xFF, flag, last))
        else:
            print("frame %d 19200 %s" % (n, frame(payload).hex(" ").upper()))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
