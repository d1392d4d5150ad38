#!/bin/bash
# Makes the price list's spreadsheet, its TAB-separated exports and its workbooks again, as
# LibreOffice Calc and Gnumeric save them, the exports in Windows-1251, UTF-8 and UTF-16.
# Needs soffice (libreoffice-calc-nogui) and ssconvert (gnumeric); the tests only read the
# files it keeps.
#
#   price-list.fods   the sheet as written (flat OpenDocument, so that it can be read here)
#   price-list.ods    the same sheet as LibreOffice saves it; every export is made from it
#   lo.xlsx, lo.xls   the workbook as LibreOffice saves it in Excel's formats, new and old
#   gnumeric.xlsx, gnumeric.ods   the workbook as Gnumeric saves it
#   bad-price.fods, bad-price.ods   a workbook of one sheet ("Прайс") with a bad price in
#                     row 4, as written and as LibreOffice saves it
#   two-blocks.fods   a sheet of two blocks, the second opened by a cell "<start> второй блок"
#
# Sheet 1 ("Товары") is a file to load; sheet 2 ("Итоги в блоке") has its totals row inside
# the block; sheet 3 ("Код полной ширины") a code in full-width digits.
set -euo pipefail
cd "$(dirname "$0")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME=$work/home  # LibreOffice's profile, away from the user's

soffice --headless --convert-to ods --outdir "$work" price-list.fods bad-price.fods >/dev/null
cp "$work/price-list.ods" "$work/bad-price.ods" .
soffice --headless --convert-to xlsx --outdir "$work" price-list.ods >/dev/null
cp "$work/price-list.xlsx" lo.xlsx
soffice --headless --convert-to xls --outdir "$work" price-list.ods >/dev/null
cp "$work/price-list.xls" lo.xls
ssconvert price-list.ods gnumeric.xlsx 2>/dev/null
ssconvert price-list.ods gnumeric.ods 2>/dev/null

# lo NAME CHARSET AS_SHOWN SHEET: LibreOffice's "Text CSV" filter, as the dialog sets it:
# field separator TAB (9), string delimiter " (34), the character set (34 Windows-1251,
# 76 UTF-8, 65535 UTF-16), text cells quoted only where needed, "save cell contents as
# shown" on or off, the one sheet.
lo() {
  rm -rf "$work/lo"
  soffice --headless \
    --convert-to "txt:Text - txt - csv (StarCalc):9,34,$2,1,,1049,false,true,$3,false,false,$4" \
    --outdir "$work/lo" price-list.ods >/dev/null
  cp "$work"/lo/*.txt "$1"
}
lo lo-windows-1251.txt 34 true 1
lo lo-utf-8.txt 76 true 1
lo lo-utf-16.txt 65535 true 1
lo lo-utf-8-not-as-shown.txt 76 false 1
lo lo-totals-in-block-windows-1251.txt 34 true 2
lo lo-full-width-code-utf-8.txt 76 true 3

# gnumeric NAME CHARSET FORMAT EOL SHEET [BOOK]: Gnumeric's "Text (configurable)" export with
# TAB as the separator, quotes where needed, the cells' format ("preserve": as displayed,
# "automatic": Gnumeric's default) and line ends; in a Russian locale, as the shop had it. Of
# price-list.ods, or of the workbook BOOK.
gnumeric() {
  LC_ALL=ru_RU.UTF-8 ssconvert --export-type=Gnumeric_stf:stf_assistant \
    -O "separator=\"	\" quote=\"\\\"\" quoting-mode=auto format=$3 charset=$2 eol=$4 sheet=\"$5\"" \
    "${6:-price-list.ods}" "$1" 2>/dev/null
}
gnumeric gnumeric-windows-1251.txt WINDOWS-1251 preserve windows "Товары"
gnumeric gnumeric-utf-8.txt UTF-8 preserve unix "Товары"
gnumeric gnumeric-utf-16.txt UTF-16 preserve windows "Товары"
gnumeric gnumeric-utf-8-automatic.txt UTF-8 automatic unix "Товары"
gnumeric gnumeric-totals-in-block-utf-8.txt UTF-8 preserve unix "Итоги в блоке"
gnumeric gnumeric-full-width-code-utf-16.txt UTF-16 preserve windows "Код полной ширины"

# The two blocks: Gnumeric quotes the second block's marker cell for its blanks.
soffice --headless --convert-to ods --outdir "$work" two-blocks.fods >/dev/null
gnumeric gnumeric-two-blocks-utf-8.txt UTF-8 preserve unix "Товары" "$work/two-blocks.ods"
