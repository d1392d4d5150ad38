#!/usr/bin/env python3
"""Static checks of a built TALLY.EXE, without running it.

- exports INITCOMCTL32 and GETSYSFILEVER under exactly these names (no @N decoration);
- GUI subsystem;
- imports only from system DLLs (no C++ runtime DLL beside the exe, and no COMCTL32, which
  the program loads by name at run time); winmm for the 1 ms timer;
- does not import SetProcessInformation, which Windows before 8 lacks (the program looks it
  up at run time and starts without it);
- bitmap 2: 218 x 170, 8 bits per pixel, 256-entry colour table, uncompressed, bottom-up,
  its bottom six rows one plain light colour;
- icon group with 32 x 32 and 16 x 16 images in 16 colours; version information, and with
  --version X.Y.Z its file and product version, numbers and texts alike;
- application manifest 1: runs as the invoker, supported on Windows 7, 8, 8.1 and 10/11, long
  paths allowed, and nothing else (no common-controls version 6: the window keeps its look).

Usage: check_windows_exe.py [--skip-missing] [--version X.Y.Z] TALLY.EXE...
Exports, imports and subsystem come from the MinGW objdump ("objdump -p"); the resources are
read from the file's resource section. Exits 77 when --skip-missing is given and none of the
files exists (the Windows builds have not been made), 1 on a failed check.
"""

import os
import shutil
import struct
import subprocess
import sys
import xml.etree.ElementTree as ElementTree

SYSTEM_DLLS = {
    "kernel32.dll", "user32.dll", "gdi32.dll", "version.dll", "msvcrt.dll", "advapi32.dll", "winmm.dll",
}
EXPORTS = {"INITCOMCTL32", "GETSYSFILEVER"}
RT_ICON, RT_BITMAP, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 2, 14, 16, 24
# The supported-OS identifiers Microsoft publishes for Windows 7, 8, 8.1 and 10 (which 11 shares).
SUPPORTED_OS = {
    "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}", "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",
    "{1f676c76-80e1-4239-95bb-83d0f6d0da78}", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",
}
ASM_V1 = "{urn:schemas-microsoft-com:asm.v1}"
ASM_V3 = "{urn:schemas-microsoft-com:asm.v3}"
COMPATIBILITY = "{urn:schemas-microsoft-com:compatibility.v1}"
WINDOWS_SETTINGS_2016 = "{http://schemas.microsoft.com/SMI/2016/WindowsSettings}"


class PeFile:
    def __init__(self, data):
        self.data = data
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("not a PE file")
        self.machine, sections = struct.unpack_from("<HH", data, pe + 4)
        optional_size = struct.unpack_from("<H", data, pe + 20)[0]
        optional = pe + 24
        magic = struct.unpack_from("<H", data, optional)[0]
        directories = optional + (96 if magic == 0x10B else 112)
        self.resource_rva = struct.unpack_from("<I", data, directories + 2 * 8)[0]
        self.sections = []
        table = optional + optional_size
        for i in range(sections):
            vsize, rva, rawsize, raw = struct.unpack_from("<IIII", data, table + 40 * i + 8)
            self.sections.append((rva, max(vsize, rawsize), raw))

    def offset(self, rva):
        for start, size, raw in self.sections:
            if start <= rva < start + size:
                return raw + rva - start
        raise ValueError("address outside the sections: %#x" % rva)

    def resources(self):
        """{(type, name): data} for the numeric types and names, first language of each."""
        found = {}
        if self.resource_rva == 0:
            return found
        base = self.offset(self.resource_rva)

        def entries(directory):
            named, numbered = struct.unpack_from("<HH", self.data, base + directory + 12)
            for i in range(named + numbered):
                ident, target = struct.unpack_from("<II", self.data, base + directory + 16 + 8 * i)
                yield ident, target

        for type_id, type_target in entries(0):
            if not type_target & 0x80000000 or type_id & 0x80000000:
                continue
            for name_id, name_target in entries(type_target & 0x7FFFFFFF):
                if name_id & 0x80000000:
                    continue
                language = next(iter(entries(name_target & 0x7FFFFFFF)))[1]
                rva, size = struct.unpack_from("<II", self.data, base + language)
                found[(type_id, name_id)] = self.data[self.offset(rva):self.offset(rva) + size]
        return found


class Checks:
    def __init__(self, name):
        self.name, self.failures, self.passes = name, 0, 0

    def expect(self, condition, what):
        print("%s: %s: %s" % (self.name, "ok" if condition else "FAILED", what))
        if condition:
            self.passes += 1
        else:
            self.failures += 1


