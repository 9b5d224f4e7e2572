"""The layer check of the include graph: the engine's own tree holds it, and
small made-up trees show that an upward include and a cycle between folders
of one layer are caught, while includes that look down pass.

Run: python3 test_include_graph.py
"""

import os
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
SCRIPT = os.path.join(HERE, "..", "tools", "include_graph.py")


def run(root, *args):
    done = subprocess.run([sys.executable, SCRIPT, "--root", root, "--quiet", *args],
                          capture_output=True, text=True, timeout=60)
    return done.returncode, done.stdout


class MadeUpTrees(unittest.TestCase):
    # (name, {file: [included headers]}, extra arguments, exit code, lines expected in the output)
    CASES = [
        ("includes that look down", {
            "board/a.cpp": ["board/a.h", "platform/p.h"],
            "eval/e.cpp": ["board/a.h", "eval/e.h"],
            "interface/i.cpp": ["search/s.h", "book/b.h", "eval/e.h"],
            "search/s.cpp": ["book/b.h", "tablebases/t.h"],
        }, [], 0, []),
        ("board includes the search", {
            "board/a.cpp": ["board/a.h", "search/s.h"],
        }, [], 1, ["upward include: board/a.cpp:2 includes search/s.h"]),
        ("a bare same-folder include is the folder's own", {
            "eval/e.cpp": ["e.h"],
        }, [], 0, []),
        ("search and book include each other", {
            "search/s.cpp": ["book/b.h"],
            "book/b.cpp": ["search/s.h"],
        }, [], 1, ["folder cycle: book <-> search"]),
        ("--below search leaves the upper layers alone", {
            "search/s.cpp": ["interface/i.h"],
            "interface/i.cpp": ["search/s.h"],
        }, ["--below", "search"], 0, []),
        ("--below search still holds eval", {
            "eval/e.cpp": ["interface/i.h"],
        }, ["--below", "search"], 1, ["upward include: eval/e.cpp:1 includes interface/i.h"]),
    ]

    def test_cases(self):
        for name, files, extra, code, lines in self.CASES:
            with self.subTest(name), tempfile.TemporaryDirectory() as root:
                for path, headers in files.items():
                    os.makedirs(os.path.join(root, os.path.dirname(path)), exist_ok=True)
                    with open(os.path.join(root, path), "w") as f:
                        f.writelines(f'#include "{h}"\n' for h in headers)
                got_code, out = run(root, *extra)
                self.assertEqual(got_code, code, out)
                for line in lines:
                    self.assertIn(line, out.splitlines())


class EngineTree(unittest.TestCase):
    def test_no_folder_includes_a_higher_layer_or_takes_part_in_a_cycle(self):
        code, out = run(os.path.join(HERE, ".."))
        self.assertEqual(code, 0, out)


if __name__ == "__main__":
    unittest.main()
