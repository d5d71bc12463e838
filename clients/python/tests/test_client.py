"""The Python client against the built test sidecars: plain text, structured answers in the caller's
order and types, every error kind as its exception, the probe, and the timeout.

Environment (set by ctest): TARNWICK_TEST_SIDECARS, the directory of the test sidecars
(tarnwick_apple_reference and one per unavailability reason); TARNWICK_TEST_DOUBLE, the sidecar over the
framework test double (tests needing it skip when it is absent); TARNWICK_TEST_NEVER_ANSWERS, a
sidecar that never answers.
"""

import json
import os
import time
import unittest
from unittest import mock

import tarnwick_apple as ta

SIDECARS = os.environ.get("TARNWICK_TEST_SIDECARS", "")
REFERENCE = os.path.join(SIDECARS, "tarnwick_apple_reference")
DOUBLE = os.environ.get("TARNWICK_TEST_DOUBLE", "")
NEVER_ANSWERS = os.environ.get("TARNWICK_TEST_NEVER_ANSWERS", "")


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
    def test_check_names_the_first_violation(self):
        # The model is not told "minLength"; the check against the caller's schema catches it.
        schema = {"type": "object", "required": ["id"],
                  "properties": {"id": {"type": "string", "minLength": 3}}}
        with self.assertRaises(ta.SchemaViolationError) as caught:
            ta.generate("p", schema=schema, executable=REFERENCE)
        self.assertEqual(caught.exception.path, "/id")
        self.assertIn("too short", caught.exception.message)
        self.assertEqual(caught.exception.value, {"id": ""})
        self.assertEqual(ta.generate("p", schema=schema, executable=REFERENCE, check=False), {"id": ""})


class Errors(unittest.TestCase):
    def assertKind(self, call, cls, message):
        with self.assertRaises(cls) as caught:
            call()
        self.assertIsInstance(caught.exception, ta.SidecarError)
        self.assertEqual((caught.exception.kind, caught.exception.message), (cls.__name__, message))

    def test_kinds_from_the_reference_engine(self):
        cycle = {"type": "object", "required": ["a"], "properties": {"a": {"$ref": "#/$defs/A"}},
                 "$defs": {"A": {"type": "object", "required": ["b"], "properties": {"b": {"$ref": "#/$defs/A"}}}}}
        cases = [
            (lambda: ta.generate("p", sampling={"mode": "random", "top": 2, "probability_threshold": 0.5},
                                 executable=REFERENCE),
             ta.FoundationModelsError, "random sampling cannot set both top and probability_threshold"),
            (lambda: ta.generate("p", use_case="chat", executable=REFERENCE),
             ta.FoundationModelsError, "the request on stdin could not be decoded into a sidecar request"),
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
        with self.assertRaises(FileNotFoundError):
            ta.generate("p", executable=os.path.join(SIDECARS, "no_such_sidecar"))


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


if __name__ == "__main__":
    unittest.main()


class Conversations(unittest.TestCase):
    def test_history_counts_against_the_window(self):
        turn = "abcd " * 1000
        history = [{"role": "user" if i % 2 == 0 else "assistant", "text": turn} for i in range(5)]
        self.assertEqual(ta.generate("hi", history=history[:3], executable=REFERENCE), "hi")
        with self.assertRaises(ta.ExceededContextWindowSizeError):
            ta.generate("hi", history=history, executable=REFERENCE)
        with self.assertRaises(ta.SidecarError):
            ta.generate("hi", history=[{"role": "system", "text": "x"}], executable=REFERENCE)


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
