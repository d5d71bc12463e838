"""Python client of the tarnwick_apple sidecar; standard library only at run time."""

from .client import (EXECUTABLE_VARIABLE, Executable, Guardrails, Probe, Sampling, SchemaModel, UnavailableReason,
                     UseCase, can_check, generate, probe)
from .enforcement import CHECKER_VARIABLE
from .errors import (ERROR_KINDS, AssetsUnavailableError, ConcurrentRequestsError, DecodingFailureError,
                     ExceededContextWindowSizeError, FoundationModelsError, GenerationError,
                     GuardrailViolationError, InvalidGenerationSchemaError, ProtocolError, RateLimitedError,
                     RefusalError, SchemaViolationError, SidecarError, SidecarNotFoundError, SidecarTimeoutError,
                     TarnwickAppleError, UnsupportedGuideError, UnsupportedLanguageOrLocaleError)
from .ordering import with_written_order

__version__ = "1.0.0"
__all__ = ["EXECUTABLE_VARIABLE", "CHECKER_VARIABLE", "Probe", "SchemaModel", "UseCase", "Guardrails", "Sampling",
           "Executable", "UnavailableReason", "can_check", "generate", "probe", "with_written_order", "ERROR_KINDS",
           "TarnwickAppleError", "SidecarError", "SidecarNotFoundError", "SidecarTimeoutError", "ProtocolError",
           "SchemaViolationError", "ExceededContextWindowSizeError", "AssetsUnavailableError",
           "GuardrailViolationError", "UnsupportedGuideError", "UnsupportedLanguageOrLocaleError",
           "DecodingFailureError", "RateLimitedError", "ConcurrentRequestsError", "RefusalError",
           "InvalidGenerationSchemaError", "GenerationError", "FoundationModelsError"]
