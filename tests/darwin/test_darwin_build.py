"""The commands the `macos` preset's build would run on a Mac, as configure_darwin.py wrote them
(TARNWICK_DARWIN_COMMANDS), held to what Apple's toolchain takes and what the product needs:
no GNU-only flag, the 26.0 target on every compile and link, ICU and simdjson static, the
executables linked by swiftc against FoundationModels. Each check is also run on a line that
breaks it, so that none passes for want of anything to find.
"""
import json
import os
import re
import shlex
import unittest

WORK = os.environ.get("TARNWICK_DARWIN_WORK", "")
TARGET = "arm64-apple-macos26.0"
EXECUTABLES = ("tarnwick_apple", "tarnwick_apple_schema")

# Flags of GNU's tools or of ELF, which Apple's ar, ld and clang refuse or ignore.
GNU_ONLY = {
    "ar D modifier": r"\bar q?c?D\b|\bqcD\b|\bqD\b",
    "ranlib -D": r"ranlib -D",
    "--build-id": r"--build-id",
    "-z relro / -z now": r"-z(,| -Xlinker | )(relro|now)\b",
    "-static-pie": r"-static-pie",
    "--eh-frame-hdr": r"--eh-frame-hdr",
    "objcopy --only-section": r"--only-section|objcopy",
    "-fstack-clash-protection": r"-fstack-clash-protection",
    "a GNU long linker option": r"(-Wl,|-Xlinker )--",
}


def load():
    with open(os.path.join(WORK, "commands.txt")) as f:
        commands = [line for line in f.read().splitlines() if line.strip()]
    with open(os.path.join(WORK, "prefixes.json")) as f:
        return commands, json.load(f)


def steps(command):
    """The programs one ninja command runs, `&&`-chained, each as its argument list."""
    return [shlex.split(part) for part in command.split(" && ") if part.strip() not in ("", ":")]


def program(step):
    return os.path.basename(step[0]) if step else ""


def swift_steps(commands):
    return [s for c in commands for s in steps(c) if program(s) == "swiftc"]


def cxx_compiles(commands):
    return [s for c in commands for s in steps(c) if program(s).startswith("clang++") and "-c" in s]


def executable_link(commands, name):
    """The step that writes the executable `name`, or None."""
    for c in commands:
        for s in steps(c):
            if "-o" in s and s[s.index("-o") + 1] == name and "-c" not in s:
                return s
    return None


def gnu_only_faults(commands):
    return [f"{what}: {c[:160]}" for c in commands for what, pattern in GNU_ONLY.items() if re.search(pattern, c)]


def swift_target_faults(commands):
    return [" ".join(s)[:160] for s in swift_steps(commands)
            if not any(s[i] == "-target" and s[i + 1] == TARGET for i in range(len(s) - 1))]


def swift_define_faults(commands):
    """swiftc refuses a -D with a value ("conditional compilation flags do not have values")."""
    def valued(step):
        return any(arg.startswith("-D") and "=" in (arg[2:] or (step[i + 1] if i + 1 < len(step) else ""))
                   for i, arg in enumerate(step))
    return [" ".join(s)[:160] for s in swift_steps(commands) if valued(s)]


# Options of clang's driver that swiftc, which links the executables, does not take.
CLANG_ONLY = re.compile(r"-Wl,.*|-pie|-static-pie|-pthread|-fstack-.*|-fsanitize.*|-fPI[CE]|-fcf-protection"
                        r"|-mmacosx-version-min=.*|-isysroot|-std=.*|-D_FORTIFY_SOURCE.*")


def swift_foreign_flag_faults(commands):
    return [f"{arg}: " + " ".join(s)[:120] for s in swift_steps(commands) for arg in s if CLANG_ONLY.fullmatch(arg)]


def import_dirs(step):
    """The directories a swiftc step searches for modules (-I, joined or not)."""
    return [arg[2:] or (step[i + 1] if i + 1 < len(step) else "") for i, arg in enumerate(step) if arg.startswith("-I")]


def boundary_module_faults(commands):
    """Shim compiles that cannot import FrameworkBoundary.h as the module TarnwickFrameworkBoundary."""
    def finds_module(directory):
        try:
            with open(os.path.join(directory, "module.modulemap")) as f:
                text = f.read()
        except OSError:
            return False
        return ("module TarnwickFrameworkBoundary" in text and 'header "FrameworkBoundary.h"' in text
                and os.path.exists(os.path.join(directory, "FrameworkBoundary.h")))
    shim = [s for s in swift_steps(commands) if any(arg.endswith(".swift") and "/Shim/" in arg for arg in s)]
    if not shim:
        return ["no swiftc step compiles the shim"]
    return [" ".join(s)[:160] for s in shim if not any(finds_module(d) for d in import_dirs(s))]


def cxx_target_faults(commands):
    need = ("-mmacosx-version-min=26.0", "-arch", "-isysroot")
    return [" ".join(s)[:160] for s in cxx_compiles(commands) if not all(flag in s for flag in need)]


