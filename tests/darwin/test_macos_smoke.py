"""scripts/macos-smoke as the Mac workflow runs it, here against the framework engine's test sidecar
(the boundary double, TARNWICK_TEST_DOUBLE) and the reference sidecar: its exit status and last
line for a usable model, an unusable one, a broken one and the wrong engine; and the readers of
`otool -l` and of the binary's bytes behind its macOS-only checks.
"""
import importlib.machinery
import os
import subprocess
import types
import unittest

SOURCE = os.environ.get("TARNWICK_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", ".."))
SMOKE = os.path.join(SOURCE, "scripts", "macos-smoke")


def load_smoke():
    loader = importlib.machinery.SourceFileLoader("macos_smoke", SMOKE)
    module = types.ModuleType("macos_smoke")
    module.__file__ = SMOKE
    loader.exec_module(module)
    return module


class Runs(unittest.TestCase):
    # (sidecar, TARNWICK_FRAMEWORK_DOUBLE, exit status, start of the last line)
    CASES = [
        ("TARNWICK_TEST_DOUBLE", "", 0, "macos-smoke: every check passed against the on-device model"),
        ("TARNWICK_TEST_DOUBLE", "fail:rateLimited", 0, "macos-smoke: every check passed against the on-device model"),
        ("TARNWICK_TEST_DOUBLE", "unavailable:modelNotReady", 2,
         "macos-smoke: passed, but no Apple Intelligence here (MODEL_NOT_READY)"),
        ("TARNWICK_TEST_DOUBLE", "unavailable:appleIntelligenceNotEnabled", 2,
         "macos-smoke: passed, but no Apple Intelligence here (APPLE_INTELLIGENCE_NOT_ENABLED)"),
        ("TARNWICK_TEST_DOUBLE", "broken:notJSON", 1, "macos-smoke: 2 check(s) FAILED"),
        ("TARNWICK_TEST_REFERENCE", "", 1, "macos-smoke: 1 check(s) FAILED"),  # engine: reference
    ]

    def test_status_and_summary(self):
        for sidecar, double, status, last in self.CASES:
            with self.subTest(sidecar=sidecar, double=double):
                env = dict(os.environ, TARNWICK_FRAMEWORK_DOUBLE=double)
                done = subprocess.run([SMOKE, os.environ[sidecar]], env=env, capture_output=True, text=True,
                                      timeout=120)
                self.assertEqual(done.returncode, status, done.stdout)
                self.assertTrue(done.stdout.splitlines()[-1].startswith(last), done.stdout)
                self.assertEqual(done.stderr, "")

    def test_missing_binary(self):
        done = subprocess.run([SMOKE, "/nonexistent/tarnwick_apple"], capture_output=True, text=True)
        self.assertEqual(done.returncode, 1)
        self.assertIn("no executable at /nonexistent/tarnwick_apple", done.stdout)


class Readers(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.smoke = load_smoke()

    def test_minimum_os(self):
        build_version = ("Load command 9\n      cmd LC_BUILD_VERSION\n  cmdsize 32\n platform 1\n"
                         "    minos {minos}\n      sdk 26.2\n   ntools 1\n")
        older = "Load command 8\n      cmd LC_VERSION_MIN_MACOSX\n  cmdsize 16\n  version 15.0\n      sdk 15.0\n"
        dylib = "Load command 12\n          cmd LC_LOAD_DYLIB\n      cmdsize 56\n         name /usr/lib/libc++.1.dylib\n"
        for text, minos in ((build_version.format(minos="26.0"), "26.0"),
                            (dylib + build_version.format(minos="15.5"), "15.5"),
                            (older, "15.0"), (dylib, None), ("", None)):
            with self.subTest(text=text):
                self.assertEqual(self.smoke.minimum_os(text), minos)

    def test_homebrew_paths(self):
        binary = (b"\x00\x01/usr/lib/libc++.1.dylib\x00/opt/homebrew/opt/icu4c@78/lib/libicuuc.78.dylib\x00"
                  b"text /usr/local/Cellar/simdjson/4.0.2/lib\x07")
        self.assertEqual(self.smoke.homebrew_paths(binary),
                         ["/opt/homebrew/opt/icu4c@78/lib/libicuuc.78.dylib", "/usr/local/Cellar/simdjson/4.0.2/lib"])
        self.assertEqual(self.smoke.homebrew_paths(b"/usr/lib/libSystem.B.dylib\x00/opt/homebrewery"), [])


if __name__ == "__main__":
    unittest.main()
