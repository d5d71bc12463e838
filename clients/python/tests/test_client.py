"""The Python client against the built test sidecars: plain text, structured answers in the caller's
order and types, every error kind as its exception, the probe, and the timeout.

Environment (set by ctest): TARNWICK_TEST_SIDECARS, the directory of the test sidecars
(tarnwick_apple_reference and one per unavailability reason); TARNWICK_TEST_DOUBLE, the sidecar over the
framework test double (tests needing it skip when it is absent); TARNWICK_TEST_NEVER_ANSWERS, a
sidecar that never answers; TARNWICK_SCHEMA_CHECKER, the schema checker; TARNWICK_SOURCE_DIR.
"""

import json
import os
import subprocess
import sys
import tempfile
import time
import unittest
from unittest import mock

import tarnwick_apple as ta

SIDECARS = os.environ.get("TARNWICK_TEST_SIDECARS", "")
REFERENCE = os.path.join(SIDECARS, "tarnwick_apple_reference")
DOUBLE = os.environ.get("TARNWICK_TEST_DOUBLE", "")
NEVER_ANSWERS = os.environ.get("TARNWICK_TEST_NEVER_ANSWERS", "")
SOURCE = os.environ.get("TARNWICK_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", "..", ".."))
SCRIPTS = os.path.join(SOURCE, "tests", "clients")
os.environ.setdefault(ta.CHECKER_VARIABLE, os.environ.get("TARNWICK_SCHEMA_CHECKER", ""))


def sidecar(variant):
    return os.path.join(SIDECARS, "tarnwick_apple_" + variant)


class PlainText(unittest.TestCase):
    def test_echo_cut_and_options(self):
        cases = [
            ({"prompt": "Name three birds."}, "Name three birds."),
            ({"prompt": "hello world", "max_tokens": 2}, "hello"),
            ({"prompt": "hello world", "max_tokens": 0}, ""),
            ({"prompt": "línea 1\nline \"2\"\t\u2028 🐦", "instructions": "Be brief."}, "línea 1\nline \"2\"\t\u2028 🐦"),
            ({"prompt": "x", "temperature": 0.5, "sampling": {"mode": "random", "seed": 7, "top": 3}}, "x"),
            ({"prompt": "x", "sampling": "greedy", "use_case": "content_tagging",
              "guardrails": "permissive_content_transformations"}, "x"),
        ]
        for arguments, expected in cases:
            with self.subTest(arguments=arguments):
                prompt = arguments.pop("prompt")
                self.assertEqual(ta.generate(prompt, executable=REFERENCE, **arguments), expected)

    def test_executable_from_environment(self):
        with mock.patch.dict(os.environ, {ta.EXECUTABLE_VARIABLE: REFERENCE}):
            self.assertEqual(ta.generate("from the environment"), "from the environment")


