"""The protocol's JSON Schemas (docs/protocol/) against real lines of the built test sidecars and
the schema checker, every example request, and lines the schemas must refuse.

Environment (set by ctest): TARNWICK_TEST_SIDECARS, the directory of the test sidecars;
TARNWICK_SCHEMA_CHECKER, the schema checker; TARNWICK_TEST_DOUBLE, the sidecar over the framework
test double (its cases skip when absent); TARNWICK_SOURCE_DIR, the repository.
"""

import glob
import json
import os
import re
import subprocess
import unittest
from unittest import mock

try:
    import jsonschema
except ImportError as error:  # the validator is the point of these tests: say how to get it
    raise SystemExit("these tests need jsonschema: apt-get install python3-jsonschema (for /usr/bin/python3) "
                     "or pip install jsonschema") from error

SOURCE = os.environ.get("TARNWICK_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", ".."))
SIDECARS = os.environ.get("TARNWICK_TEST_SIDECARS", "")
CHECKER = os.environ.get("TARNWICK_SCHEMA_CHECKER", "")
DOUBLE = os.environ.get("TARNWICK_TEST_DOUBLE", "")


def validator(name):
    with open(os.path.join(SOURCE, "docs", "protocol", name + ".schema.json"), encoding="utf-8") as f:
        schema = json.load(f)
    jsonschema.Draft202012Validator.check_schema(schema)
    return jsonschema.Draft202012Validator(schema)


def run(executable, args=(), stdin=b""):
    done = subprocess.run([executable, *args], input=stdin, capture_output=True, timeout=60, check=False)
    return done.returncode, done.stdout, done.stderr


def request(prompt="p", **members):
    return json.dumps({"prompt": prompt, "use_case": "general", "guardrails": "default", **members}).encode()


class LineCase(unittest.TestCase):
    def assertValidLine(self, validator, out):
        self.assertTrue(out.endswith(b"\n") and out.count(b"\n") == 1, out)
        line = json.loads(out)
        errors = list(validator.iter_errors(line))
        self.assertEqual(errors, [], out)
        return line


