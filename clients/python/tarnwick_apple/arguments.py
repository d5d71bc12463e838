"""Checks a call's arguments by the rules the sidecar reads a request with, and builds the request.

A wrong argument becomes a TypeError or ValueError naming it, here in the caller's process, instead
of the sidecar's one opaque "could not be decoded" reply.
"""

from __future__ import annotations

import math
import os
from typing import Any, Callable, Dict, Mapping, Optional, Tuple, Union

from .ordering import with_written_order

USE_CASES = ("general", "content_tagging")
GUARDRAILS = ("default", "permissive_content_transformations")
SAMPLING_MODES = ("greedy", "random")
# The sidecar reads whole numbers as signed 64-bit, and the seed as unsigned 64-bit.
_INT64_MIN, _INT64_MAX = -(2**63), 2**63 - 1
SEED_MAX = 2**64 - 1
# The members a sampling mapping may have; any other is a misspelling the sidecar would ignore.
_SAMPLING_MEMBERS = ("mode", "top", "probability_threshold", "seed")


def _string(name: str, value: object) -> str:
    if not isinstance(value, str):
        raise TypeError(f"{name} must be a str, not {type(value).__name__}")
    return value


def _choice(name: str, value: object, choices: Tuple[str, ...]) -> str:
    if _string(name, value) not in choices:
        raise ValueError(f"{name} must be one of {', '.join(map(repr, choices))}, not {value!r}")
    return value  # type: ignore[return-value]


def _integer(name: str, value: object, low: int, high: int) -> int:
    if isinstance(value, bool) or not isinstance(value, int):
        raise TypeError(f"{name} must be an int, not {type(value).__name__}")
    if not low <= value <= high:
        raise ValueError(f"{name} must be from {low} to {high}, not {value}")
    return value


def _number(name: str, value: object) -> float:
    if isinstance(value, bool) or not isinstance(value, (int, float)):
        raise TypeError(f"{name} must be a float or an int, not {type(value).__name__}")
    if not math.isfinite(value):
        raise ValueError(f"{name} must be a finite number, not {value!r}")
    return value


def _sampling(value: Union[str, Mapping[str, Any]]) -> Dict[str, Any]:
    if isinstance(value, str):
        return {"mode": _choice("sampling", value, SAMPLING_MODES)}
    if not isinstance(value, Mapping):
        raise TypeError(f"sampling must be a str or a mapping, not {type(value).__name__}")
    unknown = [name for name in value if name not in _SAMPLING_MEMBERS]
    if unknown:
        raise ValueError(f"sampling has no member {unknown[0]!r}; its members are {', '.join(_SAMPLING_MEMBERS)}")
    if "mode" not in value:
        raise ValueError("sampling needs a 'mode', 'greedy' or 'random'")
    result: Dict[str, Any] = {"mode": _choice("sampling['mode']", value["mode"], SAMPLING_MODES)}
    if result["mode"] == "greedy":
        return result  # the sidecar reads nothing else of a greedy sampling
    members: Tuple[Tuple[str, Callable[[str, object], object]], ...] = (
        ("top", lambda n, v: _integer(n, v, _INT64_MIN, _INT64_MAX)), ("probability_threshold", _number),
        ("seed", lambda n, v: _integer(n, v, 0, SEED_MAX)))
    for name, check in members:
        if value.get(name) is not None:
            result[name] = check(f"sampling[{name!r}]", value[name])
    return result


def check_call(timeout: Optional[float], executable: Union[None, str, "os.PathLike[str]"], check: bool,
               retries: int) -> None:
    """Checks the arguments that shape the call rather than the request."""
    if timeout is not None and _number("timeout", timeout) <= 0:
        raise ValueError(f"timeout must be more than 0 seconds, not {timeout!r}")
    if executable is not None and not isinstance(executable, (str, os.PathLike)):
        raise TypeError(f"executable must be a str or an os.PathLike, not {type(executable).__name__}")
    if not isinstance(check, bool):
        raise TypeError(f"check must be a bool, not {type(check).__name__}")
    _integer("retries", retries, 0, _INT64_MAX)


def request_of(prompt: str, *, schema: Any, instructions: Optional[str], use_case: str, guardrails: str,
               temperature: Optional[float], max_tokens: Optional[int],
               sampling: Union[None, str, Mapping[str, Any]]) -> Dict[str, Any]:
    """The request document for these arguments; `schema` is a JSON Schema (not a model class) or None."""
    request: Dict[str, Any] = {"prompt": _string("prompt", prompt),
                               "use_case": _choice("use_case", use_case, USE_CASES),
                               "guardrails": _choice("guardrails", guardrails, GUARDRAILS)}
    if instructions is not None:
        request["instructions"] = _string("instructions", instructions)
    options: Dict[str, Any] = {}
    if temperature is not None:
        options["temperature"] = _number("temperature", temperature)
    if max_tokens is not None:
        options["maximum_response_tokens"] = _integer("max_tokens", max_tokens, _INT64_MIN, _INT64_MAX)
    if sampling is not None:
        options["sampling"] = _sampling(sampling)
    if options:
        request["options"] = options
    if schema is not None:
        request["schema"] = with_written_order(schema)
    return request