class Structured(unittest.TestCase):
    def test_answer_keys_in_the_order_written(self):
        schema = {"type": "object", "required": ["zeta", "alpha", "inner"],
                  "properties": {"zeta": {"type": "string"}, "alpha": {"type": "integer", "minimum": 3},
                                 "inner": {"type": "object", "required": ["b", "a"],
                                           "properties": {"b": {"type": "boolean"}, "a": {"type": "number"}}}}}
        answer = ta.generate("p", schema=schema, executable=REFERENCE)
        self.assertEqual(json.dumps(answer), '{"zeta": "", "alpha": 3, "inner": {"b": false, "a": 0.0}}')

    def test_definitions_arrays_and_enumerations(self):
        schema = {"type": "object", "required": ["tags", "mood"],
                  "properties": {"tags": {"type": "array", "items": {"$ref": "#/$defs/Tag"}, "minItems": 2},
                                 "mood": {"enum": ["happy", "sad"]}},
                  "$defs": {"Tag": {"type": "object", "required": ["name"], "properties": {"name": {"const": "t"}}}}}
        self.assertEqual(ta.generate("p", schema=schema, executable=REFERENCE),
                         {"tags": [{"name": "t"}, {"name": "t"}], "mood": "happy"})

    def test_seeded_random_answers_repeat(self):
        schema = {"type": "object", "required": ["n"], "properties": {"n": {"type": "integer", "minimum": 0,
                                                                             "maximum": 1000000}}}
        run = lambda seed: ta.generate("p", schema=schema, sampling={"mode": "random", "seed": seed},
                                       executable=REFERENCE)
        first = run(1)
        self.assertEqual(run(1), first)
        self.assertLessEqual(0, first["n"])
        self.assertNotEqual({run(seed)["n"] for seed in range(2, 6)}, {first["n"]})

    def test_model_class_is_parsed_back(self):
        class Person:  # the two class methods the client uses of a Pydantic v2 model
            def __init__(self, **fields):
                self.fields = fields

            @classmethod
            def model_json_schema(cls):
                return {"title": "Person", "type": "object", "required": ["name", "age"],
                        "properties": {"name": {"type": "string"}, "age": {"type": "integer", "minimum": 18}}}

            @classmethod
            def model_validate_json(cls, text):
                return cls(**json.loads(text))

        person = ta.generate("p", schema=Person, executable=REFERENCE)
        self.assertIsInstance(person, Person)
        self.assertEqual(list(person.fields.items()), [("name", ""), ("age", 18)])

    @unittest.skipUnless(ta.can_check(), "jsonschema is not installed: answers are not checked")
    def test_check_names_the_first_violation_and_what_the_model_was_not_held_to(self):
        # The model is not told "minLength" (in a definition, reached by "$ref"); the check catches it.
        schema = {"type": "object", "required": ["id"], "properties": {"id": {"$ref": "#/$defs/Id"}},
                  "$defs": {"Id": {"type": "object", "required": ["v"],
                                   "properties": {"v": {"type": "string", "minLength": 3}}}}}
        with self.assertRaises(ta.SchemaViolationError) as caught:
            ta.generate("p", schema=schema, executable=REFERENCE)
        error = caught.exception
        self.assertEqual((error.path, error.value, error.attempts), ("/id/v", {"id": {"v": ""}}, 1))
        self.assertEqual(error.note, {"pointer": "/$defs/Id/properties/v", "keyword": "minLength", "effect": "ignored",
                                      "detail": "\"minLength\": 3 is not read on a string, so the model is not held to it"})
        self.assertEqual(error.message, "'' is too short; the model was not held to this constraint (\"minLength\": 3 is "
                         "not read on a string, so the model is not held to it), so another try may pass: "
                         "retries=N asks again with a new seed")
        self.assertEqual(str(error), "SchemaViolation at /id/v: " + error.message)
        self.assertEqual(ta.generate("p", schema=schema, executable=REFERENCE, check=False), {"id": {"v": ""}})
        # Without a checker to ask, the violation stands alone.
        with mock.patch.dict(os.environ, {ta.CHECKER_VARIABLE: "/nonexistent/checker"}), \
                self.assertRaises(ta.SchemaViolationError) as caught:
            ta.generate("p", schema=schema, executable=REFERENCE)
        self.assertEqual((caught.exception.note, caught.exception.message), (None, "'' is too short"))

    @unittest.skipUnless(ta.can_check(), "jsonschema is not installed: answers are not checked")
    def test_retries_take_new_seeds_until_the_answer_passes(self):
        # "^[A-Z]$" reaches the model widened to "\w": some seeds give a capital, others do not.
        schema = {"type": "object", "required": ["c"], "properties": {"c": {"type": "string", "pattern": "^[A-Z]$"}}}
        # Seeds 1 and 2 give "5" and "a", seed 3 gives "W".
        seeded = {"mode": "random", "seed": 1}
        with self.assertRaises(ta.SchemaViolationError) as caught:
            ta.generate("p", schema=schema, sampling=seeded, retries=1, executable=REFERENCE)
        self.assertEqual((caught.exception.note["effect"], caught.exception.value, caught.exception.attempts),
                         ("pattern-widened", {"c": "a"}, 2))
        self.assertEqual(ta.generate("p", schema=schema, sampling=seeded, retries=40, executable=REFERENCE), {"c": "W"})
        self.assertRegex(ta.generate("p", schema=schema, sampling="greedy", retries=40, executable=REFERENCE)["c"],
                         "^[A-Z]$")
        # An answer that cannot pass ends after the tries, saying how many.
        never = {"type": "object", "required": ["c"],
                 "properties": {"c": {"type": "string", "pattern": "^a?$", "minLength": 3}}}
        with self.assertRaises(ta.SchemaViolationError) as caught:
            ta.generate("p", schema=never, sampling=seeded, retries=2, executable=REFERENCE)
        self.assertEqual(caught.exception.attempts, 3)
        self.assertRegex(str(caught.exception), "^SchemaViolation at /c after 3 tries: 'a?' is too short; ")

    def test_an_answer_that_is_not_json_is_a_protocol_error(self):
        with self.assertRaises(ta.ProtocolError) as caught:
            ta.generate("p", schema={"type": "object"}, executable=os.path.join(SCRIPTS, "answers-not-json.sh"))
        self.assertTrue(caught.exception.message.startswith("the answer is not the JSON its schema asks for: "))
        self.assertEqual(ta.generate("p", executable=os.path.join(SCRIPTS, "answers-not-json.sh")), '{"name": tru')