class SidecarLines(LineCase):
    """Every kind of line the reference engine's test sidecars write is valid."""

    def test_streamed_lines(self):
        # Partial lines, then one reply line; every failure kind after partial lines on the double.
        partial, reply = validator("partial"), validator("reply")
        streamed = request("alpha beta gamma delta epsilon", stream=True)
        runs = [(os.path.join(SIDECARS, "tarnwick_apple_reference"), streamed, {}),
                (os.path.join(SIDECARS, "tarnwick_apple_reference"),
                 request(stream=True, schema={"type": "object", "properties": {"a": {"type": "array", "items": {"type": "integer"}, "minItems": 3}}}), {})]
        if DOUBLE:
            runs += [(DOUBLE, streamed, {"TARNWICK_FRAMEWORK_DOUBLE": "fail:" + name})
                     for name in ("refusal", "guardrailViolation", "other", "unknown")]
        for executable, stdin, env in runs:
            with self.subTest(stdin=stdin, env=env):
                done = subprocess.run([executable], input=stdin, capture_output=True, timeout=60, check=False,
                                      env={**os.environ, **env})
                self.assertEqual((done.returncode, done.stderr), (0, b""))
                lines = done.stdout.splitlines(keepends=True)
                self.assertGreaterEqual(len(lines), 3, done.stdout)
                for line in lines[:-1]:
                    self.assertValidLine(partial, line)
                self.assertValidLine(reply, lines[-1])

    def test_reply_lines(self):
        reply = validator("reply")
        reference = os.path.join(SIDECARS, "tarnwick_apple_reference")
        cycle = {"type": "object", "required": ["a"], "properties": {"a": {"$ref": "#/$defs/A"}},
                 "$defs": {"A": {"type": "object", "required": ["b"], "properties": {"b": {"$ref": "#/$defs/A"}}}}}
        inputs = [
            request("Name three birds."),
            request("line\nbreak \u0001 \"quoted\" é", instructions="x"),
            request(schema={"type": "object", "properties": {"a": {"type": "array", "items": {"type": "number"}}}}),
            b"", b"not json", b"{}",
            request(options={"sampling": {"mode": "random", "top": 1, "probability_threshold": 0.5}}),
            request(schema="x"), request(schema={"type": "integer", "minimum": 2, "maximum": 1}),
            request(schema={"$ref": "#/definitions/X"}), request(schema={"type": ["integer", "string"]}),
            request(schema={"type": "string"}, options={"maximum_response_tokens": 0}),
            request(schema=cycle),
        ]
        kinds = set()
        for stdin in inputs:
            with self.subTest(stdin=stdin):
                status, out, err = run(reference, stdin=stdin)
                self.assertEqual((status, err), (0, b""))
                kinds.add(self.assertValidLine(reply, out).get("kind"))
        self.assertEqual(kinds, {None, "FoundationModelsError", "InvalidGenerationSchemaError",
                                 "DecodingFailureError", "ExceededContextWindowSizeError"})
        for variant in ["deviceNotEligible", "appleIntelligenceNotEnabled", "modelNotReady", "unrecognized"]:
            with self.subTest(variant=variant):
                status, out, _ = run(os.path.join(SIDECARS, "tarnwick_apple_" + variant), stdin=request())
                self.assertEqual(self.assertValidLine(reply, out)["kind"], "AssetsUnavailableError")

    @unittest.skipUnless(DOUBLE and os.access(DOUBLE, os.X_OK), "tarnwick_apple_double is not built")
    def test_reply_lines_of_every_generation_failure(self):
        reply = validator("reply")
        for case in ["exceededContextWindowSize", "assetsUnavailable", "guardrailViolation", "unsupportedGuide",
                     "unsupportedLanguageOrLocale", "decodingFailure", "rateLimited", "concurrentRequests",
                     "refusal", "other"]:
            with self.subTest(case=case), mock.patch.dict(os.environ, {"TARNWICK_FRAMEWORK_DOUBLE": "fail:" + case}):
                status, out, _ = run(DOUBLE, stdin=request())
                self.assertEqual(self.assertValidLine(reply, out)["status"], "error")

    def test_probe_lines(self):
        probe = validator("probe")
        for variant, status in [("reference", 0), ("echo", 0), ("deviceNotEligible", 1), ("appleIntelligenceNotEnabled", 1),
                                ("modelNotReady", 1), ("unrecognized", 1)]:
            with self.subTest(variant=variant):
                code, out, _ = run(os.path.join(SIDECARS, "tarnwick_apple_" + variant), ["--probe"])
                self.assertEqual(code, status)
                self.assertEqual(self.assertValidLine(probe, out)["available"], status == 0)


# Schemas that between them draw each of the effects in DRAWN, at least once.
EVERY_EFFECT = [
    {"type": "object", "additionalProperties": False, "required": ["id", "gone"], "x-order": ["id", "nothing"],
     "properties": {"id": {"type": "string", "pattern": "^[A-Z]{3}-\\d{4}$"}, "b": {"type": "string"}}},
    {"type": "object", "properties": {"z": {"type": "string", "pattern": "^[^@]+$"},
                                      "a": {"type": ["number", "null"], "exclusiveMinimum": 0}}},
    {"oneOf": [{"type": "string"}, {"type": "integer"}]},
]
DRAWN = {"ignored", "pattern-dropped", "pattern-widened", "bound-relaxed", "null-dropped", "one-of-as-any-of",
         "listed-but-absent", "order"}
# Where the checker's sources write a note's effect: the explanation's note calls, whose first
# argument is a literal or a name, and notes built whole.
NOTE_CALL = re.compile(r"(?:\bcontext\.note(?:About|Around)?|->note)\(")
EFFECT_OF_CALL = re.compile(r'(?:\bcontext\.note(?:About|Around)?|->note)\(\s*(?:"[^"]*"|[\w.>-]+)\s*,\s*"([a-z-]+)"')
EFFECT_OF_NOTE = re.compile(r'SchemaNote\{\s*(?:"[^"]*"|[\w.>-]+)\s*,\s*(?:"[^"]*"|[\w.>-]+)\s*,\s*"([a-z-]+)"')


