#!/usr/bin/env python3
"""Runs `tarnwick_apple_schema --explain` over schemas.jsonl and counts what the schemas lose on
the way to the model: notes by effect (and keyword), refusals by reason.
Usage: bench/corpus/explain_corpus.py [path/to/tarnwick_apple_schema]"""
import collections, json, os, subprocess, sys

here = os.path.dirname(os.path.abspath(__file__))
checker = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "../../build/default/tarnwick_apple_schema")
effects, keywords, reasons = collections.Counter(), collections.Counter(), []
accepted = refused = with_notes = with_losses = 0
with open(os.path.join(here, "schemas.jsonl")) as lines:
    for line in lines:
        entry = json.loads(line)
        run = subprocess.run([checker, "--explain"], input=json.dumps(entry["schema"]).encode(), capture_output=True)
        reply = json.loads(run.stdout)
        if reply["status"] == "ok":
            accepted += 1
            with_notes += bool(reply["notes"])
            with_losses += any(note["effect"] != "order" for note in reply["notes"])
            for note in reply["notes"]:
                effects[note["effect"]] += 1
                keywords[(note["effect"], note["keyword"])] += 1
        else:
            refused += 1
            reasons.append((entry["name"], reply.get("pointer"), reply.get("reason")))
print(f"{accepted + refused} schemas: {accepted} accepted ({with_notes} with notes, {with_losses} with a note other "
      f"than order), {refused} refused")
print("\nnotes by effect:")
for effect, count in effects.most_common():
    print(f"  {effect:18} {count}")
print("\nnotes by effect and keyword:")
for (effect, keyword), count in keywords.most_common():
    print(f"  {effect:18} {keyword:22} {count}")
print("\nrefusals:")
for name, pointer, reason in reasons:
    print(f"  {name}: at {pointer!r}: {reason}")