class Errors(unittest.TestCase):
    def assertKind(self, call, cls, message):
        with self.assertRaises(cls) as caught:
            call()
        self.assertIsInstance(caught.exception, ta.SidecarError)
        self.assertEqual((caught.exception.kind, caught.exception.message), (cls.__name__, message))

    def test_error_classes_are_the_reply_schemas_kinds(self):
        # One exported SidecarError subclass of each kind a reply line may carry, by its name.
        with open(os.path.join(SOURCE, "docs", "protocol", "reply.schema.json"), encoding="utf-8") as f:
            error = json.load(f)["$defs"]["error"]
        kinds = sorted(error["properties"]["kind"]["enum"])
        self.assertEqual(sorted(branch["properties"]["kind"]["const"] for branch in error["oneOf"]), kinds)
        self.assertEqual(sorted(ta.ERROR_KINDS), kinds)
        for kind in kinds:
            with self.subTest(kind=kind):
                cls = getattr(ta, kind, None)
                self.assertIs(ta.ERROR_KINDS[kind], cls)
                self.assertTrue(issubclass(cls, ta.SidecarError) and cls.__name__ == kind)
                self.assertIn(kind, ta.__all__)

    def test_kinds_from_the_reference_engine(self):
        cycle = {"type": "object", "required": ["a"], "properties": {"a": {"$ref": "#/$defs/A"}},
                 "$defs": {"A": {"type": "object", "required": ["b"], "properties": {"b": {"$ref": "#/$defs/A"}}}}}
        cases = [
            (lambda: ta.generate("p", sampling={"mode": "random", "top": 2, "probability_threshold": 0.5},
                                 executable=REFERENCE),
             ta.FoundationModelsError, "random sampling cannot set both top and probability_threshold"),
            (lambda: ta.generate("p", schema="not a schema", executable=REFERENCE),
             ta.InvalidGenerationSchemaError, "the schema is not a JSON object"),
            (lambda: ta.generate("p", schema={"type": "integer", "minimum": 2, "maximum": 1}, executable=REFERENCE),
             ta.InvalidGenerationSchemaError, "the schema declares a numeric bound whose minimum exceeds its maximum"),
            (lambda: ta.generate("p", schema={"type": "string"}, max_tokens=0, executable=REFERENCE),
             ta.DecodingFailureError, "the model's response could not be decoded into the requested schema"),
            (lambda: ta.generate("p", schema=cycle, executable=REFERENCE),
             ta.ExceededContextWindowSizeError, "the prompt and response exceeded the model's context window"),
        ]
        for call, cls, message in cases:
            with self.subTest(cls=cls.__name__, message=message):
                self.assertKind(call, cls, message)

    def test_unavailable_model(self):
        for variant, message in [
            ("deviceNotEligible", "this device is not eligible for Apple Intelligence"),
            ("appleIntelligenceNotEnabled", "Apple Intelligence is not enabled on this device"),
            ("modelNotReady", "the on-device model is still downloading or preparing"),
            ("unrecognized", "the on-device model assets are unavailable"),
        ]:
            with self.subTest(variant=variant):
                self.assertKind(lambda: ta.generate("p", executable=sidecar(variant)),
                                ta.AssetsUnavailableError, message)

    @unittest.skipUnless(DOUBLE and os.access(DOUBLE, os.X_OK), "tarnwick_apple_double is not built")
    def test_every_generation_failure(self):
        cases = [
            ("exceededContextWindowSize", ta.ExceededContextWindowSizeError,
             "the prompt and response exceeded the model's context window"),
            ("assetsUnavailable", ta.AssetsUnavailableError, "the on-device model assets are unavailable"),
            ("guardrailViolation", ta.GuardrailViolationError,
             "the request tripped the on-device model's safety guardrails"),
            ("unsupportedGuide", ta.UnsupportedGuideError,
             "the schema uses a guide the on-device model does not support"),
            ("unsupportedLanguageOrLocale", ta.UnsupportedLanguageOrLocaleError,
             "the prompt uses a language or locale the on-device model does not support"),
            ("decodingFailure", ta.DecodingFailureError,
             "the model's response could not be decoded into the requested schema"),
            ("rateLimited", ta.RateLimitedError, "the on-device model rate limited this request"),
            ("concurrentRequests", ta.ConcurrentRequestsError, "too many concurrent on-device model requests"),
            ("refusal", ta.RefusalError, "the on-device model refused to answer this prompt"),
            ("other", ta.GenerationError, "on-device generation failed"),
        ]
        for case, cls, message in cases:
            with self.subTest(case=case), mock.patch.dict(os.environ, {"TARNWICK_FRAMEWORK_DOUBLE": "fail:" + case}):
                self.assertKind(lambda: ta.generate("p", executable=DOUBLE), cls, message)
                self.assertEqual(cls.retryable, case in ("rateLimited", "concurrentRequests"))

    def test_not_a_sidecar(self):
        for executable in ["/bin/true", "/bin/false"]:
            with self.subTest(executable=executable), self.assertRaises(ta.ProtocolError):
                ta.generate("p", executable=executable)

    def test_a_sidecar_that_cannot_be_run(self):
        with tempfile.TemporaryDirectory() as directory:
            unexecutable = os.path.join(directory, "tarnwick_apple")
            with open(unexecutable, "w") as file:
                file.write("#!/bin/sh\n")
            missing = os.path.join(directory, "no_such_sidecar")
            cases = [
                (lambda: ta.generate("p", executable=missing), missing, 2, f"the sidecar {missing!r} was not found"),
                (lambda: ta.probe(executable=unexecutable), unexecutable, 13,
                 f"the sidecar {unexecutable!r} could not be run: Permission denied"),
                (lambda: ta.generate("p"), "tarnwick_apple", 2, "the sidecar 'tarnwick_apple' is not on PATH; "
                 "pass executable= or set TARNWICK_APPLE"),
            ]
            for call, filename, errno, message in cases:
                with self.subTest(message=message), mock.patch.dict(os.environ, {"PATH": directory}), \
                        self.assertRaises(ta.SidecarNotFoundError) as caught:
                    os.environ.pop(ta.EXECUTABLE_VARIABLE, None)
                    call()
                self.assertIsInstance(caught.exception, OSError)
                self.assertIsInstance(caught.exception, ta.TarnwickAppleError)
                self.assertEqual((caught.exception.filename, caught.exception.errno, caught.exception.message),
                                 (filename, errno, message))


