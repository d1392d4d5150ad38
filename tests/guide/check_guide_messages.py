#!/usr/bin/env python3
"""Keeps the user guide's list of messages true of the program.

Produces every message of the guide's message table (section "Сообщения программы") with the
real Linux program against register-sim on a pseudo-terminal, and compares what the program
prints with the table: the text (the row's <placeholders> filled with what the case knows,
such as the file name or the field), its kind (ошибка, внимание, справка) and the exit status.
Every row the Linux program can show must be produced by some case, and every case must
match a row; a workbook's messages must read as the row once the sheet's row they name stands
for the file's line, and its check run's verdict once the sheet it names is left out, as the
guide says. Also checks that the example lines the guide quotes from examples/goods.txt are
lines of that file, and that its example of a wire trace is what the program writes.

Usage: check_guide_messages.py TALLY REGISTER_SIM GUIDE EXAMPLE
Exit status 0 passed, 1 failed.
"""

import fcntl
import io
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import zipfile
from xml.sax.saxutils import escape

TALLY, REGISTER_SIM, GUIDE, EXAMPLE = (os.path.abspath(path) for path in sys.argv[1:5])
PLACEHOLDER = re.compile(r"<(?!start>|end>)[^<>]+>")


def guide_rows(text):
    """The rows of the first table after the messages heading: (template, kind, status, where)."""
    section = text[text.index("Сообщения программы: причина и что делать\n"):]
    rows = []
    in_table = False
    for line in section.split("\n"):
        if line.startswith("| Сообщение |"):
            in_table = True
            continue
        if in_table:
            if not line.startswith("|"):
                break
            cells = [cell.strip() for cell in line.strip("|").split("|")]
            if set(cells[0]) <= set("-"):
                continue
            template = re.fullmatch(r"`(.*)`", cells[0]).group(1)
            rows.append((template, cells[1], int(cells[2]), cells[3]))
    return rows


def filled(template, values):
    """The template with its placeholders replaced by the values, in order; None if the
    numbers differ."""
    if len(PLACEHOLDER.findall(template)) != len(values):
        return None
    parts = PLACEHOLDER.split(template)
    return "".join(part + (values[i] if i < len(values) else "") for i, part in enumerate(parts))


class Simulator:
    """register-sim on a new pseudo-terminal, with the given fault options."""

    def __init__(self, options):
        self.process = subprocess.Popen([REGISTER_SIM, "--pty", *options], stdout=subprocess.PIPE,
                                        stderr=subprocess.DEVNULL, text=True)
        self.device = self.process.stdout.readline().strip()

    def stop(self):
        self.process.terminate()
        self.process.wait()


def reading_offset(pid, path):
    """Where the process stands in the file at path, or -1 while it has not opened it."""
    fds = f"/proc/{pid}/fd"
    for fd in os.listdir(fds) if os.path.isdir(fds) else []:
        try:
            if os.readlink(f"{fds}/{fd}") == path:
                with open(f"/proc/{pid}/fdinfo/{fd}") as info:
                    return int(info.readline().split()[1])
        except OSError:
            continue
    return -1


