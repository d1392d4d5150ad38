#!/usr/bin/env python3
"""Writes workbooks made to make a reader work or hold memory far beyond their size: each under
2 MB, valid XML inside a valid zip archive, that inflates to tens or hundreds of megabytes or
asks for one part again and again. Written a piece at a time, so that making them takes
little memory; made where they are needed, never kept.

Usage: make_hostile_workbooks.py FOLDER

  many-sheets-one-part.xlsx   20,000 sheets in the workbook, all one 60 MiB sheet part
  shared-texts-100-times.xlsx 100 shared-text relationships, all one 60 MiB part
  ten-big-sheets.xlsx         10 sheets of 64 MiB each
  repeated-rows.ods           60 MiB of rows each repeated 4096 times, then a block of 2 goods
  long-attribute.xlsx         a sheet with an attribute of 60 MB
  goods-then-200-mib.ods      a sheet with a block of 2 goods, then a sheet of 200 MiB

No sheet has a "<start>" cell but those of the two blocks.
"""

import os
import sys
import zipfile

MIB = 1 << 20
PIECE = MIB

MAIN = "http://schemas.openxmlformats.org/spreadsheetml/2006/main"
RELATIONSHIPS = "http://schemas.openxmlformats.org/package/2006/relationships"
TYPES = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
CONTENT_TYPES = (
    '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
    '<Default Extension="rels" '
    'ContentType="application/vnd.openxmlformats-package.relationships+xml"/>'
    '<Default Extension="xml" ContentType="application/xml"/></Types>')
ROOT_RELATIONSHIPS = (
    f'<Relationships xmlns="{RELATIONSHIPS}"><Relationship Id="rId1" '
    f'Type="{TYPES}officeDocument" Target="xl/workbook.xml"/></Relationships>')
SHEET_START = f'<worksheet xmlns="{MAIN}"><sheetData>'.encode()
SHEET_END = b"</sheetData></worksheet>"
SHEET_ROW = b'<row><c t="inlineStr"><is><t>x</t></is></c></row>'

ODS_MIME_TYPE = b"application/vnd.oasis.opendocument.spreadsheet"
ODS_MANIFEST = (
    '<manifest:manifest xmlns:manifest="urn:oasis:names:tc:opendocument:xmlns:manifest:1.0" '
    'manifest:version="1.2"><manifest:file-entry manifest:full-path="/" '
    f'manifest:media-type="{ODS_MIME_TYPE.decode()}"/><manifest:file-entry '
    'manifest:full-path="content.xml" manifest:media-type="text/xml"/></manifest:manifest>')
ODS_START = (
    '<office:document-content xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" '
    'xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" '
    'xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" office:version="1.2">'
    '<office:body><office:spreadsheet>').encode()
ODS_END = b"</office:spreadsheet></office:body></office:document-content>"
ODS_ROW = (b'<table:table-row><table:table-cell office:value-type="string"><text:p>x</text:p>'
           b"</table:table-cell></table:table-row>")


def ods_cell(value):
    if isinstance(value, str):
        return (f'<table:table-cell office:value-type="string"><text:p>{value}</text:p>'
                "</table:table-cell>")
    return f'<table:table-cell office:value-type="float" office:value="{value}"/>'


# A block of 2 goods as a sheet's rows: it loads as "2 товара".
ODS_BLOCK = "".join(
    "<table:table-row>" + "".join(ods_cell(value) for value in row) + "</table:table-row>"
    for row in [["&lt;start&gt;"], [101, "Хлеб", 4607001001010, 42.9, 1, 0],
                [102, "Молоко", 4600000000017, 89.9, 2, 0], ["&lt;end&gt;"]]).encode()


