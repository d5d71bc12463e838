// The client's errors: one class per error kind of the sidecar under SidecarError, and the
// client's own (timeout, protocol, schema violation), all under TarnwickAppleError.

export class TarnwickAppleError extends Error {
  constructor(kind, message) {
    super(message);  // for a sidecar error, its message exactly as written
    this.name = new.target.name;
    this.kind = kind;
  }
}

// A reply line with "status":"error"; `retryable` says whether the same request may pass later.
export class SidecarError extends TarnwickAppleError {
  static retryable = false;
  get retryable() { return this.constructor.retryable; }
}

export class ExceededContextWindowSizeError extends SidecarError {}
export class AssetsUnavailableError extends SidecarError {}
export class GuardrailViolationError extends SidecarError {}
export class UnsupportedGuideError extends SidecarError {}
export class UnsupportedLanguageOrLocaleError extends SidecarError {}
export class DecodingFailureError extends SidecarError {}
export class RateLimitedError extends SidecarError { static retryable = true; }
export class ConcurrentRequestsError extends SidecarError { static retryable = true; }
export class RefusalError extends SidecarError {}
export class InvalidGenerationSchemaError extends SidecarError {}
export class GenerationError extends SidecarError {}
export class FoundationModelsError extends SidecarError {}

export const ERROR_KINDS = Object.freeze(Object.fromEntries([
  ExceededContextWindowSizeError, AssetsUnavailableError, GuardrailViolationError, UnsupportedGuideError,
  UnsupportedLanguageOrLocaleError, DecodingFailureError, RateLimitedError, ConcurrentRequestsError,
  RefusalError, InvalidGenerationSchemaError, GenerationError, FoundationModelsError,
].map((cls) => [cls.name, cls])));

// The sidecar did not answer in time; it was killed with everything it started.
export class SidecarTimeoutError extends TarnwickAppleError {
  constructor(seconds) {
    super('Timeout', `the sidecar did not answer within ${seconds} seconds and was killed`);
    this.seconds = seconds;
  }
}

// The sidecar could not be started: missing or not executable. `code` is the system's ('ENOENT',
// 'EACCES'), `path` the executable, as on Node's own errors.
export class SidecarNotFoundError extends TarnwickAppleError {
  constructor(path, code, reason) {
    super('SidecarNotFound', `the sidecar ${JSON.stringify(path)} ${reason}`);
    this.code = code;
    this.path = path;
  }
}

// The output was not one line of the protocol (a crash, an unwritable stdout, not a sidecar), or
// a structured answer that is not JSON.
export class ProtocolError extends TarnwickAppleError {
  constructor(message) { super('ProtocolError', message); }
}

// The answer breaks the caller's own schema. `path` is the JSON Pointer of the first violation,
// `value` the whole answer, `note` the schema checker's note when the model was not held to the
// broken constraint (then another try may pass: see `retries`), `attempts` the answers tried.
export class SchemaViolationError extends TarnwickAppleError {
  constructor(path, message, value, note = null, attempts = 1) {
    const held = note === null ? '' : `; the model was not held to this constraint (${note.detail}), `
      + 'so another try may pass: retries: N asks again with a new seed';
    super('SchemaViolation', message + held);
    this.path = path;
    this.value = value;
    this.note = note;
    this.attempts = attempts;
  }
}
