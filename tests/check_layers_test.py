#!/usr/bin/env python3
"""check_layers.py on a small tree of its own: every spelling of an upward include is found."""

import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import check_layers  # noqa: E402

TREE = {
    "app/run_state.h": "",
    "text/cp1251.h": "",
    "goods/reader.h": '#include "../app/run_state.h"\n',
    "goods/reader.cpp": '#include "goods/reader.h"\n#include "app/run_state.h"\n'
                        '#include "text/cp1251.h"\n#include <vector>\n#include "zlib.h"\n',
    "goods/table.cpp": "#include <app/run_state.h>\n",
    "goods/reader_test.cpp": '#include "app/run_state.h"\n',
}


class UpwardIncludes(unittest.TestCase):
    def test_each_spelling_is_found_and_nothing_else(self):
        with tempfile.TemporaryDirectory() as root:
            for name, text in TREE.items():
                os.makedirs(os.path.join(root, os.path.dirname(name)), exist_ok=True)
                with open(os.path.join(root, name), "w", encoding="utf-8") as file:
                    file.write(text)
            self.assertEqual(sorted(check_layers.upward_includes(root)), [
                ("goods/reader.cpp", '#include "app/run_state.h"'),
                ("goods/reader.h", '#include "../app/run_state.h"'),
                ("goods/table.cpp", "#include <app/run_state.h>"),
            ])


if __name__ == "__main__":
    unittest.main()
