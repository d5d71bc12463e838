"""The Homebrew formula and the Mac workflow against the README's "On a Mac": the Ruby parses
(`ruby -c`), the dependencies are the README's `brew install` line exactly, the build steps are
the README's, and packaging/homebrew/local-formula writes a formula whose sha256 is its tarball's.
"""
import hashlib
import os
import re
import subprocess
import tarfile
import tempfile
import unittest

from presets import configure_preset

SOURCE = os.environ.get("TARNWICK_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", ".."))
FORMULA = os.path.join(SOURCE, "packaging", "homebrew", "tarnwick-apple.rb")
WORKFLOW = os.path.join(SOURCE, ".github", "workflows", "macos.yml")


def read(path):
    with open(path) as f:
        return f.read()


def readme_mac():
    text = read(os.path.join(SOURCE, "README.md"))
    return text[text.index("## On a Mac\n"):text.index("## Building by hand\n")]


def brew_line(text):
    lines = re.findall(r"^\s*(?:run: )?brew install ((?!--)[^\n]+)$", text, re.M)
    return [line.split() for line in lines]


def formula_systems(text):
    """Every `system "a", "b", ...` of the formula as its list of literal strings."""
    calls = re.findall(r'^\s*system ((?:"[^"]*"(?:,\s*)?)+)', text, re.M)
    return [re.findall(r'"([^"]*)"', call) for call in calls]


class Formula(unittest.TestCase):
    def test_ruby_parses(self):
        done = subprocess.run(["ruby", "-c", FORMULA], capture_output=True, text=True)
        self.assertEqual((done.returncode, done.stdout.strip()), (0, "Syntax OK"), done.stderr)

    def test_dependencies_are_the_readme_brew_line(self):
        readme = brew_line(readme_mac())
        self.assertEqual(len(readme), 1, readme)
        formula = re.findall(r'^\s*depends_on "([^"]+)"', read(FORMULA), re.M)
        self.assertEqual(sorted(formula), sorted(readme[0]))
        self.assertEqual(brew_line(read(WORKFLOW)), readme)

    def test_build_steps_are_the_readme_and_the_preset(self):
        preset = configure_preset(SOURCE, "macos")
        build_dir = preset["binaryDir"].replace("${sourceDir}/", "")
        steps = formula_systems(read(FORMULA))
        self.assertEqual(len(steps), 3, steps)
        self.assertEqual(steps[0][:3], ["cmake", "--preset", "macos"])
        self.assertEqual(steps[1], ["cmake", "--build", "--preset", "macos"])
        self.assertEqual(steps[2], ["cmake", "--install", build_dir])
        readme = readme_mac()
        for command in ("cmake --preset macos", "cmake --build --preset macos"):
            self.assertIn(command, readme)
        # The Homebrew paths it passes are the ones the README tells a user outside /opt/homebrew to pass.
        passed = {arg.split("=")[0] for arg in steps[0][3:] if arg.startswith("-D")}
        self.assertTrue({"-DICU_ROOT", "-DCMAKE_PREFIX_PATH"} <= passed, passed)
        self.assertIn("-DICU_ROOT=$(brew --prefix\nicu4c@78) -DCMAKE_PREFIX_PATH=$(brew --prefix)", readme)

    def test_local_formula_points_at_its_tarball(self):
        with tempfile.TemporaryDirectory() as out:
            done = subprocess.run([os.path.join(SOURCE, "packaging", "homebrew", "local-formula"), out],
                                  capture_output=True, text=True)
            self.assertEqual(done.returncode, 0, done.stderr)
            written = read(os.path.join(out, "tarnwick-apple.rb"))
            url = re.search(r'^  url "file://([^"]+)"$', written, re.M)
            sha = re.search(r'^  sha256 "([0-9a-f]{64})"$', written, re.M)
            self.assertTrue(url and sha, written)
            with open(url.group(1), "rb") as f:
                self.assertEqual(hashlib.sha256(f.read()).hexdigest(), sha.group(1))
            version = re.search(r"project\(tarnwick_apple VERSION ([0-9.]+)", read(os.path.join(SOURCE, "CMakeLists.txt")))
            self.assertTrue(url.group(1).endswith(f"/tarnwick_apple-{version.group(1)}.tar.gz"))
            with tarfile.open(url.group(1)) as tarball:
                self.assertIn(f"tarnwick_apple-{version.group(1)}/CMakePresets.json", tarball.getnames())
            # Only url and sha256 differ from the formula in the tree.
            original = read(FORMULA).splitlines()
            changed = [a for a, b in zip(original, written.splitlines()) if a != b]
            self.assertEqual([line.split()[0] for line in changed], ["url", "sha256"])
            ruby = subprocess.run(["ruby", "-c", os.path.join(out, "tarnwick-apple.rb")], capture_output=True)
            self.assertEqual(ruby.returncode, 0)


if __name__ == "__main__":
    unittest.main()
