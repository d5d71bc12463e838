#!/usr/bin/env python3
"""Before/after differential of two schema checkers over JSONL corpora ({"name":..,"schema":..}
per line): every schema the old checker accepts must get the same "schema" member, byte for
byte, from the new one. Also counts acceptance of both and the new checker's refusal reasons.

  differential.py OLD_CHECKER NEW_CHECKER corpus.jsonl... [--pieces[=N]]

--pieces adds, for each document, every definition and property schema (the first N) as a
document of its own (with the document's definitions beside it), for many more small schemas."""
import collections, json, subprocess, sys


def pieces(doc):
    defs_key = "$defs" if isinstance(doc.get("$defs"), dict) else "definitions"
    defs = doc.get(defs_key) if isinstance(doc.get(defs_key), dict) else None
    found = []

    def walk(node, depth):
        if not isinstance(node, dict) or depth > 6:
            return
        for key in ("properties", "$defs", "definitions", "patternProperties"):
            table = node.get(key)
            if isinstance(table, dict):
                for value in table.values():
                    if isinstance(value, dict):
                        found.append(value)
                        walk(value, depth + 1)
        for key in ("items", "additionalProperties"):
            if isinstance(node.get(key), dict):
                found.append(node[key])
                walk(node[key], depth + 1)
        for key in ("anyOf", "oneOf", "allOf"):
            if isinstance(node.get(key), list):
                for value in node[key]:
                    if isinstance(value, dict):
                        found.append(value)
                        walk(value, depth + 1)

    walk(doc, 0)
    for piece in found:
        piece = dict(piece)
        if defs is not None and defs_key not in piece:
            piece[defs_key] = defs
        yield piece


def check(checker, text):
    run = subprocess.run([checker, "--explain"], input=text.encode(), capture_output=True)
    line = json.loads(run.stdout)
    return run.returncode, line


def main():
    args = [a for a in sys.argv[1:] if not a.startswith("--")]
    old, new, corpora = args[0], args[1], args[2:]
    documents = []
    for path in corpora:
        with open(path) as lines:
            for line in lines:
                entry = json.loads(line)
                documents.append(entry["schema"])
                for flag in sys.argv:
                    if flag.startswith("--pieces"):
                        limit = int(flag.split("=")[1]) if "=" in flag else None
                        documents.extend(list(pieces(entry["schema"]))[:limit])
    seen, counts, reasons, differences = set(), collections.Counter(), collections.Counter(), []
    for doc in documents:
        text = json.dumps(doc, sort_keys=True)
        if text in seen:
            continue
        seen.add(text)
        old_status, old_line = check(old, text)
        new_status, new_line = check(new, text)
        counts["documents"] += 1
        counts["old accepted"] += old_status == 0
        counts["new accepted"] += new_status == 0
        if old_status == 0 and (new_status != 0 or json.dumps(new_line["schema"]) != json.dumps(old_line["schema"])):
            differences.append(text[:300])
        if new_status == 1:
            reason = new_line.get("reason", "")
            reasons[reason.split('"')[0][:60] + ("(" + reason.split('"')[1] + ")" if reason.count('"') >= 2 else "")] += 1
    print(json.dumps(counts))
    total = counts["documents"]
    print(f"accepted before {counts['old accepted'] / total:.1%}, after {counts['new accepted'] / total:.1%}")
    print("refusals after, by reason:")
    for reason, count in reasons.most_common(20):
        print(f"  {count:6d}  {reason}")
    print(f"{len(differences)} accepted-before schemas translate differently")
    for text in differences[:10]:
        print("  ", text)
    sys.exit(1 if differences else 0)


main()