def objdump_for(machine):
    prefix = {0x14C: "i686-w64-mingw32", 0x8664: "x86_64-w64-mingw32"}.get(machine)
    return shutil.which(prefix + "-objdump") if prefix else None


def check_objdump(checks, path, tool):
    text = subprocess.run([tool, "-p", path], capture_output=True, text=True, check=True).stdout
    checks.expect("(Windows GUI)" in text, "GUI subsystem")

    names, in_table = set(), False
    for line in text.splitlines():
        if "[Ordinal/Name Pointer] Table" in line or "[Name Pointer/Ordinal] Table" in line:
            in_table = True
            continue
        if in_table:
            parts = line.split("]", 1)
            if len(parts) == 2 and parts[0].strip().startswith("["):
                names.add(parts[1].strip())
            elif line.strip() == "":
                in_table = False
    checks.expect(names == EXPORTS, "exports exactly %s (found %s)" % (sorted(EXPORTS), sorted(names)))

    dlls = {line.split(":", 1)[1].strip().lower() for line in text.splitlines() if "DLL Name:" in line}
    checks.expect(bool(dlls) and dlls <= SYSTEM_DLLS, "imports only system DLLs (%s)" % ", ".join(sorted(dlls)))
    checks.expect("comctl32.dll" not in dlls, "COMCTL32 is not imported")
    imported = set()
    for line in text.splitlines():
        parts = line.split()
        # "<address> <hint> <name>" lines of the import tables
        if len(parts) == 3 and parts[1].isdigit():
            imported.add(parts[2])
    checks.expect("timeBeginPeriod" in imported and "timeEndPeriod" in imported,
                  "the 1 ms timer calls are imported from winmm")
    checks.expect("SetProcessInformation" not in imported,
                  "SetProcessInformation is not imported (looked up at run time)")


def check_bitmap(checks, data):
    (size, width, height, planes, bits, compression, _, _, _, used, _) = struct.unpack_from("<IiiHHIIiiII", data, 0)
    checks.expect(size == 40, "bitmap 2 has a BITMAPINFOHEADER")
    checks.expect((width, height) == (218, 170), "bitmap 2 is 218 x 170, bottom-up (%d x %d)" % (width, height))
    checks.expect(planes == 1 and bits == 8, "bitmap 2 has 8 bits per pixel (%d)" % bits)
    checks.expect(compression == 0, "bitmap 2 is uncompressed (BI_RGB)")
    colours = used or 256
    checks.expect(colours == 256, "bitmap 2 has a 256-entry colour table (%d)" % colours)
    stride = (width + 3) & ~3
    pixels = data[size + 4 * colours:]
    checks.expect(len(pixels) >= stride * abs(height), "bitmap 2 holds all its rows")
    if len(pixels) < stride * abs(height):
        return
    table = [tuple(data[size + 4 * i:size + 4 * i + 3]) for i in range(colours)]
    bottom = {pixels[row * stride + x] for row in range(6) for x in range(width)}  # bottom-up
    plain = len(bottom) == 1 and min(table[next(iter(bottom))]) >= 230
    checks.expect(plain, "bitmap 2's bottom six rows are one light colour")
    everything = {pixels[row * stride + x] for row in range(abs(height)) for x in range(width)}
    checks.expect(len(everything) > 32, "bitmap 2 is a picture (%d colours used)" % len(everything))


def check_icons(checks, resources):
    groups = [data for (kind, _), data in resources.items() if kind == RT_GROUP_ICON]
    checks.expect(len(groups) == 1, "one icon group (%d)" % len(groups))
    if len(groups) != 1:
        return
    group = groups[0]
    _, kind, count = struct.unpack_from("<HHH", group, 0)
    sizes = []
    for i in range(count):
        w, h, colours, _, planes, bits, _, ident = struct.unpack_from("<BBBBHHIH", group, 6 + 14 * i)
        image = resources.get((RT_ICON, ident))
        ok = image is not None and struct.unpack_from("<iiHH", image, 4)[2:] == (1, 4)
        checks.expect(ok and bits == 4 and colours == 16, "icon %d x %d has 16 colours (4 bits)" % (w, h))
        sizes.append((w, h))
    checks.expect(kind == 1 and sorted(sizes) == [(16, 16), (32, 32)], "icon group holds 32 x 32 and 16 x 16 (%s)" % sizes)


