#!/usr/bin/env python3
"""Keeps register-sim's manual pages in step with the program: every option that
`register-sim --help` lists must have its own entry (a .B or .BI line) in each page.

Usage: check_sim_manual_pages.py REGISTER_SIM PAGE...
Exit status 0 passed, 1 failed.
"""

import re
import subprocess
import sys


def listed_options(program):
    """The options at the start of the usage lines: "--late", "-v" and so on."""
    usage = subprocess.run([program, "--help"], capture_output=True, text=True, timeout=10).stdout
    return re.findall(r"^  (--?[a-z][a-z-]*)", usage, re.M)


def main():
    program, pages = sys.argv[1], sys.argv[2:]
    options = listed_options(program)
    failures = [] if options else [f"{program} --help lists no options"]
    for page in pages:
        text = open(page, encoding="utf-8").read()
        for option in options:
            roff = re.escape(option.replace("-", "\\-"))
            if not re.search(rf"^\.BI? {roff}(?=[ \n])", text, re.M):
                failures.append(f"{page}: no entry for {option}")
    for failure in failures:
        print("FAILED:", failure)
    print(f"{len(options)} options of register-sim --help looked for in {len(pages)} pages")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