def run(arguments, folder, device=None, user=None, append=None):
    """Runs tally in the folder with COM1 on the device; returns (status, first line of its
    standard error). With append, those bytes are appended to the file named first once the
    program has begun reading it."""
    environment = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "LC_ALL": "C.UTF-8"}
    if device is not None:
        environment["TALLY_COM1"] = device
    command = [TALLY, *arguments]
    if user is not None:
        command = ["setpriv", f"--reuid={user}", f"--regid={user}", "--clear-groups", *command]
    process = subprocess.Popen(command, cwd=folder, env=environment, stdin=subprocess.DEVNULL,
                               stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    if append is not None:
        path = os.path.join(folder, arguments[0])
        deadline = time.monotonic() + 20
        while reading_offset(process.pid, path) <= 0 and time.monotonic() < deadline:
            time.sleep(0.001)
        with open(path, "ab") as file:
            file.write(append)
    _, err = process.communicate(timeout=60)
    lines = err.decode("utf-8", "replace").split("\n")
    return process.returncode, lines[0]


def kind_and_text(line):
    """The message's kind and text from the line "OKA PF: ошибка: ...", and so on."""
    text = line.removeprefix("OKA PF: ")
    for kind in ("ошибка", "внимание"):
        if text.startswith(kind + ": "):
            return kind, text[len(kind) + 2:]
    return "справка", text


def goods(lines):
    return "".join(line + "\r\n" for line in lines).encode("cp1251")


def workbook(rows, sheet="Прайс"):
    """An OpenDocument workbook (.ods) of one sheet: a row is a list of cells, each a number,
    a text or None (empty)."""
    def cell(value):
        if value is None:
            return "<table:table-cell/>"
        kind = (f'office:value-type="float" office:value="{value}"'
                if isinstance(value, (int, float)) else 'office:value-type="string"')
        return f"<table:table-cell {kind}><text:p>{escape(str(value))}</text:p></table:table-cell>"
    body = "".join("<table:table-row>" + "".join(map(cell, row)) + "</table:table-row>"
                   for row in rows)
    content = ('<office:document-content'
               ' xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"'
               ' xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0"'
               ' xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0">'
               f'<office:body><office:spreadsheet><table:table table:name="{sheet}">{body}'
               "</table:table></office:spreadsheet></office:body></office:document-content>")
    packed = io.BytesIO()
    with zipfile.ZipFile(packed, "w", zipfile.ZIP_DEFLATED) as archive:
        archive.writestr(zipfile.ZipInfo("mimetype"), "application/vnd.oasis.opendocument.spreadsheet")
        archive.writestr("content.xml", content)
    return packed.getvalue()


def office_workbook(rows, calc="", sheet="Прайс"):
    """An Office Open XML workbook (.xlsx) of one sheet: rows is the sheetData's XML, and calc
    the workbook's calcPr element, if any."""
    main = 'xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"'
    types = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
    parts = {
        "[Content_Types].xml": "<Types/>",
        "_rels/.rels": f'<Relationships><Relationship Id="rId1" Type="{types}officeDocument"'
                       ' Target="xl/workbook.xml"/></Relationships>',
        "xl/workbook.xml": f'<workbook {main} xmlns:r="{types[:-1]}"><sheets>'
                           f'<sheet name="{escape(sheet)}" sheetId="1" r:id="rId1"/></sheets>'
                           f"{calc}</workbook>",
        "xl/_rels/workbook.xml.rels": f'<Relationships><Relationship Id="rId1"'
                                      f' Type="{types}worksheet" Target="worksheets/sheet1.xml"/>'
                                      "</Relationships>",
        "xl/worksheets/sheet1.xml": f"<worksheet {main}><sheetData>{rows}</sheetData></worksheet>",
    }
    packed = io.BytesIO()
    with zipfile.ZipFile(packed, "w", zipfile.ZIP_DEFLATED) as archive:
        for part, content in parts.items():
            archive.writestr(part, content)
    return packed.getvalue()


def text_cell(reference, text):
    return f'<c r="{reference}" t="inlineStr"><is><t>{escape(text)}</t></is></c>'


# What an OLE compound file (an old binary workbook) starts with.
COMPOUND_FILE = b"\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1" + bytes(504)


def trace_example_failures(guide):
    """Runs the upload the guide's trace example shows (the example file's first two goods,
    the register refusing the second) and compares the trace line by line: the date, the
    times and the device may differ, and "..." in the guide stands for what it leaves out."""
    quoted = re.search(r"Так выглядит запись[^\n]*\n(?:[^\n]+\n)*\n((?:    [^\n]*\n)+)", guide)
    if quoted is None:
        return ["the guide shows no trace"]
    expected = [line[4:] for line in quoted.group(1).split("\n") if line]
    folder = tempfile.mkdtemp(prefix="tally-trace-")
    example = open(EXAMPLE, "rb").read().split(b"\r\n")
    start = example.index(b"<start>")
    with open(os.path.join(folder, "goods.txt"), "wb") as file:
        file.write(b"\r\n".join([b"<start>", *example[start + 1:start + 3], b"<end>", b""]))
    simulator = Simulator(["--error", "2:5"])
    environment = {"PATH": os.path.dirname(TALLY) + ":/usr/bin:/bin", "TALLY_COM1": simulator.device,
                   "TALLY_TRACE": os.path.join(folder, "trace.txt")}
    subprocess.run(["tally", "goods.txt"], cwd=folder, env=environment, capture_output=True,
                   timeout=30)
    simulator.stop()
    actual = open(os.path.join(folder, "trace.txt"), encoding="utf-8").read().rstrip("\n").split("\n")
    shutil.rmtree(folder)
    failures = []
    for number, line in enumerate(expected):
        pattern = re.escape(line).replace(re.escape("..."), ".*")
        pattern = re.sub(r"(?:\\ )*\d+\\ ms", r" *\\d+ ms", pattern)
        pattern = re.sub(r"\d{4}\\-\d\d\\-\d\d\\ \d\d:\d\d:\d\d", r"[-0-9]+ [0-9:]+", pattern)
        pattern = pattern.replace(re.escape("/dev/pts/1"), "/dev/pts/[0-9]+")
        if number >= len(actual) or not re.fullmatch(pattern, actual[number]):
            failures.append(f"the guide's trace line {line!r} differs from the program's "
                            f"{actual[number] if number < len(actual) else None!r}")
    if len(actual) != len(expected):
        failures.append(f"the program's trace has {len(actual)} lines, the guide's {len(expected)}")
    if not failures:
        print(f"checked: the guide's trace example, {len(expected)} lines")
    return failures


def main():
    guide = open(GUIDE, encoding="utf-8").read()
    rows = guide_rows(guide)
    failures = []
    covered = set()
    folder = tempfile.mkdtemp(prefix="tally-guide-")
    os.chmod(folder, 0o755)

    def write(name, data):
        with open(os.path.join(folder, name), "wb") as file:
            file.write(data)
        return name

    ten_items = write("ten.txt", goods(
        ["<start>"] + [f"{code}\tТовар {code}\t\t1.00\t1\t0\t" for code in range(101, 111)] +
        ["<end>"]))
    # Item 3 of the ten: code 103 on line 4 of the file.
    item_3 = ["3", "10", "103", "4"]

    def check(name, arguments, values, sim_options=None, device=None, user=None, hold=False,
              append=None, sheet=None):
        simulator = Simulator(sim_options) if sim_options is not None else None
        held = None
        try:
            if simulator is not None:
                device = simulator.device
            if hold:
                # Another program holding the port: it has the device open and locked.
                held = os.open(device, os.O_RDWR | os.O_NOCTTY)
                fcntl.flock(held, fcntl.LOCK_EX)
            status, line = run(arguments, folder, device, user, append)
        finally:
            if held is not None:
                os.close(held)
            if simulator is not None:
                simulator.stop()
        kind, shown = kind_and_text(line)
        text = shown
        if sheet is not None:
            # A workbook's messages name the sheet's row where a text file's name its line;
            # the check run's verdict names the sheet after the count of goods.
            places = {f" листа «{sheet}»)": " файла)", f" (лист «{sheet}»)": ""}
            place = next((place for place in places if place in shown), None)
            if place is None:
                failures.append(f"{name}: the program printed {line!r}, naming no sheet "
                                f"«{sheet}»")
                return
            text = shown.replace(place, places[place])
        matches = [index for index, (template, row_kind, row_status, where) in enumerate(rows)
                   if where != "Windows" and filled(template, values) == text
                   and row_kind == kind and row_status == status]
        if len(matches) == 1:
            covered.add(matches[0])
            print(f"ok: {name}: {kind}: {shown} (status {status})")
        else:
            failures.append(f"{name}: the program printed {line!r} with status {status}; "
                            f"no single row of the guide's table gives that with {values}")

    check("usage", [], [])
    check("clear run", ["/e"], [], sim_options=[])
    check("check run, file in order", ["/t", ten_items], ["10 товаров"])
    name = write("repeated.txt", goods(["<start>", "0102\tБатон белый\t\t35.50\t1\t0\t",
                                        "101\tХлеб\t\t42.90\t1\t0\t",
                                        "102\tБатон чёрный\t\t37.00\t1\t0\t", "<end>"]))
    check("check run, repeated codes", ["/t", name], ["3 товара", "102 (строки 2, 4)"])
    name = write("in-order.ods", workbook([["<start>"], [101, "Хлеб", None, 42.9, 1, 0],
                                           [102, "Батон", None, 35.5, 1, 0], ["<end>"]]))
    check("check run of a workbook", ["/t", name], ["2 товара"], sheet="Прайс")
    check("missing file", ["нет-такого-файла.txt"], ["нет-такого-файла.txt"])
    name = write("без-меток.txt", goods(["101\tХлеб\t\t42.90\t1\t0\t"]))
    check("no <start> line", [name], [name])
    for field, line, value in (
            ("price", "101\tХлеб\t\t42.9\t1\t0\t", "42.9\t"),
            ("code", "70000\tХлеб\t\t42.90\t1\t0\t", "70000\t"),
            ("bar code", "101\tХлеб\t460700100101012\t42.90\t1\t0\t", "460700100101012\t"),
            ("group", "101\tХлеб\t\t42.90\t256\t0\t", "256\t")):
        name = write(f"bad-{field.replace(' ', '-')}.txt", goods(["<start>", line, "<end>"]))
        # The row stands on line 2, after the "<start>" line.
        check(f"invalid {field}", [name], [value, "2"])
    # A workbook: the price is the value its cell holds, refused when no whole number of
    # kopecks; the message names the sheet's row.
    name = write("bad-price.ods", workbook([["Код"], ["<start>"], [101, "Хлеб", None, 42.905, 1, 0],
                                            ["<end>"]]))
    check("invalid price in a workbook", [name], ["42,905\t", "3"], sheet="Прайс")
    name = write("без-меток.ods", workbook([[101, "Хлеб", None, 42.9, 1, 0]]))
    check("workbook without <start>", [name], [name])
    name = write("password.xlsx", COMPOUND_FILE + "EncryptedPackage".encode("utf-16-le"))
    check("workbook with a password", [name], [name])
    name = write("old.xls", COMPOUND_FILE)
    check("old binary workbook", [name], [name])
    name = write("damaged.xlsx", b"PK\x03\x04" + bytes(200))
    check("damaged workbook", [name], [name])
    name = write("huge-cell.ods", workbook([["<start>"], [101, "x" * 70000, None, 1.0, 1, 0]]))
    check("workbook beyond the limits", [name], [name])
    # A formula written with 0 for its value and the workbook asking to be recalculated when
    # opened, as xlsxwriter writes it: the price is no value the file holds.
    name = write("formula.xlsx", office_workbook(
        '<row r="1">' + text_cell("A1", "Код") + "</row>"
        '<row r="2">' + text_cell("A2", "<start>") + "</row>"
        '<row r="3"><c r="A3"><v>101</v></c>' + text_cell("B3", "Хлеб") +
        '<c r="D3"><f>ROUND(1.2*2,2)</f><v>0</v></c><c r="E3"><v>1</v></c>'
        '<c r="F3"><v>0</v></c></row>'
        '<row r="4">' + text_cell("A4", "<end>") + "</row>",
        calc='<calcPr fullCalcOnLoad="1"/>'))
    check("formula without its value", [name], ["3", "Прайс"], sim_options=[])
    name = write("too-many.txt", goods(
        ["<start>"] + [f"{code}\tТовар\t\t1.00\t1\t0\t" for code in range(1, 3002)] + ["<end>"]))
    check("more than 3000 goods", [name], [])
    # An export still being written: a gigabyte of heading (sparse) when the run starts, the
    # goods appended while the program weighs the encoding.
    name = write("export.txt", b"")
    os.truncate(os.path.join(folder, name), 1 << 30)
    check("a file that changes while read", [name], [name], sim_options=[],
          append=goods(["", "<start>", "101\tХлеб\t\t42.90\t1\t0\t"]))

    port = os.path.join(folder, "port-without-rights")
    write("port-without-rights", b"")
    os.chmod(port, 0)
    # The superuser may open anything: the refusal is shown as an ordinary user.
    check("port without rights", ["/e"], [port], device=port,
          user=65534 if os.geteuid() == 0 else None)
    port = os.path.join(folder, "no-such-port")
    check("no such port", ["/e"], [port], device=port)
    port = os.path.join(folder, write("plain-file", b""))
    check("port that is a plain file", ["/e"], [port], device=port)
    simulator = Simulator([])
    check("port held by another program", ["/e"], [simulator.device], device=simulator.device,
          hold=True)
    simulator.stop()

    check("no answer to the clear run", ["/e"], [], sim_options=["--silent", "1"])
    check("no answer in the upload", [ten_items], item_3, sim_options=["--silent", "3"])
    # A complete answer and one byte more in one write: eight bytes, and never an answer.
    check("bytes but no answer to the clear run", ["/e"], ["8 байт"],
          sim_options=["--extra-byte", "1"])
    check("bytes but no answer in the upload", [ten_items], ["8 байт"] + item_3,
          sim_options=["--extra-byte", "3"])
    check("bad answer to the clear run", ["/e"], [], sim_options=["--bad-checksum", "1"])
    check("bad answer in the upload", [ten_items], item_3, sim_options=["--bad-checksum", "3"])
    check("error code for the clear run", ["/e"], ["5"], sim_options=["--error", "1:5"])
    check("error code in the upload", [ten_items], ["5"] + item_3, sim_options=["--error", "3:5"])
    # The same goods as a workbook's sheet: item 3 on row 4, below the "<start>" row.
    name = write("ten.ods", workbook([["<start>"]] + [[code, f"Товар {code}", None, 1.0, 1, 0]
                                                       for code in range(101, 111)]))
    check("error code in the upload of a workbook", [name], ["5"] + item_3,
          sim_options=["--error", "3:5"], sheet="Прайс")
    # A byte after the last answer (half a second after it, well inside the wait that follows
    # it): the answers were out of step with the frames.
    check("extra answer after the clear run", ["/e"], [], sim_options=["--stray", "1:500"])
    check("extra answer after the upload", [ten_items], ["10", "10", "110", "11"],
          sim_options=["--stray", "10:500"])
    shutil.rmtree(folder)

    for index, (template, kind, status, where) in enumerate(rows):
        if where == "Windows":
            print(f"not here: {template} (the Windows program only)")
        elif index not in covered:
            failures.append(f"no case produced the guide's row {template!r}")

    # The example quoted in the guide: its goods lines, TABs shown as arrows.
    example = open(EXAMPLE, "rb").read().decode("cp1251").replace("\r\n", "\n").split("\n")
    quoted = re.search(r"\(`examples/goods.txt`;[^\n]*\n(?:[^\n]+\n)*\n((?:    [^\n]*\n)+)", guide)
    if quoted is None:
        failures.append("the guide quotes no lines of examples/goods.txt")
    else:
        lines = [line[4:].replace("→", "\t") for line in quoted.group(1).split("\n")]
        lines = [line for line in lines if line and line != "…"]
        for line in lines:
            if line not in example:
                failures.append(f"the guide's example line {line!r} is not in {EXAMPLE}")
        print(f"checked: the {len(lines)} lines the guide quotes from examples/goods.txt")

    failures += trace_example_failures(guide)

    for failure in failures:
        print("FAILED:", failure)
    if failures or not rows:
        print(f"{len(failures)} failed; the guide's table has {len(rows)} rows")
        return 1
    print(f"every message of the guide's table ({len(rows)} rows) checked")
    return 0


if __name__ == "__main__":
    sys.exit(main())