def link_faults(commands, prefixes):
    """What is wrong with the two executables' links."""
    faults = []
    homebrew = prefixes["homebrew"]
    for name in EXECUTABLES:
        step = executable_link(commands, name)
        if step is None:
            faults.append(f"{name}: no link step")
            continue
        line = " ".join(step)
        if name == "tarnwick_apple":
            checks = {
                "be linked by swiftc": program(step) == "swiftc",
                "target arm64-apple-macos26.0": f"-target {TARGET}" in line,
                "link FoundationModels": "-framework FoundationModels" in line,
                "link the C++ runtime": "-lc++" in step,
            }
        else:  # the checker runs no engine: a C++ link, without Swift or the framework
            checks = {
                "be linked by the C++ driver": program(step) in ("clang++", "c++"),
                "target macOS 26": "-mmacosx-version-min=26.0" in step,
                "link no framework or Swift": "-framework FoundationModels" not in line
                                              and not any(a.startswith("-lswift") or "Shim" in a for a in step),
            }
        checks |= {
            "link ICU's libicuuc.a and libicui18n.a": all(f"{homebrew}/opt/icu4c@78/lib/lib{lib}.a" in step
                                                          for lib in ("icuuc", "icui18n")),
            "link the reduced ICU data, not ICU's whole library": "libtarnwick_icu_data.a" in step
                                                                  and not any(a.endswith("libicudata.a") for a in step),
            "link simdjson's static library": f"{homebrew}/lib/libsimdjson.a" in step,
            "link no shared library of Homebrew's": not any(".dylib" in a or a.startswith("-licu") or a == "-lsimdjson"
                                                            for a in step),
            "set no Homebrew run path": not re.search(r"-rpath(,| -Xlinker | )" + re.escape(homebrew), line),
            "link no stand-in of the framework": "StandIn" not in line and "standin" not in line,
        }
        faults += [f"{name}: must {what}" for what, ok in checks.items() if not ok]
    return faults


def archive_faults(commands):
    """C++ archives made by anything but Apple's libtool -D."""
    faults = []
    for c in commands:
        for s in steps(c):
            makes_archive = "-o" in s and s[s.index("-o") + 1].endswith(".a") and program(s) != "swiftc"
            if program(s) in ("ar", "llvm-ar", "ranlib", "llvm-ranlib") and "x" not in s[1:2]:
                faults.append(" ".join(s)[:160])
            elif makes_archive and s[:4] != ["/usr/bin/xcrun", "libtool", "-static", "-D"]:
                faults.append(" ".join(s)[:160])
    return faults


