"""Streamed generation: partial texts as the sidecar writes them, then the final result."""

from __future__ import annotations

import json
import subprocess
import threading
from typing import IO, Any, Dict, Iterator, Mapping, Optional, Sequence, Union

from . import enforcement
from .arguments import check_call, request_of
from .client import _UNWRITABLE_STATUS, _executable, _schema_of, _violation, final_text, with_history
from .errors import ProtocolError, SchemaViolationError, SidecarTimeoutError


class Stream:
    """An iterator of partial texts, each the whole answer so far; once it ends, `result` holds the
    text (or, with a schema, the parsed answer). Raises what `generate` raises, when the final line
    comes. `close()` (or leaving a `with` block) stops the sidecar early."""

    def __init__(self, request: Dict[str, Any], json_schema: Any, model: Any, check: bool, timeout: Optional[float],
                 executable: Any) -> None:
        self._json_schema, self._model, self._check, self._timeout = json_schema, model, check, timeout
        self._request = request
        self._done = False
        self._timed_out = False
        self.result: Any = None
        self._sidecar = _executable(executable)
        self._process = subprocess.Popen([self._sidecar], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                         stderr=subprocess.DEVNULL)
        assert self._process.stdin is not None and self._process.stdout is not None
        self._out: IO[bytes] = self._process.stdout
        stdin: IO[bytes] = self._process.stdin
        self._timer = threading.Timer(timeout, self._expire) if timeout is not None else None
        if self._timer is not None:
            self._timer.daemon = True
            self._timer.start()
        try:
            stdin.write(json.dumps(request, ensure_ascii=False, allow_nan=False).encode("utf-8"))
            stdin.close()
        except BrokenPipeError:
            pass  # the sidecar ended early: its status says why

    def _expire(self) -> None:
        self._timed_out = True
        self._process.kill()

    def __iter__(self) -> Iterator[str]:
        return self

    def __next__(self) -> str:
        if self._done:
            raise StopIteration
        out = self._out.readline()
        if not out.endswith(b"\n"):
            self._finish()
            if self._timed_out and self._timeout is not None:
                raise SidecarTimeoutError(self._timeout)
            status = self._process.returncode
            if status == _UNWRITABLE_STATUS:
                raise ProtocolError("the sidecar could not write its reply (exit status 3)")
            raise ProtocolError(f"the sidecar ended without a final line (exit status {status}): {out[:200]!r}")
        try:
            line = json.loads(out)
        except ValueError as error:
            self._finish()
            raise ProtocolError(f"the sidecar's line is not JSON: {error}") from None
        if not isinstance(line, dict):
            self._finish()
            raise ProtocolError("the sidecar's line is not a JSON object")
        if line.get("status") == "partial":
            text = line.get("text")
            if not isinstance(text, str):
                self._finish()
                raise ProtocolError(f"unexpected partial line {out[:200]!r}")
            return text
        rest = self._out.read()
        self._finish()
        if rest:
            raise ProtocolError(f"the sidecar wrote after its final line: {rest[:200]!r}")
        self.result = self._parsed(final_text(line, out))
        raise StopIteration

    def _parsed(self, text: str) -> Any:
        """The text, or with a schema the answer parsed and checked as `generate` does it."""
        if self._json_schema is None:
            return text
        try:
            answer = json.loads(text)
        except ValueError as error:
            raise ProtocolError(f"the answer is not the JSON its schema asks for: {error}") from None
        violation = _violation(answer, self._json_schema) if self._check else None
        if violation is not None:
            path, message, place = violation
            notes = enforcement.notes_of(self._request["schema"], self._sidecar) or []
            raise SchemaViolationError(path, message, answer, enforcement.note_at(notes, place), 1)
        return self._model.model_validate_json(text) if self._model is not None else answer

    def _finish(self) -> None:
        self._done = True
        self._out.close()
        self._process.wait()
        if self._timer is not None:
            self._timer.cancel()

    def close(self) -> None:
        """Stops reading: the sidecar's next write fails, it stops generating and exits."""
        if not self._done:
            self._process.kill()
            self._finish()

    def __enter__(self) -> "Stream":
        return self

    def __exit__(self, *exc: object) -> None:
        self.close()


def stream(prompt: str, *, schema: Any = None, instructions: Optional[str] = None, use_case: str = "general",
           guardrails: str = "default", temperature: Optional[float] = None, max_tokens: Optional[int] = None,
           sampling: Union[None, str, Mapping[str, Any]] = None, timeout: Optional[float] = None,
           executable: Any = None, check: bool = True,
           history: Optional[Sequence[Mapping[str, str]]] = None) -> Stream:
    """As `generate` (without retries), streamed: iterate for the partial texts; `result` holds the
    answer at the end."""
    check_call(timeout, executable, check, 0)
    json_schema, model = _schema_of(schema)
    request = request_of(prompt, schema=json_schema, instructions=instructions, use_case=use_case,
                         guardrails=guardrails, temperature=temperature, max_tokens=max_tokens, sampling=sampling)
    with_history(request, history)
    request["stream"] = True
    return Stream(request, json_schema, model, check, timeout, executable)
