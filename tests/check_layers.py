#!/usr/bin/env python3
"""Fails when a layer's own sources include a header of a layer above it.

The program's layers, lowest first: text, goods, register, app. Each layer's sources are
compiled with the project's root as their include directory, so the compiler alone would let
goods/ include "app/run_state.h"; this check does not. An include is resolved as the compiler
resolves it: a quoted one first against the including file's folder, then against the root;
one in angle brackets against the root. Headers found in neither place (the C and C++
libraries, zlib, Expat, the generated version header) are not the program's. A layer's test
files (*_test.cpp) may include anything.

Usage: check_layers.py [ROOT]   (ROOT: the source tree, by default this file's parent's parent)
"""

import os
import re
import sys

LAYERS = ["text", "goods", "register", "app"]
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^">]+)[">]')


def resolve(root, including_dir, spelling, name):
    """The file of the tree an include names, or None when it names none."""
    places = [including_dir, root] if spelling == '"' else [root]
    for place in places:
        path = os.path.normpath(os.path.join(place, name))
        if os.path.isfile(path):
            return path
    return None


def upward_includes(root):
    """[(file, include line)] for each include of a higher layer's file, paths from ROOT."""
    root = os.path.abspath(root)
    found = []
    for rank, layer in enumerate(LAYERS):
        for folder, _, files in os.walk(os.path.join(root, layer)):
            for file in sorted(files):
                if file.endswith("_test.cpp") or not file.endswith((".h", ".cpp")):
                    continue
                path = os.path.join(folder, file)
                with open(path, encoding="utf-8") as source:
                    for line in source:
                        match = INCLUDE.match(line)
                        if not match:
                            continue
                        target = resolve(root, folder, match.group(1), match.group(2))
                        if target is None:
                            continue
                        top = os.path.relpath(target, root).split(os.sep)[0]
                        if top in LAYERS and LAYERS.index(top) > rank:
                            found.append((os.path.relpath(path, root), line.strip()))
    return found


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..")
    found = upward_includes(root)
    for file, line in found:
        print(f"{file}: includes a layer above its own: {line}")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
