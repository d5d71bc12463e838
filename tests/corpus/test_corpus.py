"""Real schemas the translator accepts beyond its core subset, and what the reference engine then
answers must be valid under the user's own schema, as a JSON Schema validator reads it, less only
the keywords the checker notes the model is not held to.

Environment (set by ctest): TARNWICK_TEST_REFERENCE, the reference engine's test sidecar;
TARNWICK_SCHEMA_CHECKER, the schema checker. The corpus is schemas.jsonl beside this file, one
{"name":..., "schema":...} a line.
"""

import copy
import json
import os
import re
import subprocess
import unittest

try:
    import jsonschema
except ImportError as error:
    raise SystemExit("these tests need jsonschema: apt-get install python3-jsonschema") from error

HERE = os.path.dirname(os.path.abspath(__file__))
REFERENCE = os.environ.get("TARNWICK_TEST_REFERENCE", "")
CHECKER = os.environ.get("TARNWICK_SCHEMA_CHECKER", "")

# Effects whose keyword the model is not held to: the answer is checked without it.
LOSSES = {"ignored", "pattern-dropped", "pattern-widened", "bound-relaxed", "enum-widened", "listed-but-absent"}


def corpus():
    with open(os.path.join(HERE, "schemas.jsonl"), encoding="utf-8") as lines:
        return [json.loads(line) for line in lines]


def run(executable, args, stdin):
    done = subprocess.run([executable, *args], input=stdin, capture_output=True, timeout=60, check=False)
    return done.returncode, done.stdout


def at(document, pointer):
    node = document
    for segment in pointer.split("/")[1:]:
        segment = segment.replace("~1", "/").replace("~0", "~")
        node = node[int(segment)] if isinstance(node, list) else node.get(segment) if isinstance(node, dict) else None
        if node is None:
            return None
    return node


def without_losses(schema, notes):
    """The schema less what the checker says the model is not held to: each noted keyword
    removed where it stands, and "oneOf" read as "anyOf"."""
    schema = copy.deepcopy(schema)
    for note in notes:
        node = at(schema, note["pointer"])
        if not isinstance(node, dict):
            continue
        if note["effect"] in LOSSES:
            node.pop(note["keyword"], None)
            if note["keyword"] in ("enum", "const"):
                node.pop("enum", None), node.pop("const", None)
        elif note["effect"] == "alternative-dropped" and isinstance(node.get(note["keyword"]), list):
            # never generated: it matches nothing
            node[note["keyword"]][int(re.match(r"alternative (\d+)", note["detail"]).group(1))] = False
    # Last, since pointers above may pass through a "oneOf".
    for note in notes:
        node = at(schema, note["pointer"])
        if note["effect"] == "one-of-as-any-of" and isinstance(node, dict) and "oneOf" in node:
            node["anyOf"] = node.pop("oneOf")
    return schema


def validator_for(schema):
    """The validator of the schema's own draft, with formats not asserted (as the model is not
    held to them, a format keyword is always noted)."""
    cls = jsonschema.validators.validator_for(schema, default=jsonschema.Draft202012Validator)
    return cls(schema)


class Corpus(unittest.TestCase):
    def test_every_schema_is_accepted(self):
        for entry in corpus():
            with self.subTest(schema=entry["name"]):
                status, out = run(CHECKER, ["--explain"], json.dumps(entry["schema"]).encode())
                self.assertEqual(status, 0, out)

    def test_answers_are_valid_but_for_what_is_noted(self):
        for entry in corpus():
            schema = entry["schema"]
            _, out = run(CHECKER, ["--explain"], json.dumps(schema).encode())
            held = without_losses(schema, json.loads(out)["notes"])
            for seed in (1, 2):
                request = {"prompt": "p", "use_case": "general", "guardrails": "default", "schema": schema,
                           "options": {"sampling": {"mode": "random", "seed": seed}}}
                with self.subTest(schema=entry["name"], seed=seed):
                    status, reply = run(REFERENCE, [], json.dumps(request).encode())
                    answer = json.loads(reply)
                    self.assertEqual(answer["status"], "ok", reply)
                    errors = [error.message for error in validator_for(held).iter_errors(json.loads(answer["text"]))]
                    self.assertEqual(errors, [], answer["text"])


if __name__ == "__main__":
    unittest.main()
