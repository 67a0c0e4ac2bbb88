"""The layer check fails where it must: a check that passed everything would let the folders
drift from the map unseen."""
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

SCRIPT = os.path.join(os.path.dirname(__file__), "..", "..", "scripts", "layers.py")
LAYERS = "low:\nhigh: low\n"
PAGE = ("# Map\n\n| Folder | Owns | Uses |\n| --- | --- | --- |\n"
        "| `low/` | the bottom | nothing |\n| `high/` | the top | `low/` |\n\nAfter.\n")


class LayerCheck(unittest.TestCase):
    def run_check(self, files, *options, layers=LAYERS, page=PAGE):
        self.root = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, self.root)
        files = dict(files, **{"docs/layers.txt": layers, "docs/architecture.md": page})
        for path, text in files.items():
            os.makedirs(os.path.join(self.root, os.path.dirname(path)), exist_ok=True)
            with open(os.path.join(self.root, path), "w") as file:
                file.write(text)
        return subprocess.run([sys.executable, SCRIPT, "--root", self.root, *options],
                              capture_output=True, text=True)

    def test_allowed_includes_pass(self):
        # Catches a check that refuses a tree keeping to its layers.
        result = self.run_check({"low/A.h": "", "high/B.cpp": '#include "low/A.h"\n'})
        self.assertEqual(result.returncode, 0, result.stderr)

    def test_faults_are_named(self):
        # Catches a forbidden edge, a folder missing from the table, an edge no longer used
        # and a stale page passing unnoticed, each named with its file and line.
        cases = [
            ({"high/B.h": "", "low/A.cpp": '#include "high/B.h"\n'}, LAYERS,
             "low/A.cpp:1: low may not include high"),
            ({"low/A.h": "", "high/B.cpp": '#include "low/A.h"\n', "odd/C.cpp": ""}, LAYERS,
             "odd/C.cpp: its folder is not listed"),
            ({"low/A.cpp": "#include <QWidget>\n"}, LAYERS, "low may not include Qt"),
            ({"low/A.h": "", "high/B.cpp": ""}, LAYERS, "high no longer includes low"),
            ({"low/A.h": "", "high/B.cpp": '#include "low/A.h"\n'}, "low: high\nhigh: low\n",
             "not listed above it"),
        ]
        for files, layers, message in cases:
            with self.subTest(message=message):
                result = self.run_check(files, layers=layers)
                self.assertEqual(result.returncode, 1)
                self.assertIn(message, result.stderr)

    def test_update_rewrites_the_table_only(self):
        # Catches an update that loses the Owns text or the rest of the page.
        files = {"low/A.h": "", "high/B.cpp": '#include "low/A.h"\n#include <QWidget>\n'}
        result = self.run_check(files, "--update", "docs/architecture.md",
                                layers="low:\nhigh: low Qt\n")
        self.assertEqual(result.returncode, 0, result.stderr)
        with open(os.path.join(self.root, "docs/architecture.md")) as page:
            text = page.read()
        self.assertIn("| `high/` | the top | `low/`, Qt |", text)
        self.assertTrue(text.startswith("# Map\n") and text.endswith("\n\nAfter.\n"))


if __name__ == "__main__":
    unittest.main()
