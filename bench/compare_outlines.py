#!/usr/bin/env python3
"""Schema step against outlines-core's (outlines_core.json_schema.build_regex_from_schema), on the
same files, alternating whole passes: for each schema both accept, the median over the passes of
each side's per-schema median time; then the median and p99 over schemas and their ratios.

  compare_outlines.py BENCH_CORPUS_TRANSLATE corpus.jsonl... [--passes N] [--runs R] [--baseline OLD]

--baseline times an older build of bench_corpus_translate in the same alternating passes, for
before/after figures from one run.

Ours is bytes to description in process (bench_corpus_translate, which also times its reader
alone); outlines-core's is JSON text to regular expression in process, timed by perf_counter_ns
around the call, less the cost of that timing around a call of a trivial built-in (len) on the
same text, measured in the same passes.

Both sides run on one CPU (the lowest this process may use; children inherit it): on a shared
machine a child left to land on any core made the ratio swing from one run to the next."""
import argparse, json, os, statistics, subprocess, tempfile, time

from outlines_core.json_schema import build_regex_from_schema


def timed(function, text, runs):
    """Median nanoseconds of `runs` calls, each timed as the outlines-core call is, and whether
    every call returned."""
    times, accepted = [], True
    for _ in range(runs):
        start = time.perf_counter_ns()
        try:
            function(text)
        except Exception:
            accepted = False
        times.append(time.perf_counter_ns() - start)
    return statistics.median(times), accepted


def outlines_pass(texts, runs):
    """Per schema: (median time less the timing overhead, accepted); and that overhead."""
    overhead = statistics.median(timed(len, text, runs)[0] for text in texts)
    result = []
    for text in texts:
        median, accepted = timed(build_regex_from_schema, text, runs)
        result.append((max(median - overhead, 0.0), accepted))
    return result, overhead


def ours_pass(program, path, runs):
    """Per schema: (median time, accepted, median time of the reader alone)."""
    out = subprocess.run([program, path, str(runs)], capture_output=True, text=True, check=True).stdout
    rows = [line.split() for line in out.splitlines()]  # an older build prints no reader time
    return [(float(r[0]), r[1] == "1", float(r[2]) if len(r) > 2 else float("nan")) for r in rows]


def percentile(values, p):
    values = sorted(values)
    return values[min(len(values) - 1, int(p * len(values)))]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("program")
    parser.add_argument("corpora", nargs="+")
    parser.add_argument("--passes", type=int, default=5)
    parser.add_argument("--runs", type=int, default=9)
    parser.add_argument("--baseline")
    args = parser.parse_args()
    os.sched_setaffinity(0, {min(os.sched_getaffinity(0))})
    texts = []
    for path in args.corpora:
        with open(path) as lines:
            texts.extend(json.dumps(json.loads(line)["schema"], separators=(",", ":")) for line in lines)
    with tempfile.NamedTemporaryFile("w", suffix=".txt") as file:
        file.write("\n".join(texts) + "\n")
        file.flush()
        ours, theirs, overheads, old = [], [], [], []
        for _ in range(args.passes):  # alternating whole passes over the same files
            if args.baseline:
                old.append(ours_pass(args.baseline, file.name, args.runs))
            ours.append(ours_pass(args.program, file.name, args.runs))
            result, overhead = outlines_pass(texts, args.runs)
            theirs.append(result)
            overheads.append(overhead)
    both = [i for i in range(len(texts)) if ours[0][i][1] and theirs[0][i][1]]
    ours_t = [statistics.median(p[i][0] for p in ours) for i in both]
    reader_t = [statistics.median(p[i][2] for p in ours) for i in both]
    theirs_t = [statistics.median(p[i][0] for p in theirs) for i in both]
    print(f"schemas {len(texts)}; accepted by ours {sum(a for _, a, _ in ours[0])}, by outlines-core "
          f"{sum(a for _, a in theirs[0])}, by both {len(both)}")
    for name, p in (("median", 0.5), ("p90", 0.9), ("p99", 0.99)):
        o, t = percentile(ours_t, p) / 1000, percentile(theirs_t, p) / 1000
        print(f"{name:6s} ours {o:9.1f} us   outlines-core {t:9.1f} us   outlines-core/ours {t / o:6.2f}")
    print(f"timing overhead taken off outlines-core's times: {statistics.median(overheads):.0f} ns")
    print(f"ours, the reader alone: median {percentile(reader_t, 0.5) / 1000:.1f} us, p99 "
          f"{percentile(reader_t, 0.99) / 1000:.1f} us; the rest (translating, describing): median "
          f"{percentile([o - r for o, r in zip(ours_t, reader_t)], 0.5) / 1000:.1f} us")
    if old:
        old_t = [statistics.median(p[i][0] for p in old) for i in both]
        for name, p in (("median", 0.5), ("p99", 0.99)):
            o, b = percentile(ours_t, p) / 1000, percentile(old_t, p) / 1000
            print(f"{name:6s} ours {o:9.1f} us   baseline {b:9.1f} us   ours/baseline {o / b:6.2f}")
    per_schema = sorted(t / o for o, t in zip(ours_t, theirs_t))
    print(f"per-schema ratio outlines-core/ours: median {statistics.median(per_schema):.2f}, "
          f"ours faster on {sum(r > 1 for r in per_schema)} of {len(per_schema)}")


main()