class CheckerLines(LineCase):
    def test_checker_lines(self):
        checker = validator("checker")
        for stdin, status in [
            (b'{"type":"object","properties":{"a":{"type":"string","pattern":"^[a-z]+$"}},"$defs":{"E":{"enum":["x"]}}}', 0),
            (b'{"anyOf":[{"type":"integer","minimum":1},{"type":"null"}]}', 0),
            (b'"x"', 1), (b'{"type":"integer","minimum":2,"maximum":1}', 1), (b'{"not":{}}', 1), (b"{", 2),
        ]:
            for args in [(), ("--explain",), ("--format", "json")]:
                with self.subTest(stdin=stdin, args=args):
                    code, out, _ = run(CHECKER, args, stdin=stdin)
                    self.assertEqual(code, status)
                    self.assertValidLine(checker, out)

    def test_request_lines(self):
        checker = validator("checker")
        both = {"sampling": {"mode": "random", "top": 4, "probability_threshold": 0.5}}
        for stdin, status, schema_member in [
            (request(), 0, None),
            (request(schema={"type": "object", "properties": {"b": {"type": "string"}, "a": {"type": "string"}}}), 0, dict),
            (request(options=both), 1, "absent"), (request(options=both, schema={"type": "array"}), 1, "absent"),
            (request(use_case="chat"), 1, "absent"), (b"[1]", 1, "absent"), (b"{", 2, "absent"),
        ]:
            with self.subTest(stdin=stdin):
                code, out, _ = run(CHECKER, ["--request"], stdin=stdin)
                self.assertEqual(code, status)
                line = self.assertValidLine(checker, out)
                if schema_member == "absent":
                    self.assertNotIn("schema", line)
                elif schema_member is None:
                    self.assertEqual(line, {"status": "ok", "schema": None, "notes": []})
                else:
                    self.assertIsInstance(line["schema"], dict)

    def test_effects_listed_are_exactly_those_written(self):
        checker = validator("checker")
        listed = set(checker.schema["$defs"]["note"]["properties"]["effect"]["enum"])
        seen = set()
        for schema in EVERY_EFFECT:
            with self.subTest(schema=schema):
                code, out, _ = run(CHECKER, ["--explain"], stdin=json.dumps(schema).encode())
                self.assertEqual(code, 0)
                seen |= {note["effect"] for note in self.assertValidLine(checker, out)["notes"]}
        self.assertLessEqual(DRAWN, seen)
        # Every effect the sources can write is listed, and nothing else: read from the sources,
        # so that a note no schema here draws is held to the list too.
        written, calls, found = set(), 0, 0
        sources = [os.path.join(SOURCE, folder, "**", "*.cpp") for folder in ("TarnwickApple", "tarnwick_apple_schema")]
        for path in sorted(p for pattern in sources for p in glob.glob(pattern, recursive=True)):
            with open(path, encoding="utf-8") as f:
                source = f.read()
            calls += len(NOTE_CALL.findall(source))
            effects = EFFECT_OF_CALL.findall(source)
            found += len(effects)
            written |= set(effects) | set(EFFECT_OF_NOTE.findall(source))
        self.assertEqual(found, calls, "a note call whose effect is no literal: this test cannot see it")
        self.assertEqual(written, listed)

    def test_lines_the_checker_schema_refuses(self):
        checker = validator("checker")
        note = {"pointer": "", "keyword": "properties", "effect": "order", "detail": "d"}
        for line in [
            {"status": "ok"}, {"status": "ok", "schema": None}, {"status": "ok", "schema": None, "notes": [note]},
            {"status": "ok", "schema": {}, "notes": [dict(note, effect="reference-unresolved")]},
            {"status": "ok", "schema": {}, "notes": [dict(note, extra=1)]},
            {"status": "error", "kind": "FoundationModelsError", "message": "m", "schema": None},
        ]:
            with self.subTest(line=line):
                self.assertFalse(checker.is_valid(line))


