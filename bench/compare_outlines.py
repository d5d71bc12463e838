#!/usr/bin/env python3
"""Schema step against outlines-core's (outlines_core.json_schema.build_regex_from_schema), on the
same files, alternating whole passes: for each schema both accept, the median over the passes of
each side's per-schema median time; then the median and p99 over schemas and their ratios.

  compare_outlines.py BENCH_CORPUS_TRANSLATE corpus.jsonl... [--passes N] [--runs R]

Ours is bytes to description in process (bench_corpus_translate); outlines-core's is JSON text
to regular expression in process, timed by perf_counter_ns around the call."""
import argparse, json, statistics, subprocess, tempfile, time

from outlines_core.json_schema import build_regex_from_schema


def outlines_pass(texts, runs):
    result = []
    for text in texts:
        times, accepted = [], True
        for _ in range(runs):
            start = time.perf_counter_ns()
            try:
                build_regex_from_schema(text)
            except Exception:
                accepted = False
            times.append(time.perf_counter_ns() - start)
        result.append((statistics.median(times), accepted))
    return result


def ours_pass(program, path, runs):
    out = subprocess.run([program, path, str(runs)], capture_output=True, text=True, check=True).stdout
    return [(float(t), a == "1") for t, a in (line.split() for line in out.splitlines())]


def percentile(values, p):
    values = sorted(values)
    return values[min(len(values) - 1, int(p * len(values)))]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("program")
    parser.add_argument("corpora", nargs="+")
    parser.add_argument("--passes", type=int, default=5)
    parser.add_argument("--runs", type=int, default=9)
    args = parser.parse_args()
    texts = []
    for path in args.corpora:
        with open(path) as lines:
            texts.extend(json.dumps(json.loads(line)["schema"], separators=(",", ":")) for line in lines)
    with tempfile.NamedTemporaryFile("w", suffix=".txt") as file:
        file.write("\n".join(texts) + "\n")
        file.flush()
        ours, theirs = [], []
        for _ in range(args.passes):  # alternating whole passes over the same files
            ours.append(ours_pass(args.program, file.name, args.runs))
            theirs.append(outlines_pass(texts, args.runs))
    both = [i for i in range(len(texts)) if ours[0][i][1] and theirs[0][i][1]]
    ours_t = [statistics.median(p[i][0] for p in ours) for i in both]
    theirs_t = [statistics.median(p[i][0] for p in theirs) for i in both]
    print(f"schemas {len(texts)}; accepted by ours {sum(a for _, a in ours[0])}, by outlines-core "
          f"{sum(a for _, a in theirs[0])}, by both {len(both)}")
    for name, p in (("median", 0.5), ("p90", 0.9), ("p99", 0.99)):
        o, t = percentile(ours_t, p) / 1000, percentile(theirs_t, p) / 1000
        print(f"{name:6s} ours {o:9.1f} us   outlines-core {t:9.1f} us   outlines-core/ours {t / o:6.2f}")
    per_schema = sorted(t / o for o, t in zip(ours_t, theirs_t))
    print(f"per-schema ratio outlines-core/ours: median {statistics.median(per_schema):.2f}, "
          f"ours faster on {sum(r > 1 for r in per_schema)} of {len(per_schema)}")


main()
