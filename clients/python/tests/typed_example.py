"""A caller typed as a user of the client writes it; the typing test runs `mypy --strict` on it."""

from __future__ import annotations

import pathlib
from typing import Any, Dict, assert_type

import tarnwick_apple as ta


class Person:
    """Stands for a Pydantic v2 model: the two class methods the client uses."""

    def __init__(self, name: str) -> None:
        self.name = name

    @classmethod
    def model_json_schema(cls) -> Dict[str, Any]:
        return {"type": "object", "required": ["name"], "properties": {"name": {"type": "string"}}}

    @classmethod
    def model_validate_json(cls, json_data: str | bytes, *, strict: bool | None = None) -> Person:
        return cls("")


def calls(sidecar: pathlib.Path) -> None:
    assert_type(ta.generate("p", executable=sidecar), str)
    assert_type(ta.generate("p", schema=Person, use_case="content_tagging", timeout=2.5), Person)
    assert_type(ta.generate("p", schema={"type": "object"}, sampling={"mode": "random", "seed": 7}), Any)
    assert_type(ta.generate("p", guardrails="permissive_content_transformations", sampling="greedy",
                            max_tokens=3, retries=2), str)
    probe = ta.probe(executable="tarnwick_apple")
    assert_type(probe.available, bool)
    try:
        ta.generate("p")
    except ta.SchemaViolationError as error:
        assert_type(error.path, str)
    except ta.SidecarNotFoundError as error:
        assert_type(error.filename, Any)
