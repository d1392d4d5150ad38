#!/usr/bin/python3
"""Writes the price list of formulas.fods as Python's workbook libraries write it: xlsxwriter
stores 0 as each formula's value and asks for the workbook to be computed when it is opened;
openpyxl stores no value at all. Neither computes a formula.

Usage: write-formula-workbooks.py XLSXWRITER.xlsx OPENPYXL.xlsx   (run by make-workbooks.sh)
"""

import datetime
import sys

import openpyxl
import xlsxwriter

SHEET = "Прайс"
CREATED = datetime.datetime(2026, 12, 8, 9, 0, 0)

# Row by row from row 1, as in formulas.fods: codes are the row's number plus 97, prices the
# purchase price in column H with a 20 % markup, one the price of another row.
ROWS = [
    ["Прайс-лист магазина «Ромашка» на 08.12.2026"],
    ["Код", "Наименование", "Штрих-код", "Цена", "Группа", "Признак", None, "Закупка"],
    ["<start>"],
]
GOODS = [
    ("Хлеб «Бородинский» 400 г", 4607001001010, 1, 0, 35.75),
    ('Молоко "Домик в деревне" 3,2% 1 л', "4600000000017", 2, 0, 74.92),
    ("Сыр №1 «Ёлкин»", "04607001001034", 2, 1, 1082.5),
    ("Хлеб\tбелый", 4607001001041, 1, 0, None),
    ("Сметана 20%,\n300 г", 4607001001058, 2, 1, 104.58),
    ("Ёрш «Пикантный»", None, 3, 0, 208.33),
    ('Чай Lipton "Yellow Label" 25 пак.', 8722700055525, 4, 0, 0.42),
    ("Пакет-майка", None, 9, 0, 2.5),
]
for name, barcode, group, flag, base in GOODS:
    row = len(ROWS) + 1
    price = f"=ROUND(H{row}*1.2,2)" if base is not None else "=D5"
    ROWS.append(["=ROW()+97", name, barcode, price, group, flag, None, base])
ROWS.append(["<end>"])


def write_xlsxwriter(path):
    workbook = xlsxwriter.Workbook(path)
    workbook.set_properties({"created": CREATED})
    sheet = workbook.add_worksheet(SHEET)
    money = workbook.add_format({"num_format": "0.00"})
    for r, row in enumerate(ROWS):
        for c, value in enumerate(row):
            if value is None:
                continue
            if isinstance(value, str) and value.startswith("="):
                sheet.write_formula(r, c, value, money if c == 3 else None)
            elif isinstance(value, str):
                sheet.write_string(r, c, value)
            else:
                sheet.write_number(r, c, value, money if c == 7 else None)
    workbook.close()


def write_openpyxl(path):
    workbook = openpyxl.Workbook()
    workbook.properties.created = workbook.properties.modified = CREATED
    sheet = workbook.active
    sheet.title = SHEET
    for r, row in enumerate(ROWS, start=1):
        for c, value in enumerate(row, start=1):
            if value is None:
                continue
            cell = sheet.cell(row=r, column=c, value=value)
            if c in (4, 8) and r > 3:
                cell.number_format = "0.00"
    workbook.save(path)


if __name__ == "__main__":
    write_xlsxwriter(sys.argv[1])
    write_openpyxl(sys.argv[2])
