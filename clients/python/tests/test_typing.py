"""The Python client's types through `mypy --strict`: the package and a typed caller check clean, and
each misuse in typed_misuse.py is refused on its own line (a closed set, a prompt, the result type).
"""

import importlib.util
import os
import re
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
PACKAGE = os.path.join(HERE, "..", "tarnwick_apple")


@unittest.skipUnless(importlib.util.find_spec("mypy"), "mypy is not installed (apt-get install mypy)")
class Typing(unittest.TestCase):
    def test_strict_mypy_accepts_the_caller_and_refuses_each_misuse(self):
        with tempfile.TemporaryDirectory() as cache:
            done = subprocess.run(
                [sys.executable, "-m", "mypy", "--strict", "--python-version", "3.11", "--cache-dir", cache,
                 "--no-error-summary", "--hide-error-context", PACKAGE, os.path.join(HERE, "typed_example.py"),
                 os.path.join(HERE, "typed_misuse.py")],
                cwd=os.path.join(HERE, ".."), capture_output=True, text=True, timeout=300, check=False)
        errors = re.findall(r"^(\S+?):(\d+): error: .*\[([a-z-]+)\]$", done.stdout, re.MULTILINE)
        self.assertEqual(sorted((os.path.basename(path), int(line), code) for path, line, code in errors), [
            ("typed_misuse.py", 5, "call-overload"),  # use_case="chat"
            ("typed_misuse.py", 6, "call-overload"),  # guardrails="strict"
            ("typed_misuse.py", 7, "call-overload"),  # a prompt that is not a str
            ("typed_misuse.py", 8, "call-overload"),  # sampling="Greedy"
            ("typed_misuse.py", 9, "assignment"),  # plain text is a str
            ("typed_misuse.py", 10, "arg-type"),  # executable=7
        ], done.stdout + done.stderr)


if __name__ == "__main__":
    unittest.main()