class ProbeAndTimeout(unittest.TestCase):
    def test_probe(self):
        self.assertEqual(ta.probe(executable=REFERENCE), ta.Probe(True, None))
        for variant, reason in [("deviceNotEligible", "DEVICE_NOT_ELIGIBLE"),
                                ("appleIntelligenceNotEnabled", "APPLE_INTELLIGENCE_NOT_ENABLED"),
                                ("modelNotReady", "MODEL_NOT_READY"), ("unrecognized", "UNKNOWN")]:
            with self.subTest(variant=variant):
                self.assertEqual(ta.probe(executable=sidecar(variant)), ta.Probe(False, reason))

    @unittest.skipUnless(DOUBLE and os.access(DOUBLE, os.X_OK), "tarnwick_apple_double is not built")
    def test_probe_through_the_double(self):
        with mock.patch.dict(os.environ, {"TARNWICK_FRAMEWORK_DOUBLE": "unavailable:modelNotReady"}):
            self.assertEqual(ta.probe(executable=DOUBLE), ta.Probe(False, "MODEL_NOT_READY"))

    def test_timeout_kills_the_sidecar_and_says_so(self):
        started = time.monotonic()
        with self.assertRaises(ta.SidecarTimeoutError) as caught:
            ta.generate("p", timeout=0.5, executable=NEVER_ANSWERS)
        self.assertLess(time.monotonic() - started, 10)
        self.assertIsInstance(caught.exception, TimeoutError)
        self.assertEqual(caught.exception.message, "the sidecar did not answer within 0.5 seconds and was killed")

    def test_timeout_ends_what_a_wrapper_started(self):
        # The wrapper runs the sidecar as its child without exec: killing the wrapper alone would leave it.
        with tempfile.TemporaryDirectory() as directory:
            pid_file = os.path.join(directory, "pid")
            with mock.patch.dict(os.environ, {"TARNWICK_TEST_PID_FILE": pid_file}), \
                    self.assertRaises(ta.SidecarTimeoutError):
                ta.generate("p", timeout=0.5, executable=os.path.join(SCRIPTS, "wrapper-no-exec.sh"))
            with open(pid_file) as file:
                child = int(file.read())
        deadline = time.monotonic() + 10
        while _running(child) and time.monotonic() < deadline:
            time.sleep(0.05)
        self.assertFalse(_running(child), f"the wrapper's child {child} outlived the timeout")


