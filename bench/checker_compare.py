#!/usr/bin/env python3
"""Two builds of tarnwick_apple_schema run alternately on the same wide schemas, plain and with
--explain: median wall time and peak resident memory of each, and the ratio of the second to the
first. For telling what a change to the reader, the translator or the explanation costs.
Usage: bench/checker_compare.py OLD NEW [runs] [properties]"""
import json
import os
import statistics
import subprocess
import sys
import tempfile
import time


def wide(properties, reverse):
    """An object schema of `properties` string properties written in name order or reversed."""
    names = sorted(f"p{i:06d}" for i in range(properties))
    if reverse:
        names.reverse()
    return json.dumps({"type": "object", "properties": {name: {"type": "string", "maxLength": 9} for name in names}})


def run(checker, args, path):
    """Wall seconds and peak RSS in KiB of one run of `checker` with `path` on stdin."""
    with open(path, "rb") as stdin:
        start = time.perf_counter()
        child = subprocess.Popen([checker, *args], stdin=stdin, stdout=subprocess.DEVNULL)
        _, status, usage = os.wait4(child.pid, 0)
        elapsed = time.perf_counter() - start
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit(f"checker_compare: {checker} {args} failed with status {status}")
    return elapsed, usage.ru_maxrss


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    builds = sys.argv[1:3]
    runs = int(sys.argv[3]) if len(sys.argv) > 3 else 15
    properties = int(sys.argv[4]) if len(sys.argv) > 4 else 20000
    with tempfile.TemporaryDirectory() as work:
        inputs = {}
        for reverse in (False, True):
            path = os.path.join(work, f"wide-{'reversed' if reverse else 'ordered'}.json")
            with open(path, "w", encoding="utf-8") as f:
                f.write(wide(properties, reverse))
            inputs["reversed" if reverse else "ordered"] = path
        print(f"{properties} properties, {runs} alternating runs per case; medians")
        print(f"{'case':28} {'old ms':>8} {'new ms':>8} {'ratio':>6} {'old KiB':>8} {'new KiB':>8} {'ratio':>6}")
        for name, path in inputs.items():
            for args in ([], ["--explain"]):
                times, peaks = ([], []), ([], [])
                for _ in range(runs):
                    for which, checker in enumerate(builds):
                        elapsed, peak = run(checker, args, path)
                        times[which].append(elapsed * 1000)
                        peaks[which].append(peak)
                t = [statistics.median(x) for x in times]
                m = [statistics.median(x) for x in peaks]
                label = f"{name} {' '.join(args) or 'plain'}"
                print(f"{label:28} {t[0]:8.1f} {t[1]:8.1f} {t[1] / t[0]:6.2f} {m[0]:8.0f} {m[1]:8.0f} {m[1] / m[0]:6.2f}")


if __name__ == "__main__":
    main()
