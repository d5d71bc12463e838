"""Runs the tarnwick_apple sidecar once per call: one request on its stdin, one reply line back."""

from __future__ import annotations

import json
import os
import random
import shutil
import signal
import subprocess
from typing import (Any, Dict, List, Literal, Mapping, NamedTuple, Optional, Protocol, Tuple, Type, TypeVar,
                    Union, overload)

from . import enforcement
from .arguments import SEED_MAX, check_call, request_of
from .errors import (ERROR_KINDS, FoundationModelsError, ProtocolError, SchemaViolationError, SidecarNotFoundError,
                     SidecarTimeoutError)

# The environment variable naming the sidecar when `executable` is not given; then PATH.
EXECUTABLE_VARIABLE = "TARNWICK_APPLE"
# Exit status of a sidecar that could not write its line.
_UNWRITABLE_STATUS = 3

UseCase = Literal["general", "content_tagging"]
"""The use cases the model is tuned for."""
Guardrails = Literal["default", "permissive_content_transformations"]
"""The guardrail settings: the default, or looser ones for transforming given content."""
Sampling = Union[Literal["greedy", "random"], Mapping[str, Any]]
""""greedy", "random", or a mapping such as {"mode": "random", "seed": 7, "top": 40}."""
Executable = Union[str, "os.PathLike[str]"]
"""A path to the sidecar."""
UnavailableReason = Literal["DEVICE_NOT_ELIGIBLE", "APPLE_INTELLIGENCE_NOT_ENABLED", "MODEL_NOT_READY", "UNKNOWN"]
"""Why the model cannot be used now."""


class Probe(NamedTuple):
    """What `probe()` found: whether the model can be used now, and if not, why."""

    available: bool
    reason: Optional[UnavailableReason]  # None when available


_M = TypeVar("_M", bound="SchemaModel")


class SchemaModel(Protocol):
    """A class that gives its JSON Schema and parses an answer back, as a Pydantic v2 model does."""

    @classmethod
    def model_json_schema(cls) -> Dict[str, Any]:
        """The class's JSON Schema."""
        ...

    @classmethod
    def model_validate_json(cls: Type[_M], json_data: str, /) -> _M:
        """An instance parsed from JSON text."""
        ...


def _executable(executable: Optional[Executable]) -> str:
    if executable is not None:
        return os.fspath(executable)
    named = os.environ.get(EXECUTABLE_VARIABLE)
    if named:
        return named
    found = shutil.which("tarnwick_apple")
    if not found:
        raise SidecarNotFoundError("tarnwick_apple", 2,
                                   f"is not on PATH; pass executable= or set {EXECUTABLE_VARIABLE}")
    return found


def _run(sidecar: str, args: List[str], stdin: bytes, timeout: Optional[float]) -> Tuple[int, bytes]:
    try:
        # A session of its own, so that a timeout ends whatever the sidecar started (a wrapper's child).
        child = subprocess.Popen([sidecar, *args], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                 stderr=subprocess.DEVNULL, start_new_session=True)
    except OSError as error:
        reason = "was not found" if isinstance(error, FileNotFoundError) else f"could not be run: {error.strerror}"
        raise SidecarNotFoundError(sidecar, error.errno, reason) from error
    with child:
        try:
            out, _ = child.communicate(stdin, timeout=timeout)
        except subprocess.TimeoutExpired:
            _end_group(child)
            raise SidecarTimeoutError(timeout if timeout is not None else 0.0) from None
        except BaseException:
            _end_group(child)  # an interrupt: leave no sidecar behind
            raise
    return child.returncode, out


def _end_group(child: "subprocess.Popen[bytes]") -> None:
    """Kills the sidecar's process group (the sidecar and whatever it started) and reaps the sidecar."""
    try:
        os.killpg(child.pid, signal.SIGKILL)
    except ProcessLookupError:
        pass  # the group has already gone
    child.wait()


def _line(status: int, out: bytes) -> Dict[str, Any]:
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


def probe(*, timeout: Optional[float] = None, executable: Optional[Executable] = None) -> Probe:
    """Whether the on-device model can be used now, and why not.

    Raises SidecarNotFoundError, SidecarTimeoutError or ProtocolError as `generate` does.
    """
    check_call(timeout, executable, True, 0)
    status, out = _run(_executable(executable), ["--probe"], b"", timeout)
    line = _line(status, out)
    available = line.get("available")
    if not isinstance(available, bool) or status != (0 if available else 1):
        raise ProtocolError(f"unexpected probe line {out!r} with exit status {status}")
    return Probe(available, line.get("reason"))


def _schema_of(schema: Any) -> Tuple[Any, Any]:
    """The JSON Schema to send, and the class to parse the answer into (Pydantic v2 style), if any."""
    if isinstance(schema, type) and callable(getattr(schema, "model_json_schema", None)):
        return getattr(schema, "model_json_schema")(), schema
    return schema, None


def _violation(answer: Any, schema: Any) -> Optional[Tuple[str, str, Optional[enforcement.Place]]]:
    """The first violation as (path in the answer, message, place in the schema), or None."""
    try:
        import jsonschema
    except ImportError:
        return None  # the check needs jsonschema; without it the answer is returned unchecked
    validator = jsonschema.validators.validator_for(schema, default=jsonschema.Draft202012Validator)(schema)
    violation = jsonschema.exceptions.best_match(validator.iter_errors(answer))
    if violation is None:
        return None
    path = "".join(f"/{enforcement._escape(p)}" for p in violation.absolute_path)
    return path, violation.message, enforcement.schema_place(schema, list(violation.absolute_schema_path))