class Commands(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.commands, cls.prefixes = load()

    def test_no_gnu_only_flag(self):
        self.assertEqual(gnu_only_faults(self.commands), [])

    def test_every_swift_step_targets_macos_26(self):
        self.assertTrue(swift_steps(self.commands), "no swiftc step at all")
        self.assertEqual(swift_target_faults(self.commands), [])

    def test_no_swift_step_has_a_valued_definition(self):
        self.assertEqual(swift_define_faults(self.commands), [])

    def test_no_swift_step_has_a_clang_only_option(self):
        self.assertEqual(swift_foreign_flag_faults(self.commands), [])

    def test_the_shim_imports_the_boundary_header_as_a_module(self):
        self.assertEqual(boundary_module_faults(self.commands), [])

    def test_every_cxx_compile_targets_macos_26_arm64(self):
        self.assertTrue(cxx_compiles(self.commands), "no C++ compile at all")
        self.assertEqual(cxx_target_faults(self.commands), [])

    def test_executables_link_statically_through_swiftc_against_the_framework(self):
        self.assertEqual(link_faults(self.commands, self.prefixes), [])

    def test_archives_are_deterministic_with_apples_tools(self):
        self.assertEqual(archive_faults(self.commands), [])

    def test_icu_data_is_read_out_of_mach_o_and_reduced(self):
        data = [c for c in self.commands if "ExtractICUData.cmake" in c]
        self.assertEqual(len(data), 1, data)
        self.assertIn("-DMACHO=ON", data[0])
        self.assertRegex(data[0], r"icupkg -tl --ignore-deps -s items -a items\.txt new reduced/icudt78l\.dat")
        self.assertRegex(data[0], r"genccode -a gcc-darwin ")


class ChecksFindFaults(unittest.TestCase):
    """Each check against a command that breaks it: the Linux build's forms, and a Mac build
    with the deployment target lost or ICU linked dynamically."""
    PREFIXES = {"homebrew": "/opt/homebrew"}
    LIBRARIES = ("/opt/homebrew/opt/icu4c@78/lib/libicui18n.a /opt/homebrew/opt/icu4c@78/lib/libicuuc.a "
                 "libtarnwick_icu_data.a /opt/homebrew/lib/libsimdjson.a")
    GOOD_LINKS = ("/x/swiftc -target arm64-apple-macos26.0 -emit-executable -o tarnwick_apple a.o "
                  f"{LIBRARIES} -framework FoundationModels -lc++",
                  "/usr/bin/clang++ -arch arm64 -mmacosx-version-min=26.0 a.o -o tarnwick_apple_schema "
                  f"{LIBRARIES}")

    def links(self):
        return list(self.GOOD_LINKS)

    def test_gnu_only_flags(self):
        for line in (": && /usr/bin/ar qcD libx.a a.o && :", "/usr/bin/ranlib -D libx.a",
                     "c++ a.o -o x -Wl,--build-id=sha1", "swiftc -o x -Xlinker -z -Xlinker relro",
                     "c++ -static-pie -Wl,--eh-frame-hdr a.o -o x", "objcopy -O binary --only-section=.rodata a.o b",
                     "clang++ -fstack-clash-protection -c a.cpp"):
            with self.subTest(line=line):
                self.assertNotEqual(gnu_only_faults([line]), [])

    def test_swift_and_cxx_steps(self):
        self.assertNotEqual(swift_target_faults(["/x/swiftc -emit-library -static -o libs.a s.swift"]), [])
        self.assertNotEqual(swift_define_faults(['/x/swiftc -emit-executable -o x -DTARNWICK_ENGINE_NAME=\\"framework\\" a.o']), [])
        self.assertNotEqual(swift_define_faults(["/x/swiftc -emit-executable -o x -D NAME=1 a.o"]), [])
        self.assertEqual(swift_define_faults(["/x/swiftc -emit-library -static -o s.a -D TARNWICK_STANDIN_FUTURE s.swift"]), [])
        for arg in ("-Wl,-dead_strip", "-fstack-protector-strong", "-pie", "-D_FORTIFY_SOURCE=2"):
            self.assertNotEqual(swift_foreign_flag_faults([f"/x/swiftc -emit-executable -o x {arg} a.o"]), [])
        self.assertEqual(swift_foreign_flag_faults(["/x/swiftc -o x -framework FoundationModels -Xlinker -dead_strip"]), [])
        self.assertNotEqual(cxx_target_faults(["/usr/bin/clang++ -arch arm64 -isysroot /s -c a.cpp -o a.o"]), [])

    def test_boundary_module(self):
        framework = os.path.join(os.path.dirname(__file__), "..", "..", "TarnwickApple", "Engines", "Framework")
        shim = "/x/swiftc -target arm64-apple-macos26.0 -emit-library -static -o s.a {} " + framework + "/Shim/Boundary.swift"
        self.assertEqual(boundary_module_faults([shim.format("-I" + framework)]), [])
        self.assertEqual(boundary_module_faults([shim.format("-I " + framework)]), [])
        self.assertNotEqual(boundary_module_faults([shim.format("")]), [])
        self.assertNotEqual(boundary_module_faults([shim.format("-I" + os.path.dirname(framework))]), [])
        self.assertNotEqual(boundary_module_faults(["/x/swiftc -emit-executable -o x a.o"]), [])

    def test_links(self):
        self.assertEqual(link_faults(self.links(), self.PREFIXES), [])
        broken = {
            "a c++ link": [line.replace("/x/swiftc", "/usr/bin/clang++") for line in self.links()],
            "no target": [line.replace("-target arm64-apple-macos26.0", "") for line in self.links()],
            "the checker with no target": [line.replace("-mmacosx-version-min=26.0", "") for line in self.links()],
            "the checker linking the framework": [self.links()[0], self.links()[1] + " -framework FoundationModels"],
            "dynamic ICU": [line.replace("/opt/homebrew/opt/icu4c@78/lib/libicuuc.a", "-licuuc") for line in self.links()],
            "ICU's whole data": [line.replace("libtarnwick_icu_data.a", "/opt/homebrew/opt/icu4c@78/lib/libicudata.a")
                                 for line in self.links()],
            "no framework": [line.replace("-framework FoundationModels", "") for line in self.links()],
            "the stand-in": [line + " -lFoundationModelsStandIn" for line in self.links()],
            "dynamic simdjson": [line.replace("/opt/homebrew/lib/libsimdjson.a", "/opt/homebrew/lib/libsimdjson.26.dylib")
                                 for line in self.links()],
            "Homebrew run path": [line + " -Xlinker -rpath -Xlinker /opt/homebrew/lib" for line in self.links()],
        }
        for what, lines in broken.items():
            with self.subTest(what=what):
                self.assertNotEqual(link_faults(lines, self.PREFIXES), [])

    def test_archives(self):
        self.assertEqual(archive_faults(["/usr/bin/xcrun libtool -static -D -o liba.a a.o"]), [])
        self.assertNotEqual(archive_faults(["/usr/bin/ar qc liba.a a.o && /usr/bin/ranlib liba.a"]), [])
        self.assertNotEqual(archive_faults(["/usr/bin/xcrun libtool -static -o liba.a a.o"]), [])


if __name__ == "__main__":
    unittest.main()
