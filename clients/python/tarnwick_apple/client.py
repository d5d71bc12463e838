"""Runs the tarnwick_apple sidecar once per call: one request on its stdin, one reply line back."""

from __future__ import annotations

import json
import os
import shutil
import subprocess
from typing import Any, Mapping, NamedTuple, Optional, Sequence, Union

from .errors import ERROR_KINDS, FoundationModelsError, ProtocolError, SchemaViolationError, SidecarTimeoutError
from .ordering import with_written_order

# The environment variable naming the sidecar when `executable` is not given; then PATH.
EXECUTABLE_VARIABLE = "TARNWICK_APPLE"
# Exit status of a sidecar that could not write its line.
_UNWRITABLE_STATUS = 3


class Probe(NamedTuple):
    available: bool
    reason: Optional[str]  # None when available, else e.g. "MODEL_NOT_READY"


def _executable(executable: Optional[str]) -> str:
    if executable:
        return executable
    named = os.environ.get(EXECUTABLE_VARIABLE)
    if named:
        return named
    found = shutil.which("tarnwick_apple")
    if not found:
        raise FileNotFoundError(f"tarnwick_apple is not on PATH; pass executable= or set {EXECUTABLE_VARIABLE}")
    return found


def _run(executable: Optional[str], args: list, stdin: bytes, timeout: Optional[float]) -> tuple:
    try:
        # subprocess.run kills the child and reaps it when the timeout passes.
        done = subprocess.run([_executable(executable), *args], input=stdin, stdout=subprocess.PIPE,
                              stderr=subprocess.DEVNULL, timeout=timeout, check=False)
    except subprocess.TimeoutExpired:
        raise SidecarTimeoutError(timeout) from None
    return done.returncode, done.stdout


def _line(status: int, out: bytes) -> dict:
    if status < 0:
        raise ProtocolError(f"the sidecar was ended by signal {-status}")
    if status == _UNWRITABLE_STATUS:
        raise ProtocolError("the sidecar could not write its reply (exit status 3)")
    if not out.endswith(b"\n") or out.count(b"\n") != 1:
        raise ProtocolError(f"the sidecar wrote no single line (exit status {status}): {out[:200]!r}")
    try:
        line = json.loads(out)
    except ValueError as error:
        raise ProtocolError(f"the sidecar's line is not JSON: {error}") from None
    if not isinstance(line, dict):
        raise ProtocolError("the sidecar's line is not a JSON object")
    return line


def probe(*, timeout: Optional[float] = None, executable: Optional[str] = None) -> Probe:
    """Whether the on-device model can be used now, and why not."""
    status, out = _run(executable, ["--probe"], b"", timeout)
    line = _line(status, out)
    available = line.get("available")
    if not isinstance(available, bool) or status != (0 if available else 1):
        raise ProtocolError(f"unexpected probe line {out!r} with exit status {status}")
    return Probe(available, line.get("reason"))


def _schema_of(schema: Any) -> tuple:
    """The JSON Schema to send, and the class to parse the answer into (Pydantic v2 style), if any."""
    if isinstance(schema, type) and callable(getattr(schema, "model_json_schema", None)):
        return schema.model_json_schema(), schema
    return schema, None


def _check(answer: Any, schema: Any) -> None:
    try:
        import jsonschema
    except ImportError:
        return  # the check needs jsonschema; without it the answer is returned unchecked
    validator = jsonschema.validators.validator_for(schema, default=jsonschema.Draft202012Validator)(schema)
    violation = jsonschema.exceptions.best_match(validator.iter_errors(answer))
    if violation is not None:
        path = "".join(f"/{str(p).replace('~', '~0').replace('/', '~1')}" for p in violation.absolute_path)
        raise SchemaViolationError(path, violation.message, answer)


def can_check() -> bool:
    """True when answers can be checked against the caller's schema (jsonschema is installed)."""
    try:
        import jsonschema  # noqa: F401
    except ImportError:
        return False
    return True


def generate(prompt: str, *, schema: Any = None, instructions: Optional[str] = None, use_case: str = "general",
             guardrails: str = "default", temperature: Optional[float] = None, max_tokens: Optional[int] = None,
             sampling: Union[None, str, Mapping[str, Any]] = None, timeout: Optional[float] = None,
             executable: Optional[str] = None, check: bool = True,
             history: Optional[Sequence[Mapping[str, str]]] = None) -> Any:
    """One generation: the text, or with `schema` the parsed answer (an instance of a model class).

    `sampling` is "greedy", "random", or a mapping such as {"mode": "random", "seed": 7, "top": 40}.
    With `check`, a schema answer is validated against the caller's own schema (when jsonschema is
    installed) and a SchemaViolationError names the first violation. `history` holds the earlier
    turns, oldest first, each {"role": "user" or "assistant", "text": ...}. Raises the SidecarError
    subclass of the reply's kind, SidecarTimeoutError, or ProtocolError.
    """
    request, json_schema, model = _request(prompt, schema, instructions, use_case, guardrails, temperature,
                                           max_tokens, sampling, history)
    stdin = json.dumps(request, ensure_ascii=False, allow_nan=False).encode("utf-8")
    status, out = _run(executable, [], stdin, timeout)
    return _answer(_line(status, out), out, json_schema, model, check)


def _request(prompt, schema, instructions, use_case, guardrails, temperature, max_tokens, sampling, history) -> tuple:
    """The request document, the JSON Schema sent, and the model class to parse into, if any."""
    request: dict = {"prompt": prompt, "use_case": use_case, "guardrails": guardrails}
    if history:
        request["history"] = [{"role": turn["role"], "text": turn["text"]} for turn in history]
    if instructions is not None:
        request["instructions"] = instructions
    options: dict = {}
    if temperature is not None:
        options["temperature"] = temperature
    if max_tokens is not None:
        options["maximum_response_tokens"] = max_tokens
    if sampling is not None:
        options["sampling"] = {"mode": sampling} if isinstance(sampling, str) else dict(sampling)
    if options:
        request["options"] = options
    json_schema, model = _schema_of(schema)
    if json_schema is not None:
        request["schema"] = with_written_order(json_schema)
    return request, json_schema, model


def _answer(line: dict, out: bytes, json_schema: Any, model: Any, check: bool) -> Any:
    """The text or parsed answer of a final line; raises the error it reports."""
    if line.get("status") == "error":
        kind, message = line.get("kind"), line.get("message", "")
        raise ERROR_KINDS.get(kind, FoundationModelsError)(kind, message)
    text = line.get("text")
    if line.get("status") != "ok" or not isinstance(text, str):
        raise ProtocolError(f"unexpected reply line {out[:200]!r}")
    if json_schema is None:
        return text
    answer = json.loads(text)
    if check:
        _check(answer, json_schema)
    return model.model_validate_json(text) if model is not None else answer
