"""The exceptions of the client: one class per error kind of the sidecar, under one base."""

from __future__ import annotations

from typing import Any, Dict, Optional


class TarnwickAppleError(Exception):
    """Base of every failure this client raises; `kind` and `message` say what went wrong."""

    def __init__(self, kind: Optional[str], message: str) -> None:
        super().__init__(f"{kind}: {message}" if kind else message)
        self.kind = kind
        self.message = message


class SidecarError(TarnwickAppleError):
    """A reply line with "status":"error"; its subclass names the kind."""

    retryable = False  # worth sending the same request again after a pause


class ExceededContextWindowSizeError(SidecarError):
    """The instructions, prompt and answer do not fit in the model's context window."""


class AssetsUnavailableError(SidecarError):
    """The on-device model cannot be used now (not eligible, not enabled, still downloading)."""


class GuardrailViolationError(SidecarError):
    """The request tripped the model's safety guardrails."""


class UnsupportedGuideError(SidecarError):
    """The schema holds a guide (a pattern or bound) the model does not support."""


class UnsupportedLanguageOrLocaleError(SidecarError):
    """The prompt's language or locale is not supported by the model."""


class DecodingFailureError(SidecarError):
    """The answer could not be decoded into the requested schema."""


class RateLimitedError(SidecarError):
    """The model rate limited this request; it may pass after a pause."""

    retryable = True


class ConcurrentRequestsError(SidecarError):
    """Too many requests at once; the same request may pass after a pause."""

    retryable = True


class RefusalError(SidecarError):
    """The model refused to answer this prompt."""


class InvalidGenerationSchemaError(SidecarError):
    """The schema cannot be given to the model (see tarnwick_apple_schema --explain)."""


class GenerationError(SidecarError):
    """Generation failed for a reason the framework did not name."""


class FoundationModelsError(SidecarError):
    """Any other failure: a request the sidecar could not read, or an unknown kind."""


# The exception class of each error kind the sidecar writes, by its wire name.
ERROR_KINDS: Dict[str, type] = {
    cls.__name__: cls
    for cls in (
        ExceededContextWindowSizeError,
        AssetsUnavailableError,
        GuardrailViolationError,
        UnsupportedGuideError,
        UnsupportedLanguageOrLocaleError,
        DecodingFailureError,
        RateLimitedError,
        ConcurrentRequestsError,
        RefusalError,
        InvalidGenerationSchemaError,
        GenerationError,
        FoundationModelsError,
    )
}


class SidecarTimeoutError(TarnwickAppleError, TimeoutError):
    """The sidecar did not answer in time; it has been killed with everything it started."""

    def __init__(self, seconds: float) -> None:
        super().__init__("Timeout", f"the sidecar did not answer within {seconds:g} seconds and was killed")
        self.seconds = seconds


class SidecarNotFoundError(TarnwickAppleError, OSError):
    """The sidecar could not be started: missing or not executable. Also an OSError with `errno` and `filename`."""

    def __init__(self, filename: str, errno: Optional[int], reason: str) -> None:
        super().__init__("SidecarNotFound", f"the sidecar {filename!r} {reason}")
        self.errno = errno  # type: ignore[assignment]  # None when the sidecar was never tried
        self.strerror = reason
        self.filename = filename


class ProtocolError(TarnwickAppleError):
    """The sidecar's output was not one line of the protocol (it crashed, or stdout was unwritable)."""

    def __init__(self, message: str) -> None:
        super().__init__("ProtocolError", message)


class SchemaViolationError(TarnwickAppleError, ValueError):
    """The answer does not conform to the caller's own schema.

    `path` is the JSON Pointer of the first violation in the answer, `message` what is wrong there,
    `value` the whole parsed answer. `note` is the schema checker's note when the model was not held
    to the broken constraint (then another try may pass: see `retries`), else None. `attempts`
    counts the answers that were tried.
    """

    def __init__(self, path: str, message: str, value: object, note: Optional[Dict[str, Any]] = None,
                 attempts: int = 1) -> None:
        if note is not None:
            message = (f"{message}; the model was not held to this constraint ({note.get('detail')}), "
                       "so another try may pass: retries=N asks again with a new seed")
        super().__init__("SchemaViolation", message)
        self.path = path
        self.value = value
        self.note = note
        self.attempts = attempts

    def __str__(self) -> str:
        tries = f" after {self.attempts} tries" if self.attempts > 1 else ""
        return f"SchemaViolation at {self.path or '(root)'}{tries}: {self.message}"
