#!/usr/bin/env python3
"""Runs families of hostile inputs at growing sizes through the sidecar and the checker and
prints each run's CPU time and peak memory, with the ratios between successive sizes (linear
means about 10x per 10x). With --largest it runs each family's largest case once, checks the
answer and fails on a run that outlasts --deadline: the tests use that as a hang guard.

Usage: bench/complexity.py [--sidecar PATH] [--checker PATH] [--runs N] [--family NAME]...
       bench/complexity.py --largest [--deadline SECONDS] [--sidecar PATH] [--checker PATH]
"""
import argparse
import json
import os
import subprocess
import sys
import tempfile
import time

KB = 1000


def request(schema, sampling="greedy"):
    return {"prompt": "x", "use_case": "general", "guardrails": "default",
            "options": {"sampling": {"mode": sampling} if sampling == "greedy" else
                        {"mode": "random", "seed": 7}},
            "schema": schema}


def string_property(pattern=None, const=None):
    node = {"type": "string"}
    if pattern is not None:
        node["pattern"] = pattern
    if const is not None:
        node["const"] = const
    return {"type": "object", "properties": {"s": node}, "required": ["s"]}


def nested_empty_loops(size):
    # ( ... (a{0}){3} ... ){3}: nesting grows with the size (about 12 bytes a level), up to the
    # generator's limit of 64.
    depth = min(max(size // 12, 1), 60)
    return "sidecar", request(string_property("(" * depth + "a{0}" + "){3}" * depth), "random")


def const_against_pattern(size):
    # The same unmatchable constant and pattern on many properties.
    count = max(size // 90, 1)
    node = {"type": "string", "const": "a" * 25 + "!", "pattern": "(a+)+b"}
    properties = {"p%d" % i: node for i in range(count)}
    return "sidecar", request({"type": "object", "properties": properties, "required": list(properties)})


def slow_shortest_string(size):
    # "(a+)+" repeated: satisfiable, but ICU backtracks exponentially on its own shortest string.
    return "sidecar", request(string_property("(a+)+" * max(size // 5, 1)))


def long_pattern_compile(size):
    return "checker", string_property("((a|b)*c)*" * max(size // 10, 1))


def counted_repetitions(size):
    return "checker", string_property("a{1000}" * max(size // 7, 1))


def white_space_run(size):
    # A tiny request whose pattern asks for a long run of spaces; the size scales the count,
    # nested so that each count stays within what the model's Regex parses.
    inner = min(size * 16, 4000)
    return "sidecar", request(string_property("(?: {%d}){%d}" % (inner, size * 16 // inner)))


def many_required_names(size):
    names = ["n%d" % i for i in range(max(size // 9, 1))]
    return "checker-explain", {"type": "object", "properties": {}, "required": names}


def many_properties(size):
    # An object of many short required properties: the JSON tree's own memory (a member, its key
    # and a small object as its value, for each name).
    names = ["p%d" % i for i in range(max(size // 42, 1))]
    return "checker", {"type": "object", "properties": {n: {"type": "string"} for n in names}, "required": names}


def many_properties_request(size):
    return "sidecar", request(many_properties(size)[1])


def deep_nesting(size):
    # Arrays nested far deeper than the reader goes, as raw text: refused, and the reader's
    # counting pass must not hold a count for each opening.
    return "checker", b"[" * (size // 2) + b"]" * (size // 2)


def empty_object_enum(size):
    # The densest tree there is: four bytes of text per value. Refused (only objects to choose).
    return "checker", {"type": "object", "properties": {"e": {"enum": [{}] * max(size // 4, 1)}}}


FAMILIES = {
    "nested-empty-loops": (nested_empty_loops, [100, 200, 400, 720]),
    "const-against-pattern": (const_against_pattern, [KB, 10 * KB, 100 * KB, 1000 * KB]),
    "slow-shortest-string": (slow_shortest_string, [KB, 10 * KB, 100 * KB, 1000 * KB]),
    "long-pattern-compile": (long_pattern_compile, [KB, 10 * KB, 100 * KB, 1000 * KB]),
    "counted-repetitions": (counted_repetitions, [KB, 10 * KB, 100 * KB, 1000 * KB]),
    "white-space-run": (white_space_run, [KB, 10 * KB, 100 * KB, 1000 * KB]),
    "many-required-names": (many_required_names, [KB, 10 * KB, 100 * KB, 1000 * KB]),
    "many-properties": (many_properties, [KB, 10 * KB, 100 * KB, 1000 * KB, 12400 * KB]),
    "many-properties-request": (many_properties_request, [KB, 10 * KB, 100 * KB, 1000 * KB, 12400 * KB]),
    "deep-nesting": (deep_nesting, [KB, 10 * KB, 100 * KB, 1000 * KB, 8000 * KB]),
    "empty-object-enum": (empty_object_enum, [KB, 10 * KB, 100 * KB, 1000 * KB, 10000 * KB]),
}


def encoded(document):
    """The bytes a family's document is sent as: raw text as it stands, anything else as JSON."""
    return document if isinstance(document, bytes) else json.dumps(document).encode()


def run(argv, data, deadline):
    """(stdout, exit status, CPU seconds, peak KiB, wall seconds) of one run. GNU time measures
    it: a child of this Python process would start from Python's own peak memory."""
    with tempfile.TemporaryFile() as stdin, tempfile.TemporaryFile() as stdout, \
            tempfile.NamedTemporaryFile(mode="r") as measured:
        stdin.write(data)
        stdin.seek(0)
        start = time.monotonic()
        child = subprocess.Popen(["/usr/bin/time", "-f", "%U %S %M", "-o", measured.name] + argv,
                                 stdin=stdin, stdout=stdout, stderr=subprocess.DEVNULL, start_new_session=True)
        # wait4 gives the CPU time of GNU time and of the run it waited for, to the microsecond.
        while True:
            pid, status, usage = os.wait4(child.pid, os.WNOHANG)
            if pid:
                break
            if time.monotonic() - start > deadline:
                os.killpg(child.pid, 9)
                pid, status, usage = os.wait4(child.pid, 0)
                break
            time.sleep(0.002)
        child.returncode = status = os.waitstatus_to_exitcode(status)
        wall = time.monotonic() - start
        stdout.seek(0)
        fields = (measured.read().split("\n")[-2:] + [""])[0].split()
        if len(fields) < 3:  # killed before GNU time could write
            fields = ["0", "0", "0"]
        return stdout.read(), status, usage.ru_utime + usage.ru_stime, int(fields[2]), wall


def argv_for(kind, args):
    if kind == "sidecar":
        return [args.sidecar]
    if kind == "checker":
        return [args.checker]
    return [args.checker, "--explain"]


def measure(args, name):
    build, sizes = FAMILIES[name]
    previous = None
    for size in sizes:
        kind, document = build(size)
        data = encoded(document)
        runs = [run(argv_for(kind, args), data, args.deadline) for _ in range(args.runs)]
        cpu = sorted(r[2] for r in runs)[len(runs) // 2]
        peak = sorted(r[3] for r in runs)[len(runs) // 2]
        line = "%-22s %9d B in  cpu %8.1f ms  peak %8d KiB  (%.1fx input)" % (
            name, len(data), cpu * 1000, peak, peak * 1024 / len(data))
        if previous:
            line += "  ratios cpu %.1f, peak %.1f" % (cpu / max(previous[0], 1e-4), peak / previous[1])
        print(line, flush=True)
        previous = (cpu, peak)


def expect(name, stdout, status):
    """A failure message, or None when the answer is what the family should give."""
    try:
        reply = json.loads(stdout.decode())
    except ValueError:
        return "the answer is not one JSON line: %r" % stdout[:200]
    if name in ("nested-empty-loops", "slow-shortest-string"):
        return None if reply.get("status") == "ok" else "expected ok, got %.200r" % reply
    if name in ("const-against-pattern", "white-space-run", "many-properties-request", "deep-nesting",
                "empty-object-enum"):
        return None if reply.get("status") == "error" else "expected an error, got %.200r" % reply
    return None if status == 0 and reply.get("status") == "ok" else "expected ok, got %.200r" % reply


def largest(args):
    failures = 0
    for name in args.family or FAMILIES:
        build, sizes = FAMILIES[name]
        kind, document = build(sizes[-1])
        stdout, status, cpu, peak, wall = run(argv_for(kind, args), encoded(document), args.deadline)
        problem = "ran past the %g s deadline" % args.deadline if wall > args.deadline else expect(name, stdout, status)
        print("%-22s cpu %8.1f ms  peak %8d KiB  %s" % (name, cpu * 1000, peak, problem or "ok"), flush=True)
        failures += problem is not None
    return 1 if failures else 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--sidecar", default="build/default/tarnwick_apple")
    parser.add_argument("--checker", default="build/default/tarnwick_apple_schema")
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--deadline", type=float, default=60.0)
    parser.add_argument("--family", action="append", choices=sorted(FAMILIES))
    parser.add_argument("--largest", action="store_true")
    args = parser.parse_args()
    if args.largest:
        return largest(args)
    for name in args.family or FAMILIES:
        measure(args, name)
    return 0


if __name__ == "__main__":
    sys.exit(main())
