// Types of the tarnwick_apple Node.js client.

/** The use cases the model is tuned for. */
export type UseCase = 'general' | 'content_tagging';
/** The guardrail settings: the default, or looser ones for transforming given content. */
export type Guardrails = 'default' | 'permissive_content_transformations';
/** Greedy or random sampling; a seed from 0 to 2^64-1, as a BigInt beyond 2^53. */
export type Sampling =
  | 'greedy'
  | 'random'
  | { mode: 'greedy' }
  | { mode: 'random'; top?: number | bigint; probability_threshold?: number; seed?: number | bigint };

export interface GenerateOptions {
  /** A JSON Schema: the answer is parsed JSON instead of text. */
  schema?: unknown;
  instructions?: string;
  useCase?: UseCase;
  guardrails?: Guardrails;
  temperature?: number;
  /** Sent as options.maximum_response_tokens. */
  maxTokens?: number | bigint;
  sampling?: Sampling;
  /** Seconds, above 0, per try; when they pass the sidecar and all it started are killed and SidecarTimeoutError is thrown. */
  timeout?: number;
  /** The sidecar to run; default: $TARNWICK_APPLE, then tarnwick_apple on PATH. */
  executable?: string;
  /** Check a schema answer against `schema` with the built-in check (default true). */
  check?: boolean;
  /** Tries after a SchemaViolationError, each with random sampling and a new seed (default 0). */
  retries?: number;
}

/** A note of the schema checker: what the model is not held to at `pointer`. */
export interface CheckerNote {
  pointer: string;
  keyword: string;
  effect: string;
  detail: string;
}

export interface Probe {
  available: boolean;
  reason: null | 'DEVICE_NOT_ELIGIBLE' | 'APPLE_INTELLIGENCE_NOT_ENABLED' | 'MODEL_NOT_READY' | 'UNKNOWN';
}

/** The environment variable naming the sidecar when `executable` is not given. */
export const EXECUTABLE_VARIABLE: 'TARNWICK_APPLE';
/** The environment variable naming the schema checker asked about violations. */
export const CHECKER_VARIABLE: 'TARNWICK_APPLE_SCHEMA';
export function generate(prompt: string, options?: GenerateOptions & { schema?: undefined }): Promise<string>;
export function generate<T = unknown>(prompt: string, options: GenerateOptions & { schema: object }): Promise<T>;
export function probe(options?: { timeout?: number; executable?: string }): Promise<Probe>;
export function withWrittenOrder<T>(schema: T): T;
export function firstViolation(value: unknown, schema: unknown):
  { path: string; message: string; schemaPointer: string; keyword: string | null } | null;

export class TarnwickAppleError extends Error {
  /** The sidecar's error kind, or 'Timeout', 'ProtocolError', 'SchemaViolation'. */
  readonly kind: string;
}
export class SidecarError extends TarnwickAppleError {
  /** True for RateLimitedError and ConcurrentRequestsError: the same request may pass after a pause. */
  static readonly retryable: boolean;
  readonly retryable: boolean;
}
export class ExceededContextWindowSizeError extends SidecarError {}
export class AssetsUnavailableError extends SidecarError {}
export class GuardrailViolationError extends SidecarError {}
export class UnsupportedGuideError extends SidecarError {}
export class UnsupportedLanguageOrLocaleError extends SidecarError {}
export class DecodingFailureError extends SidecarError {}
export class RateLimitedError extends SidecarError {}
export class ConcurrentRequestsError extends SidecarError {}
export class RefusalError extends SidecarError {}
export class InvalidGenerationSchemaError extends SidecarError {}
export class GenerationError extends SidecarError {}
export class FoundationModelsError extends SidecarError {}
export const ERROR_KINDS: Readonly<Record<string, typeof SidecarError>>;
export class SidecarTimeoutError extends TarnwickAppleError {
  readonly seconds: number;
}
/** The sidecar could not be started: missing or not executable. */
export class SidecarNotFoundError extends TarnwickAppleError {
  /** The system's code, such as 'ENOENT' or 'EACCES'. */
  readonly code: string;
  /** The executable that was tried. */
  readonly path: string;
}
export class ProtocolError extends TarnwickAppleError {}
export class SchemaViolationError extends TarnwickAppleError {
  /** JSON Pointer of the first violation in the answer. */
  readonly path: string;
  /** The whole parsed answer. */
  readonly value: unknown;
  /** The checker's note when the model was not held to the broken constraint, else null. */
  readonly note: CheckerNote | null;
  /** How many answers were tried. */
  readonly attempts: number;
}
