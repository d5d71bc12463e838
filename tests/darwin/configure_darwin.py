#!/usr/bin/env python3
"""Configures the `macos` preset on this machine for a Darwin target and writes out the commands
its build would run, for test_darwin_build.py to read. Nothing is compiled.

The preset's own cache variables are used, with /opt/homebrew replaced by a stand-in Homebrew
prefix of empty libraries and headers laid out as Homebrew's icu4c@78 and simdjson install them,
and a stand-in SDK. Shared libraries sit beside the static ones, so a build that picks the wrong
kind shows it in its link line.

Usage: configure_darwin.py SOURCE_DIR WORK_DIR
Writes WORK_DIR/commands.txt (`ninja -t commands`) and WORK_DIR/prefixes.json.
"""
import json
import os
import shutil
import subprocess
import sys

from presets import configure_preset

ICU_VERSION = "78.1"       # Homebrew's icu4c@78
SIMDJSON_VERSION = "4.0.2"  # Homebrew's simdjson
EMPTY_ARCHIVE = b"!<arch>\n"


def write(path, content=b"", mode=0o644):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as out:
        out.write(content.encode() if isinstance(content, str) else content)
    os.chmod(path, mode)


def homebrew(root):
    """Homebrew on Apple silicon: keg-only ICU under opt/, simdjson linked into the prefix."""
    icu = os.path.join(root, "opt", "icu4c@78")
    major, minor = ICU_VERSION.split(".")
    write(os.path.join(icu, "include", "unicode", "utypes.h"))
    write(os.path.join(icu, "include", "unicode", "uvernum.h"),
          f'#define U_ICU_VERSION_MAJOR_NUM {major}\n#define U_ICU_VERSION_MINOR_NUM {minor}\n'
          f'#define U_ICU_VERSION "{ICU_VERSION}"\n')
    for name in ("icuuc", "icui18n", "icudata"):
        write(os.path.join(icu, "lib", f"lib{name}.a"), EMPTY_ARCHIVE)
        write(os.path.join(icu, "lib", f"lib{name}.{major}.dylib"))
        write(os.path.join(icu, "lib", f"lib{name}.dylib"))
    for tool in ("icupkg", "genccode"):
        write(os.path.join(icu, "sbin", tool), "#!/bin/sh\nexit 1\n", 0o755)

    # simdjson's package names the shared library; the formula adds libsimdjson.a beside it.
    write(os.path.join(root, "include", "simdjson.h"))
    write(os.path.join(root, "lib", "libsimdjson.a"), EMPTY_ARCHIVE)
    write(os.path.join(root, "lib", "libsimdjson.26.dylib"))
    package = os.path.join(root, "lib", "cmake", "simdjson")
    write(os.path.join(package, "simdjson-config.cmake"),
          "if(NOT TARGET simdjson::simdjson)\n"
          "  add_library(simdjson::simdjson SHARED IMPORTED)\n"
          "  set_target_properties(simdjson::simdjson PROPERTIES\n"
          f'    IMPORTED_LOCATION "{root}/lib/libsimdjson.26.dylib"\n'
          f'    INTERFACE_INCLUDE_DIRECTORIES "{root}/include")\n'
          "endif()\n")
    # As simdjson's own version file: the same major version only.
    write(os.path.join(package, "simdjson-config-version.cmake"),
          f'set(PACKAGE_VERSION "{SIMDJSON_VERSION}")\n'
          "if(PACKAGE_FIND_VERSION_MAJOR STREQUAL \"\" OR\n"
          f"   (PACKAGE_FIND_VERSION_MAJOR EQUAL {SIMDJSON_VERSION.split('.')[0]} AND\n"
          "    NOT PACKAGE_FIND_VERSION VERSION_GREATER PACKAGE_VERSION))\n"
          "  set(PACKAGE_VERSION_COMPATIBLE TRUE)\n"
          "  if(PACKAGE_FIND_VERSION STREQUAL PACKAGE_VERSION)\n"
          "    set(PACKAGE_VERSION_EXACT TRUE)\n"
          "  endif()\n"
          "else()\n"
          "  set(PACKAGE_VERSION_COMPATIBLE FALSE)\n"
          "endif()\n")


def xcode(root):
    """Xcode's compiler, by its path only: it is named in commands and never run."""
    write(os.path.join(root, "usr", "bin", "swiftc"), "#!/bin/sh\nexit 1\n", 0o755)


def sdk(root):
    """The headers the configure checks include; the frameworks are only named on link lines."""
    write(os.path.join(root, "usr", "include", "pthread.h"))
    write(os.path.join(root, "SDKSettings.json"), '{"Version":"26.0"}\n')


def main():
    source, work = (os.path.abspath(a) for a in sys.argv[1:3])
    shutil.rmtree(work, ignore_errors=True)
    prefix = os.path.join(work, "homebrew")
    sdk_root = os.path.join(work, "MacOSX26.0.sdk")
    xcode_root = os.path.join(work, "Xcode.app", "Contents", "Developer", "Toolchains", "XcodeDefault.xctoolchain")
    homebrew(prefix)
    xcode(xcode_root)
    sdk(sdk_root)

    preset = configure_preset(source, "macos")
    variables = dict(preset["cacheVariables"])
    for name, value in variables.items():
        if isinstance(value, str) and value.startswith("/opt/homebrew"):
            variables[name] = prefix + value[len("/opt/homebrew"):]
    build = os.path.join(work, "build")
    command = ["cmake", "-S", source, "-B", build, "-G", preset["generator"],
               f"-DCMAKE_TOOLCHAIN_FILE={os.path.join(source, 'tests', 'darwin', 'Darwin.toolchain.cmake')}"]
    command += [f"-D{name}={value}" for name, value in variables.items()]
    env = dict(os.environ, TARNWICK_DARWIN_SDK=sdk_root, TARNWICK_DARWIN_HOMEBREW=prefix,
               TARNWICK_DARWIN_XCODE=xcode_root)
    # The compiler cache of the surrounding build has no business here.
    env.pop("CMAKE_CXX_COMPILER_LAUNCHER", None)
    env.pop("CMAKE_C_COMPILER_LAUNCHER", None)
    configured = subprocess.run(command, env=env, capture_output=True, text=True)
    if configured.returncode != 0:
        print(configured.stdout + configured.stderr)
        print("configure of the macos preset for Darwin failed")
        return 1
    commands = subprocess.run(["ninja", "-C", build, "-t", "commands"], capture_output=True, text=True)
    if commands.returncode != 0:
        print(commands.stderr)
        return 1
    write(os.path.join(work, "commands.txt"), commands.stdout)
    write(os.path.join(work, "prefixes.json"), json.dumps({"homebrew": prefix, "sdk": sdk_root, "xcode": xcode_root}))
    print(f"{len(commands.stdout.splitlines())} commands in {os.path.join(work, 'commands.txt')}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
