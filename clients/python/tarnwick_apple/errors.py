"""The exceptions of the client: one class per error kind of the sidecar, under one base."""

from __future__ import annotations

from typing import Optional


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
    pass


class AssetsUnavailableError(SidecarError):
    pass


class GuardrailViolationError(SidecarError):
    pass


class UnsupportedGuideError(SidecarError):
    pass


class UnsupportedLanguageOrLocaleError(SidecarError):
    pass


class DecodingFailureError(SidecarError):
    pass


class RateLimitedError(SidecarError):
    retryable = True


class ConcurrentRequestsError(SidecarError):
    retryable = True


class RefusalError(SidecarError):
    pass


class InvalidGenerationSchemaError(SidecarError):
    pass


class GenerationError(SidecarError):
    pass


class FoundationModelsError(SidecarError):
    pass


ERROR_KINDS = {
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
    """The sidecar did not answer in time; it has been killed."""

    def __init__(self, seconds: float) -> None:
        super().__init__("Timeout", f"the sidecar did not answer within {seconds:g} seconds and was killed")
        self.seconds = seconds


class ProtocolError(TarnwickAppleError):
    """The sidecar's output was not one line of the protocol (it crashed, or stdout was unwritable)."""

    def __init__(self, message: str) -> None:
        super().__init__("ProtocolError", message)


class SchemaViolationError(TarnwickAppleError, ValueError):
    """The answer does not conform to the caller's own schema; `path` locates the first violation."""

    def __init__(self, path: str, message: str, value: object) -> None:
        super().__init__("SchemaViolation", f"{path}: {message}")
        self.path = path
        self.value = value  # the whole parsed answer