def _running(pid):
    """Whether `pid` is a process that has not ended (a zombie has ended)."""
    try:
        with open(f"/proc/{pid}/stat") as file:
            return file.read().rsplit(")", 1)[1].split()[0] != "Z"
    except FileNotFoundError:
        return False


class Readme(unittest.TestCase):
    def test_the_python_example_runs_as_pasted(self):
        # Every call must name the sidecar itself: none is on PATH or in the environment here.
        with open(os.path.join(SOURCE, "README.md"), encoding="utf-8") as file:
            readme = file.read()
        section = readme[readme.index("### Python"):readme.index("### Node.js")]
        example = section.split("```python\n", 1)[1].split("```", 1)[0]
        environment = {"PATH": "/usr/bin:/bin", "PYTHONPATH": os.path.join(SOURCE, "clients", "python")}
        done = subprocess.run([sys.executable, "-c", example.replace("build/release/tarnwick_apple", REFERENCE)],
                              cwd=SOURCE, env=environment, capture_output=True, text=True, timeout=60, check=False)
        self.assertEqual((done.returncode, done.stderr), (0, ""))
        self.assertEqual(done.stdout, "Name three birds.\n['age', 'name']\nDecodingFailureError the model's response "
                         "could not be decoded into the requested schema\nProbe(available=True, reason=None)\n")


if __name__ == "__main__":
    unittest.main()


class Conversations(unittest.TestCase):
    def test_history_counts_against_the_window(self):
        turn = "abcd " * 1000
        history = [{"role": "user" if i % 2 == 0 else "assistant", "text": turn} for i in range(5)]
        self.assertEqual(ta.generate("hi", history=history[:3], executable=REFERENCE), "hi")
        with self.assertRaises(ta.ExceededContextWindowSizeError):
            ta.generate("hi", history=history, executable=REFERENCE)
        with self.assertRaisesRegex(ValueError, r"history\[1\]"):
            ta.generate("hi", history=[{"role": "user", "text": "x"}, {"role": "system", "text": "x"}], executable=REFERENCE)


class Streaming(unittest.TestCase):
    def test_partials_then_the_result(self):
        prompt = "alpha beta gamma delta epsilon zeta"
        with ta.stream(prompt, executable=REFERENCE) as streamed:
            partials = list(streamed)
        self.assertEqual(partials, ["alph", "alpha beta", "alpha beta gamma delt"])
        self.assertEqual(streamed.result, prompt)
        schema = {"type": "object", "properties": {"a": {"type": "array", "items": {"type": "integer"}, "minItems": 3}}}
        streamed = ta.stream("x", schema=schema, executable=REFERENCE)
        partials = list(streamed)
        self.assertTrue(partials and all(isinstance(json.loads(p), dict) for p in partials))
        self.assertEqual(streamed.result, ta.generate("x", schema=schema, executable=REFERENCE))

    @unittest.skipUnless(DOUBLE, "needs the framework test double")
    def test_failure_after_partial_lines(self):
        with mock.patch.dict(os.environ, {"TARNWICK_FRAMEWORK_DOUBLE": "fail:refusal"}):
            streamed = ta.stream("alpha beta gamma delta epsilon zeta", executable=DOUBLE)
            seen = []
            with self.assertRaises(ta.RefusalError):
                for text in streamed:
                    seen.append(text)
        self.assertEqual(seen, ["alph", "alpha beta", "alpha beta gamma delt"])

    def test_stopping_early_ends_the_sidecar(self):
        streamed = ta.stream("word " * 200000, executable=sidecar("echo"))
        self.assertEqual(next(streamed), "word")
        streamed.close()
        self.assertIsNotNone(streamed._process.returncode)
        self.assertEqual(list(streamed), [])