def can_check() -> bool:
    """True when answers can be checked against the caller's schema (jsonschema is installed)."""
    try:
        import jsonschema  # noqa: F401
    except ImportError:
        return False
    return True


def _seeds(request: Dict[str, Any], tries: int) -> List[Optional[Dict[str, Any]]]:
    """The sampling of each try: the caller's first, then random sampling with a new seed each time.

    A seeded caller gets the following seeds, so a run repeats; an unseeded one gets fresh ones.
    """
    sampling = request.get("options", {}).get("sampling")
    kept = dict(sampling) if sampling and sampling["mode"] == "random" else {"mode": "random"}
    seed = kept.get("seed")
    result: List[Optional[Dict[str, Any]]] = [sampling]
    for attempt in range(1, tries):
        kept["seed"] = (seed + attempt) % (SEED_MAX + 1) if seed is not None else random.getrandbits(64)
        result.append(dict(kept))
    return result


@overload
def generate(prompt: str, *, schema: None = None, instructions: Optional[str] = None, use_case: UseCase = "general",
             guardrails: Guardrails = "default", temperature: Optional[float] = None,
             max_tokens: Optional[int] = None, sampling: Optional[Sampling] = None, timeout: Optional[float] = None,
             executable: Optional[Executable] = None, check: bool = True, retries: int = 0) -> str: ...


@overload
def generate(prompt: str, *, schema: Type[_M], instructions: Optional[str] = None, use_case: UseCase = "general",
             guardrails: Guardrails = "default", temperature: Optional[float] = None,
             max_tokens: Optional[int] = None, sampling: Optional[Sampling] = None, timeout: Optional[float] = None,
             executable: Optional[Executable] = None, check: bool = True, retries: int = 0) -> _M: ...


@overload
def generate(prompt: str, *, schema: Union[Mapping[str, Any], bool], instructions: Optional[str] = None,
             use_case: UseCase = "general", guardrails: Guardrails = "default", temperature: Optional[float] = None,
             max_tokens: Optional[int] = None, sampling: Optional[Sampling] = None, timeout: Optional[float] = None,
             executable: Optional[Executable] = None, check: bool = True, retries: int = 0) -> Any: ...


def generate(prompt: str, *, schema: Any = None, instructions: Optional[str] = None, use_case: UseCase = "general",
             guardrails: Guardrails = "default", temperature: Optional[float] = None,
             max_tokens: Optional[int] = None, sampling: Optional[Sampling] = None, timeout: Optional[float] = None,
             executable: Optional[Executable] = None, check: bool = True, retries: int = 0) -> Any:
    """One generation: the text, or with `schema` the parsed answer (an instance of a model class).

    `schema` is a JSON Schema (a dict) or a class with `model_json_schema` (a Pydantic v2 model).
    `sampling` is "greedy", "random", or a mapping such as {"mode": "random", "seed": 7, "top": 40}.
    With `check`, a schema answer is validated against the caller's own schema (when jsonschema is
    installed) and a SchemaViolationError names the first violation; `retries` asks that many times
    more, each with random sampling and a new seed, while the answer breaks the schema. `timeout`
    is in seconds, per try. Raises TypeError or ValueError for a wrong argument (naming it),
    SidecarNotFoundError, the SidecarError subclass of the reply's kind, SidecarTimeoutError, or
    ProtocolError.
    """
    check_call(timeout, executable, check, retries)
    json_schema, model = _schema_of(schema)
    request = request_of(prompt, schema=json_schema, instructions=instructions, use_case=use_case,
                         guardrails=guardrails, temperature=temperature, max_tokens=max_tokens, sampling=sampling)
    sidecar = _executable(executable)
    tries = 1 + retries if json_schema is not None and check else 1
    failure: Optional[SchemaViolationError] = None
    notes: Optional[List[Dict[str, Any]]] = None
    for attempt, try_sampling in enumerate(_seeds(request, tries), start=1):
        if try_sampling is not None:
            request.setdefault("options", {})["sampling"] = try_sampling
        text = _answer(sidecar, request, timeout)
        if json_schema is None:
            return text
        try:
            answer = json.loads(text)
        except ValueError as error:
            raise ProtocolError(f"the answer is not the JSON its schema asks for: {error}") from None
        violation = _violation(answer, json_schema) if check else None
        if violation is None:
            return model.model_validate_json(text) if model is not None else answer
        path, message, place = violation
        if notes is None:
            notes = enforcement.notes_of(request["schema"], sidecar) or []
        failure = SchemaViolationError(path, message, answer, enforcement.note_at(notes, place), attempt)
    assert failure is not None
    raise failure


def _answer(sidecar: str, request: Dict[str, Any], timeout: Optional[float]) -> str:
    """The text of one ok reply, or the reply's failure raised."""
    stdin = json.dumps(request, ensure_ascii=False, allow_nan=False).encode("utf-8")
    status, out = _run(sidecar, [], stdin, timeout)
    line = _line(status, out)
    if line.get("status") == "error":
        kind, message = line.get("kind"), line.get("message", "")
        raise ERROR_KINDS.get(str(kind), FoundationModelsError)(kind, message)
    text = line.get("text")
    if line.get("status") != "ok" or not isinstance(text, str):
        raise ProtocolError(f"unexpected reply line {out[:200]!r}")
    return text