def repeat(out, unit, size):
    """Writes whole copies of unit, size bytes of them, a piece at a time."""
    piece = unit * (PIECE // len(unit))
    written = 0
    while size - written >= len(piece):
        out.write(piece)
        written += len(piece)
    out.write(unit * ((size - written) // len(unit)))


def stream(archive, name, pieces):
    """A part written a piece at a time: pieces are bytes, or (unit, size) to repeat."""
    with archive.open(name, "w") as out:
        for piece in pieces:
            if isinstance(piece, tuple):
                repeat(out, *piece)
            else:
                out.write(piece)


def sheet_of(size):
    """A sheet part of exactly size bytes: rows of one text cell, blanks to make up the rest."""
    rows = size - len(SHEET_START) - len(SHEET_END)
    rows -= rows % len(SHEET_ROW)
    blanks = size - len(SHEET_START) - len(SHEET_END) - rows
    return [SHEET_START, (SHEET_ROW, rows), (b" ", blanks), SHEET_END]


def workbook(path, sheets, relationships, parts):
    """An .xlsx: sheets are (name, relationship id) in order, relationships (id, type, target)
    of xl/workbook.xml, parts the archive's parts by name (bytes or pieces to stream)."""
    entries = "".join(f'<sheet name="{name}" sheetId="{i + 1}" r:id="{rid}"/>'
                      for i, (name, rid) in enumerate(sheets))
    links = "".join(f'<Relationship Id="{rid}" Type="{TYPES}{kind}" Target="{target}"/>'
                    for rid, kind, target in relationships)
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED, compresslevel=9) as archive:
        archive.writestr("[Content_Types].xml", CONTENT_TYPES)
        archive.writestr("_rels/.rels", ROOT_RELATIONSHIPS)
        archive.writestr("xl/workbook.xml",
                         f'<workbook xmlns="{MAIN}" xmlns:r="{TYPES[:-1]}"><sheets>{entries}'
                         "</sheets></workbook>")
        archive.writestr("xl/_rels/workbook.xml.rels",
                         f'<Relationships xmlns="{RELATIONSHIPS}">{links}</Relationships>')
        for name, pieces in parts.items():
            stream(archive, name, pieces)


def spreadsheet(path, pieces):
    """An .ods whose content.xml is the pieces between the document's start and end."""
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED, compresslevel=9) as archive:
        archive.writestr(zipfile.ZipInfo("mimetype"), ODS_MIME_TYPE, zipfile.ZIP_STORED)
        archive.writestr("META-INF/manifest.xml", ODS_MANIFEST)
        stream(archive, "content.xml", [ODS_START, *pieces, ODS_END])


def main(folder):
    workbook(os.path.join(folder, "many-sheets-one-part.xlsx"),
             [(f"Лист{i + 1}", "rId1") for i in range(20000)],
             [("rId1", "worksheet", "worksheets/sheet1.xml")],
             {"xl/worksheets/sheet1.xml": sheet_of(60 * MIB)})

    shared = [(f"rId{i + 2}", "sharedStrings", "sharedStrings.xml") for i in range(100)]
    workbook(os.path.join(folder, "shared-texts-100-times.xlsx"),
             [("Прайс", "rId1")],
             [("rId1", "worksheet", "worksheets/sheet1.xml")] + shared,
             {"xl/worksheets/sheet1.xml": [SHEET_START, b'<row><c t="s"><v>0</v></c></row>',
                                           SHEET_END],
              "xl/sharedStrings.xml": [f'<sst xmlns="{MAIN}">'.encode(),
                                       (b"<si><t>x</t></si>", 60 * MIB), b"</sst>"]})

    workbook(os.path.join(folder, "ten-big-sheets.xlsx"),
             [(f"Лист{i + 1}", f"rId{i + 1}") for i in range(10)],
             [(f"rId{i + 1}", "worksheet", f"worksheets/sheet{i + 1}.xml") for i in range(10)],
             {f"xl/worksheets/sheet{i + 1}.xml": sheet_of(64 * MIB) for i in range(10)})

    repeated = ODS_ROW.replace(b"<table:table-row>",
                               b'<table:table-row table:number-rows-repeated="4096">')
    spreadsheet(os.path.join(folder, "repeated-rows.ods"),
                ['<table:table table:name="Прайс">'.encode(), (repeated, 60 * MIB), ODS_BLOCK,
                 b"</table:table>"])

    workbook(os.path.join(folder, "long-attribute.xlsx"),
             [("Прайс", "rId1")],
             [("rId1", "worksheet", "worksheets/sheet1.xml")],
             {"xl/worksheets/sheet1.xml": [SHEET_START, b'<row r="1" spans="', (b"1", 60000000),
                                           b'"><c t="inlineStr"><is><t>x</t></is></c></row>',
                                           SHEET_END]})

    spreadsheet(os.path.join(folder, "goods-then-200-mib.ods"),
                ['<table:table table:name="Прайс">'.encode(), ODS_BLOCK, b"</table:table>",
                 '<table:table table:name="Архив">'.encode(), (ODS_ROW, 200 * MIB),
                 b"</table:table>"])


if __name__ == "__main__":
    main(sys.argv[1])
