"""Streamed generation: partial texts as the sidecar writes them, then the final result."""

from __future__ import annotations

import json
import subprocess
import threading
from typing import Any, Iterator, Mapping, Optional, Sequence, Union

from .client import _UNWRITABLE_STATUS, _answer, _executable, _request
from .errors import ProtocolError, SidecarTimeoutError


class Stream:
    """An iterator of partial texts, each the whole answer so far; once it ends, `result` holds the
    text (or, with a schema, the parsed answer). Raises what `generate` raises, when the final line
    comes. `close()` (or leaving a `with` block) stops the sidecar early."""

    def __init__(self, request: dict, json_schema: Any, model: Any, check: bool, timeout: Optional[float],
                 executable: Optional[str]) -> None:
        self._json_schema, self._model, self._check, self._timeout = json_schema, model, check, timeout
        self._done = False
        self._timed_out = False
        self.result: Any = None
        self._process = subprocess.Popen([_executable(executable)], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                         stderr=subprocess.DEVNULL)
        self._timer = threading.Timer(timeout, self._expire) if timeout is not None else None
        if self._timer is not None:
            self._timer.daemon = True
            self._timer.start()
        try:
            self._process.stdin.write(json.dumps(request, ensure_ascii=False, allow_nan=False).encode("utf-8"))
            self._process.stdin.close()
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
        out = self._process.stdout.readline()
        if not out.endswith(b"\n"):
            self._finish()
            if self._timed_out:
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
        rest = self._process.stdout.read()
        self._finish()
        if rest:
            raise ProtocolError(f"the sidecar wrote after its final line: {rest[:200]!r}")
        self.result = _answer(line, out, self._json_schema, self._model, self._check)
        raise StopIteration

    def _finish(self) -> None:
        self._done = True
        self._process.stdout.close()
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
           executable: Optional[str] = None, check: bool = True,
           history: Optional[Sequence[Mapping[str, str]]] = None) -> Stream:
    """As `generate`, streamed: iterate for the partial texts; `result` holds the answer at the end."""
    request, json_schema, model = _request(prompt, schema, instructions, use_case, guardrails, temperature,
                                           max_tokens, sampling, history)
    request["stream"] = True
    return Stream(request, json_schema, model, check, timeout, executable)