class Documents(unittest.TestCase):
    def test_every_example_is_a_valid_request(self):
        request_validator = validator("request")
        examples = sorted(glob.glob(os.path.join(SOURCE, "examples", "*.json")))
        self.assertGreater(len(examples), 0)
        for path in examples:
            with self.subTest(example=os.path.basename(path)), open(path, encoding="utf-8") as f:
                self.assertEqual(list(request_validator.iter_errors(json.load(f))), [])

    def test_requests_the_schema_accepts_and_refuses(self):
        # Each as the sidecar decodes it: valid here exactly when it is not the malformed-request line.
        cases = [
            ({"prompt": "p", "use_case": "general", "guardrails": "default"}, True),
            ({"prompt": "p", "use_case": "content_tagging", "guardrails": "permissive_content_transformations",
              "instructions": None, "options": {"maximum_response_tokens": 2.0, "sampling": {"mode": "greedy", "top": "x"}},
              "extra": [1]}, True),
            ({"prompt": "p", "use_case": "general", "guardrails": "default",
              "options": {"sampling": {"mode": "random", "seed": 18446744073709551615}}}, True),
            ({"prompt": None, "use_case": "general", "guardrails": "default"}, False),
            ({"prompt": "p", "use_case": "chat", "guardrails": "default"}, False),
            ({"prompt": "p", "use_case": "general", "guardrails": "default", "options": {"maximum_response_tokens": 1.5}}, False),
            ({"prompt": "p", "use_case": "general", "guardrails": "default",
              "options": {"sampling": {"mode": "random", "seed": -1}}}, False),
            ({"prompt": "p", "use_case": "general", "guardrails": "default", "options": {"sampling": {}}}, False),
            ({"prompt": "p", "use_case": "general", "guardrails": "default", "stream": None, "history": None}, True),
            ({"prompt": "p", "use_case": "general", "guardrails": "default", "stream": True,
              "history": [{"role": "user", "text": "a"}, {"role": "assistant", "text": "b", "extra": 1}]}, True),
            ({"prompt": "p", "use_case": "general", "guardrails": "default", "stream": "yes"}, False),
            ({"prompt": "p", "use_case": "general", "guardrails": "default", "history": [{"role": "system", "text": "a"}]}, False),
            ({"prompt": "p", "use_case": "general", "guardrails": "default", "history": [{"role": "user"}]}, False),
            ({"prompt": "p", "use_case": "general", "guardrails": "default", "history": {}}, False),
            ([], False),
        ]
        request_validator = validator("request")
        reference = os.path.join(SIDECARS, "tarnwick_apple_reference")
        for document, valid in cases:
            with self.subTest(document=document):
                self.assertEqual(request_validator.is_valid(document), valid)
                _, out, _ = run(reference, stdin=json.dumps(document).encode())
                self.assertEqual(b"could not be decoded" not in out, valid, out)

    def test_lines_the_schemas_refuse(self):
        reply, probe = validator("reply"), validator("probe")
        for line in [
            {"status": "ok"}, {"status": "ok", "text": 1}, {"status": "ok", "text": "", "kind": "GenerationError"},
            {"status": "error", "kind": "GenerationError", "message": "the on-device model refused to answer this prompt"},
            {"status": "error", "kind": "NoSuchError", "message": "on-device generation failed"},
            {"status": "error", "kind": "GenerationError"},
        ]:
            with self.subTest(line=line):
                self.assertFalse(reply.is_valid(line))
        for line in [{"available": True, "reason": "UNKNOWN"}, {"available": False, "reason": None},
                     {"available": True}, {"available": False, "reason": "BUSY"}]:
            with self.subTest(line=line):
                self.assertFalse(probe.is_valid(line))


if __name__ == "__main__":
    unittest.main()
