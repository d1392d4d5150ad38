#!/bin/bash
# Makes the workbooks of a hidden sheet and of formulas again, as LibreOffice Calc saves them
# and as Python's xlsxwriter and openpyxl write them. Needs soffice (libreoffice-calc-nogui)
# and /usr/bin/python3 with python3-xlsxwriter and python3-openpyxl; the tests only read the
# files it keeps.
#
#   hidden-sheet.fods   a workbook whose first sheet, hidden, holds last month's block with
#                       other prices, and whose second, "Прайс", the current one (as written)
#   hidden-sheet.ods, lo-hidden-sheet.xlsx   the same as LibreOffice saves it
#   formulas.fods       a price list whose codes and prices are formulas (as written)
#   formulas.ods, lo-formulas.xlsx   the same as LibreOffice saves it, each formula's value
#                       computed and stored
#   xlsxwriter-formulas.xlsx, openpyxl-formulas.xlsx   the same formulas as those libraries
#                       write them (write-formula-workbooks.py): no value computed
#
# The goods of the current block and of the formulas are those of price-list.fods's first
# sheet.
set -euo pipefail
cd "$(dirname "$0")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME=$work/home  # LibreOffice's profile, away from the user's

soffice --headless --convert-to ods --outdir "$work" hidden-sheet.fods formulas.fods >/dev/null
cp "$work/hidden-sheet.ods" "$work/formulas.ods" .
soffice --headless --convert-to xlsx --outdir "$work" formulas.ods >/dev/null
cp "$work/formulas.xlsx" lo-formulas.xlsx

# LibreOffice without a window shows a workbook's first sheet, and never saves the sheet it
# shows as hidden in an .xlsx. So its .xlsx is hidden here as a user hides it, with the second
# sheet shown (Excel's "state" and "activeTab"), and LibreOffice opens and saves that again.
soffice --headless --convert-to xlsx --outdir "$work/shown" hidden-sheet.ods >/dev/null
/usr/bin/python3 - "$work/shown/hidden-sheet.xlsx" "$work/hidden-sheet.xlsx" <<'PYTHON'
import sys
import zipfile

with zipfile.ZipFile(sys.argv[1]) as shown, zipfile.ZipFile(sys.argv[2], "w") as hidden:
    for entry in shown.infolist():
        data = shown.read(entry)
        if entry.filename == "xl/workbook.xml":
            text = data.decode()
            first = text.index('state="visible"', text.index("<sheet "))
            text = text[:first] + 'state="hidden"' + text[first + len('state="visible"'):]
            data = text.replace('activeTab="0"', 'activeTab="1"').encode()
        hidden.writestr(entry, data, zipfile.ZIP_DEFLATED)
PYTHON
soffice --headless --convert-to xlsx --outdir "$work/saved" "$work/hidden-sheet.xlsx" >/dev/null
cp "$work/saved/hidden-sheet.xlsx" lo-hidden-sheet.xlsx

/usr/bin/python3 write-formula-workbooks.py xlsxwriter-formulas.xlsx openpyxl-formulas.xlsx
