// Types of the tarnwick_apple Node.js client.

export type UseCase = 'general' | 'content_tagging';
export type Guardrails = 'default' | 'permissive_content_transformations';
export type Sampling =
  | 'greedy'
  | 'random'
  | { mode: 'greedy' }
  | { mode: 'random'; top?: number; probability_threshold?: number; seed?: number | bigint };

export interface GenerateOptions {
  /** A JSON Schema: the answer is parsed JSON instead of text. */
  schema?: unknown;
  instructions?: string;
  useCase?: UseCase;
  guardrails?: Guardrails;
  temperature?: number;
  /** Sent as options.maximum_response_tokens. */
  maxTokens?: number;
  sampling?: Sampling;
  /** Seconds; when they pass the sidecar is killed and SidecarTimeoutError is thrown. */
  timeout?: number;
  /** The sidecar to run; default: $TARNWICK_APPLE, then tarnwick_apple on PATH. */
  executable?: string;
  /** Check a schema answer against `schema` with the built-in check (default true). */
  check?: boolean;
  /** Earlier turns of the conversation, oldest first. */
  history?: Turn[];
}

export interface Probe {
  available: boolean;
  reason: null | 'DEVICE_NOT_ELIGIBLE' | 'APPLE_INTELLIGENCE_NOT_ENABLED' | 'MODEL_NOT_READY' | 'UNKNOWN';
}

export const EXECUTABLE_VARIABLE: 'TARNWICK_APPLE';
export function generate(prompt: string, options?: GenerateOptions & { schema?: undefined }): Promise<string>;
export function generate<T = unknown>(prompt: string, options: GenerateOptions & { schema: object }): Promise<T>;
export interface Turn {
  role: 'user' | 'assistant';
  text: string;
}
// Partial texts (each the whole answer so far) for `for await`; `result` holds the answer once
// the loop has ended, and the loop throws what `generate` throws.
export class Stream<T = string> implements AsyncIterable<string> {
  result: T | undefined;
  [Symbol.asyncIterator](): AsyncIterator<string>;
}
export function stream(prompt: string, options?: GenerateOptions & { schema?: undefined }): Stream<string>;
export function stream<T = unknown>(prompt: string, options: GenerateOptions & { schema: object }): Stream<T>;
export function probe(options?: { timeout?: number; executable?: string }): Promise<Probe>;
export function withWrittenOrder<T>(schema: T): T;
export function firstViolation(value: unknown, schema: unknown): { path: string; message: string } | null;

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
export class ProtocolError extends TarnwickAppleError {}
export class SchemaViolationError extends TarnwickAppleError {
  /** JSON Pointer of the first violation in the answer. */
  readonly path: string;
  /** The whole parsed answer. */
  readonly value: unknown;
}
