#!/usr/bin/env python3
"""Streamed answers on the reference engine: time to the first partial line against time to the
final line, and bytes of partial lines against the final line, for long plain answers.
Usage: bench/streaming.py [build/default] [runs]"""
import json
import statistics
import subprocess
import sys
import time

build = sys.argv[1] if len(sys.argv) > 1 else "build/default"
runs = int(sys.argv[2]) if len(sys.argv) > 2 else 10


def measure(variant, prompt):
    binary = f"{build}/tests/tarnwick_apple_{variant}"
    request = json.dumps({"prompt": prompt, "use_case": "general", "guardrails": "default", "stream": True}).encode()
    firsts, finals = [], []
    for _ in range(runs):
        start = time.perf_counter()
        child = subprocess.Popen([binary], stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        child.stdin.write(request)
        child.stdin.close()
        first, lines = None, []
        for line in child.stdout:
            first = first or time.perf_counter() - start
            lines.append(line)
        finals.append(time.perf_counter() - start)
        firsts.append(first)
        child.wait()
    partial_text = sum(len(json.loads(line)["text"].encode()) for line in lines[:-1])
    final_text = len(json.loads(lines[-1])["text"].encode())
    partial_lines = sum(len(line) for line in lines[:-1])
    first, final = statistics.median(firsts) * 1e3, statistics.median(finals) * 1e3
    print(f"{variant:9} {len(prompt):8} B: first partial {first:7.2f} ms, final {final:7.2f} ms (x{final / first:.2f}); "
          f"{len(lines) - 1} partial lines, texts {partial_text} B = x{partial_text / final_text:.2f} of the final text, "
          f"lines {partial_lines} B = x{partial_lines / len(lines[-1]):.2f} of the final line")


measure("reference", "word " * 2000)             # the longest plain answer the window allows
measure("echo", "word " * 200000)                 # 1 MB without a window
measure("echo", "\x01" * 100000 + "a" * 100000)  # control characters: six bytes each when escaped
