"""Python client of the tarnwick_apple sidecar; standard library only at run time."""

from .client import EXECUTABLE_VARIABLE, Probe, can_check, generate, probe
from .errors import (ERROR_KINDS, AssetsUnavailableError, ConcurrentRequestsError, DecodingFailureError,
                     ExceededContextWindowSizeError, FoundationModelsError, GenerationError,
                     GuardrailViolationError, InvalidGenerationSchemaError, ProtocolError, RateLimitedError,
                     RefusalError, SchemaViolationError, SidecarError, SidecarTimeoutError, TarnwickAppleError,
                     UnsupportedGuideError, UnsupportedLanguageOrLocaleError)
from .ordering import with_written_order
from .streaming import Stream, stream

__version__ = "1.0.0"
__all__ = ["EXECUTABLE_VARIABLE", "Probe", "Stream", "can_check", "generate", "probe", "stream", "with_written_order", "ERROR_KINDS",
           "TarnwickAppleError", "SidecarError", "SidecarTimeoutError", "ProtocolError", "SchemaViolationError",
           *ERROR_KINDS]
