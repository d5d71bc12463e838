"""Real schemas the translator accepts beyond its core subset, and what the reference engine then
answers: wherever the checker notes no loss, the answer must be valid under the user's own
schema, as a JSON Schema validator reads it.

Environment (set by ctest): TARNWICK_TEST_REFERENCE, the reference engine's test sidecar;
TARNWICK_SCHEMA_CHECKER, the schema checker. The corpus is schemas.jsonl beside this file, one
{"name":..., "schema":...} a line.
"""

import json
import os
import subprocess
import unittest

try:
    import jsonschema
except ImportError as error:
    raise SystemExit("these tests need jsonschema: apt-get install python3-jsonschema") from error

HERE = os.path.dirname(os.path.abspath(__file__))
REFERENCE = os.environ.get("TARNWICK_TEST_REFERENCE", "")
CHECKER = os.environ.get("TARNWICK_SCHEMA_CHECKER", "")

# Effects that only narrow what the model may answer, or say nothing of validity.
NARROWING = {"order", "any-as-string", "kind-inferred", "kind-union", "inlined", "merged", "tuple-shortened",
             "always-empty", "pattern-anchored", "definition-dropped", "alternative-dropped", "null-dropped"}
# Ignored keywords that hold anyway: only listed properties are ever generated.
HOLDING = {"additionalProperties", "unevaluatedProperties"}


def corpus():
    with open(os.path.join(HERE, "schemas.jsonl"), encoding="utf-8") as lines:
        return [json.loads(line) for line in lines]


def run(executable, args, stdin):
    done = subprocess.run([executable, *args], input=stdin, capture_output=True, timeout=60, check=False)
    return done.returncode, done.stdout


def lossless(notes):
    return all(note["effect"] in NARROWING or (note["effect"] == "ignored" and note["keyword"] in HOLDING)
               for note in notes)


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

    def test_answers_are_valid_where_nothing_is_lost(self):
        checked = 0
        for entry in corpus():
            schema = entry["schema"]
            _, out = run(CHECKER, ["--explain"], json.dumps(schema).encode())
            line = json.loads(out)
            if line["status"] != "ok" or not lossless(line["notes"]):
                continue
            for seed in (1, 2, 3):
                request = {"prompt": "p", "use_case": "general", "guardrails": "default", "schema": schema,
                           "options": {"sampling": {"mode": "random", "seed": seed}}}
                with self.subTest(schema=entry["name"], seed=seed):
                    status, reply = run(REFERENCE, [], json.dumps(request).encode())
                    answer = json.loads(reply)
                    self.assertEqual(answer["status"], "ok", reply)
                    errors = [error.message for error in validator_for(schema).iter_errors(json.loads(answer["text"]))]
                    self.assertEqual(errors, [], answer["text"])
            checked += 1
        # The corpus is chosen so that most of it can be checked this way.
        self.assertGreater(checked, len(corpus()) // 2)


if __name__ == "__main__":
    unittest.main()
