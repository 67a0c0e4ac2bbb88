"""The layer check fails where it must: a check that passed everything would let the folders
drift from the map unseen."""
import contextlib
import io
import os
import shutil
import sys
import tempfile
import unittest

sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts"))
import layers as layer_check  # noqa: E402  (found through the path just set)
LAYERS = "low:\nhigh: low\n"
PAGE = ("# Map\n\n| Folder | Owns | Uses |\n| --- | --- | --- |\n"
        "| `low/` | the bottom | nothing |\n| `high/` | the top | `low/` |\n\nAfter.\n")


class LayerCheck(unittest.TestCase):
    def run_check(self, files, *options, layers=LAYERS, page=PAGE):
        """The check's exit status and what it wrote on stderr."""
        self.root = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, self.root)
        files = dict(files, **{"docs/layers.txt": layers, "docs/architecture.md": page})
        for path, text in files.items():
            os.makedirs(os.path.join(self.root, os.path.dirname(path)), exist_ok=True)
            with open(os.path.join(self.root, path), "w") as file:
                file.write(text)
        errors = io.StringIO()
        with contextlib.redirect_stderr(errors), contextlib.redirect_stdout(io.StringIO()):
            status = layer_check.main(["--root", self.root, *options])
        return status, errors.getvalue()

    def test_allowed_includes_pass(self):
        # Catches a check that refuses a tree keeping to its layers.
        status, errors = self.run_check({"low/A.h": "", "high/B.cpp": '#include "low/A.h"\n'})
        self.assertEqual(status, 0, errors)

    def test_faults_are_named(self):
        # Catches a forbidden edge (in any of the three include forms), a folder missing from
        # the table, an edge no longer used and a stale page passing unnoticed, each named
        # with its file and line.
        cases = [
            ({"high/B.h": "", "low/A.cpp": '#include "high/B.h"\n'}, LAYERS,
             "low/A.cpp:1: low may not include high"),
            ({"low/A.h": "", "high/B.cpp": '#include "low/A.h"\n', "odd/C.cpp": ""}, LAYERS,
             "odd/C.cpp: its folder is not listed"),
            ({"low/A.cpp": "#include <QWidget>\n"}, LAYERS, "low may not include Qt"),
            ({"high/B.h": "", "low/A.cpp": "#include <high/B.h>\n"}, LAYERS,
             "low/A.cpp:1: \"high/B.h\" names our header in angle brackets"),
            ({"high/B.h": "", "low/A.cpp": '#include "../high/B.h"\n'}, LAYERS,
             "low/A.cpp:1: \"../high/B.h\" climbs out of its folder"),
            ({"low/A.h": "", "high/B.cpp": ""}, LAYERS, "high no longer includes low"),
            ({"low/A.h": "", "high/B.cpp": '#include "low/A.h"\n'}, "low: high\nhigh: low\n",
             "not listed above it"),
        ]
        for files, layers, message in cases:
            with self.subTest(message=message):
                status, errors = self.run_check(files, layers=layers)
                self.assertEqual(status, 1)
                self.assertIn(message, errors)

    def test_update_rewrites_the_table_only(self):
        # Catches an update that loses the Owns text or the rest of the page.
        files = {"low/A.h": "", "high/B.cpp": '#include "low/A.h"\n#include <QWidget>\n'}
        status, errors = self.run_check(files, "--update", "docs/architecture.md",
                                        layers="low:\nhigh: low Qt\n")
        self.assertEqual(status, 0, errors)
        with open(os.path.join(self.root, "docs/architecture.md")) as page:
            text = page.read()
        self.assertIn("| `high/` | the top | `low/`, Qt |", text)
        self.assertTrue(text.startswith("# Map\n") and text.endswith("\n\nAfter.\n"))


if __name__ == "__main__":
    unittest.main()
