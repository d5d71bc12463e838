"""The client's "x-order" pass: every object schema lists its properties as written, nothing else changes."""

import copy
import unittest

from tarnwick_apple import with_written_order


class WrittenOrder(unittest.TestCase):
    def test_table(self):
        cases = [
            ({"type": "object", "properties": {"b": {}, "a": {}}},
             {"type": "object", "properties": {"b": {}, "a": {}}, "x-order": ["b", "a"]}),
            ({"properties": {"b": {}, "a": {}}, "x-order": ["a"]},
             {"properties": {"b": {}, "a": {}}, "x-order": ["a"]}),
            ({"properties": {"properties": {"properties": {"z": {}, "y": {}}}}},
             {"properties": {"properties": {"properties": {"z": {}, "y": {}}, "x-order": ["z", "y"]}},
              "x-order": ["properties"]}),
            ({"type": "array", "items": {"properties": {"d": {}, "c": {}}}},
             {"type": "array", "items": {"properties": {"d": {}, "c": {}}, "x-order": ["d", "c"]}}),
            ({"anyOf": [{"properties": {"q": {}, "p": {}}}, {"type": "null"}], "$defs": {"D": {"properties": {"n": {}}}}},
             {"anyOf": [{"properties": {"q": {}, "p": {}}, "x-order": ["q", "p"]}, {"type": "null"}],
              "$defs": {"D": {"properties": {"n": {}}, "x-order": ["n"]}}}),
            ({"enum": [{"properties": {"b": 1, "a": 2}}], "const": {"properties": {}}},
             {"enum": [{"properties": {"b": 1, "a": 2}}], "const": {"properties": {}}}),
            ("not an object", "not an object"),
        ]
        for schema, expected in cases:
            with self.subTest(schema=schema):
                before = copy.deepcopy(schema)
                result = with_written_order(schema)
                self.assertEqual(result, expected)
                self.assertEqual(schema, before)  # the caller's schema is left alone
                if isinstance(result, dict) and "x-order" in result:
                    self.assertEqual(list(result), list(expected))


if __name__ == "__main__":
    unittest.main()
