"""The Python client's own argument checks: each wrong argument is named in a TypeError or
ValueError before any sidecar runs, and the edge values the sidecar accepts still pass.

Environment (set by ctest): TARNWICK_TEST_SIDECARS, the directory of the test sidecars.
"""

import os
import pathlib
import unittest

import tarnwick_apple as ta

REFERENCE = os.path.join(os.environ.get("TARNWICK_TEST_SIDECARS", ""), "tarnwick_apple_reference")
# Any run of this would fail the test: the checks come first.
NOT_RUN = "/nonexistent/tarnwick_apple"


class Arguments(unittest.TestCase):
    def test_wrong_arguments_are_named(self):
        cases = [
            ({"prompt": 42}, TypeError, "prompt must be a str, not int"),
            ({"prompt": None}, TypeError, "prompt must be a str, not NoneType"),
            ({"instructions": b"x"}, TypeError, "instructions must be a str, not bytes"),
            ({"use_case": "chat"}, ValueError, "use_case must be one of 'general', 'content_tagging', not 'chat'"),
            ({"use_case": "contentTagging"}, ValueError,
             "use_case must be one of 'general', 'content_tagging', not 'contentTagging'"),
            ({"guardrails": None}, TypeError, "guardrails must be a str, not NoneType"),
            ({"guardrails": "strict"}, ValueError,
             "guardrails must be one of 'default', 'permissive_content_transformations', not 'strict'"),
            ({"max_tokens": True}, TypeError, "max_tokens must be an int, not bool"),
            ({"max_tokens": 1.5}, TypeError, "max_tokens must be an int, not float"),
            ({"max_tokens": 2**63}, ValueError,
             "max_tokens must be from -9223372036854775808 to 9223372036854775807, not 9223372036854775808"),
            ({"temperature": "hot"}, TypeError, "temperature must be a float or an int, not str"),
            ({"temperature": float("nan")}, ValueError, "temperature must be a finite number, not nan"),
            ({"sampling": "Greedy"}, ValueError, "sampling must be one of 'greedy', 'random', not 'Greedy'"),
            ({"sampling": 1}, TypeError, "sampling must be a str or a mapping, not int"),
            ({"sampling": {"seed": 7}}, ValueError, "sampling needs a 'mode', 'greedy' or 'random'"),
            ({"sampling": {"mode": "random", "sead": 7}}, ValueError,
             "sampling has no member 'sead'; its members are mode, top, probability_threshold, seed"),
            ({"sampling": {"mode": "random", "seed": 2**64}}, ValueError,
             "sampling['seed'] must be from 0 to 18446744073709551615, not 18446744073709551616"),
            ({"sampling": {"mode": "random", "seed": -1}}, ValueError,
             "sampling['seed'] must be from 0 to 18446744073709551615, not -1"),
            ({"sampling": {"mode": "random", "seed": False}}, TypeError, "sampling['seed'] must be an int, not bool"),
            ({"sampling": {"mode": "random", "top": 2.5}}, TypeError, "sampling['top'] must be an int, not float"),
            ({"sampling": {"mode": "random", "probability_threshold": "0.5"}}, TypeError,
             "sampling['probability_threshold'] must be a float or an int, not str"),
            ({"timeout": 0}, ValueError, "timeout must be more than 0 seconds, not 0"),
            ({"timeout": -1}, ValueError, "timeout must be more than 0 seconds, not -1"),
            ({"timeout": "5"}, TypeError, "timeout must be a float or an int, not str"),
            ({"check": 1}, TypeError, "check must be a bool, not int"),
            ({"retries": -1}, ValueError, "retries must be from 0 to 9223372036854775807, not -1"),
            ({"executable": 7}, TypeError, "executable must be a str or an os.PathLike, not int"),
        ]
        for change, error, message in cases:
            arguments = {"prompt": "p", "executable": NOT_RUN, **change}
            with self.subTest(change=change), self.assertRaises(error) as caught:
                ta.generate(arguments.pop("prompt"), **arguments)
            self.assertEqual(str(caught.exception), message)
        with self.assertRaises(ValueError) as caught:
            ta.probe(timeout=-1, executable=NOT_RUN)
        self.assertEqual(str(caught.exception), "timeout must be more than 0 seconds, not -1")

    def test_edge_values_the_sidecar_accepts(self):
        cases = [
            {"sampling": {"mode": "random", "seed": 2**64 - 1, "top": -(2**63)}},
            {"sampling": {"mode": "random", "seed": 0, "probability_threshold": 2}},
            {"sampling": {"mode": "greedy", "seed": -1}},  # a greedy sampling's other members are not read
            {"max_tokens": 9, "temperature": -3, "timeout": 30.5},
            {"executable": pathlib.Path(REFERENCE)},
        ]
        for change in cases:
            with self.subTest(change=change):
                self.assertEqual(ta.generate("hello", **{"executable": REFERENCE, **change}), "hello")


if __name__ == "__main__":
    unittest.main()