def check_version(checks, data, version):
    """The fixed file information and the version strings carry the project's version."""
    signature = data.find(struct.pack("<I", 0xFEEF04BD))
    checks.expect(signature >= 0, "fixed file information present")
    if signature < 0:
        return
    file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<IIII", data, signature + 8)
    parts = [int(p) for p in version.split(".")] + [0] * 4
    ms, ls = parts[0] << 16 | parts[1], parts[2] << 16 | parts[3]
    checks.expect((file_ms, file_ls) == (ms, ls), "file version is %s" % version)
    checks.expect((product_ms, product_ls) == (ms, ls), "product version is %s" % version)
    for key in ("FileVersion", "ProductVersion"):
        entry = (key + "\0").encode("utf-16-le")
        at = data.find(entry)
        value_at = at + len(entry)
        value_at += (4 - value_at % 4) % 4  # the value starts on a 32-bit boundary
        expected = (version + "\0").encode("utf-16-le")
        checks.expect(at >= 0 and data[value_at:value_at + len(expected)] == expected,
                      "%s text is %s" % (key, version))


def check_manifest(checks, data):
    try:
        root = ElementTree.fromstring(data)
    except ElementTree.ParseError as error:
        checks.expect(False, "the manifest is well-formed XML (%s)" % error)
        return
    checks.expect(root.tag == ASM_V1 + "assembly", "the manifest is an assembly (%s)" % root.tag)
    levels = [(e.get("level"), e.get("uiAccess")) for e in root.iter(ASM_V3 + "requestedExecutionLevel")]
    checks.expect(levels == [("asInvoker", "false")], "runs as the invoker (%s)" % levels)
    systems = [e.get("Id") for e in root.iter(COMPATIBILITY + "supportedOS")]
    checks.expect(sorted(systems) == sorted(SUPPORTED_OS), "supported on Windows 7 to 11 (%s)" % systems)
    long_paths = [(e.text or "").strip() for e in root.iter(WINDOWS_SETTINGS_2016 + "longPathAware")]
    checks.expect(long_paths == ["true"], "long paths allowed (%s)" % long_paths)
    # Nothing else: no dependency (common controls 6), no DPI or other window settings.
    leaves = sorted(e.tag.split("}")[-1] for e in root.iter() if len(e) == 0)
    checks.expect(leaves == ["longPathAware", "requestedExecutionLevel"] + ["supportedOS"] * 4,
                  "nothing else in the manifest (%s)" % leaves)
    checks.expect(not list(root.iter(ASM_V1 + "dependency")), "no common-controls version 6")


def check(path, version=None):
    checks = Checks(path)
    with open(path, "rb") as f:
        pe = PeFile(f.read())
    tool = objdump_for(pe.machine)
    checks.expect(tool is not None, "MinGW objdump for machine %#x found" % pe.machine)
    if tool:
        check_objdump(checks, path, tool)
    resources = pe.resources()
    checks.expect((RT_BITMAP, 2) in resources, "bitmap resource 2 present")
    if (RT_BITMAP, 2) in resources:
        check_bitmap(checks, resources[(RT_BITMAP, 2)])
    check_icons(checks, resources)
    checks.expect((RT_VERSION, 1) in resources, "version information present")
    if version and (RT_VERSION, 1) in resources:
        check_version(checks, resources[(RT_VERSION, 1)], version)
    manifests = [name for kind, name in resources if kind == RT_MANIFEST]
    checks.expect(manifests == [1], "one application manifest, number 1 (%s)" % manifests)
    if (RT_MANIFEST, 1) in resources:
        check_manifest(checks, resources[(RT_MANIFEST, 1)])
    return checks


def main(argv):
    skip_missing = "--skip-missing" in argv
    version = None
    if "--version" in argv:
        at = argv.index("--version")
        version = argv[at + 1]
        argv = argv[:at] + argv[at + 2:]
    paths = [a for a in argv if a != "--skip-missing"]
    present = [p for p in paths if os.path.exists(p)]
    for p in paths:
        if p not in present:
            print("%s: not built, not checked" % p)
    if not present:
        print("no Windows build of TALLY.EXE found: skipped (build the windows-x64 or windows-x86 preset)")
        return 77 if skip_missing else 1
    results = [check(p, version) for p in present]
    passed = sum(r.passes for r in results)
    failed = sum(r.failures for r in results)
    print("%d passed, %d failed" % (passed, failed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
