// Checks a call's arguments by the rules the sidecar reads a request with, and writes the request:
// a wrong argument is a TypeError or RangeError naming it, instead of the sidecar's one opaque
// "could not be decoded" reply.
import { withWrittenOrder } from './ordering.js';

const USE_CASES = ['general', 'content_tagging'];
const GUARDRAILS = ['default', 'permissive_content_transformations'];
const SAMPLING_MODES = ['greedy', 'random'];
// The sidecar reads whole numbers as signed 64-bit, and the seed as unsigned 64-bit.
const INT64_MIN = -(2n ** 63n);
const INT64_MAX = 2n ** 63n - 1n;
export const SEED_MAX = 2n ** 64n - 1n;
// The members a sampling object may have; any other is a misspelling the sidecar would ignore.
const SAMPLING_MEMBERS = ['mode', 'top', 'probability_threshold', 'seed'];

const kindOf = (value) => (value === null ? 'null' : Array.isArray(value) ? 'array' : typeof value);

function string(name, value) {
  if (typeof value !== 'string') throw new TypeError(`${name} must be a string, not ${kindOf(value)}`);
  return value;
}

function choice(name, value, choices) {
  if (!choices.includes(string(name, value))) {
    throw new RangeError(`${name} must be one of ${choices.map((c) => `'${c}'`).join(', ')}, not ${JSON.stringify(value)}`);
  }
  return value;
}

// A whole number as a Number (a safe integer) or a BigInt, within [low, high].
function integer(name, value, low, high) {
  const whole = typeof value === 'bigint' || (typeof value === 'number' && Number.isInteger(value));
  if (!whole) {
    if (typeof value === 'number') throw new RangeError(`${name} must be a whole number, not ${value}`);
    throw new TypeError(`${name} must be an integer (a number or a BigInt), not ${kindOf(value)}`);
  }
  if (typeof value === 'number' && !Number.isSafeInteger(value)) {
    throw new RangeError(`${name} ${value} is beyond 2^53, where a number is not exact; pass a BigInt`);
  }
  if (BigInt(value) < low || BigInt(value) > high) throw new RangeError(`${name} must be from ${low} to ${high}, not ${value}`);
  return value;
}

function number(name, value) {
  if (typeof value !== 'number') throw new TypeError(`${name} must be a number, not ${kindOf(value)}`);
  if (!Number.isFinite(value)) throw new RangeError(`${name} must be a finite number, not ${value}`);
  return value;
}

function sampling(value) {
  if (typeof value === 'string') return { mode: choice('sampling', value, SAMPLING_MODES) };
  if (kindOf(value) !== 'object') throw new TypeError(`sampling must be a string or an object, not ${kindOf(value)}`);
  const unknown = Object.keys(value).find((name) => !SAMPLING_MEMBERS.includes(name));
  if (unknown !== undefined) {
    throw new RangeError(`sampling has no member ${JSON.stringify(unknown)}; its members are ${SAMPLING_MEMBERS.join(', ')}`);
  }
  if (value.mode === undefined) throw new RangeError('sampling needs a mode, \'greedy\' or \'random\'');
  const result = { mode: choice('sampling.mode', value.mode, SAMPLING_MODES) };
  if (result.mode === 'greedy') return result;  // the sidecar reads nothing else of a greedy sampling
  if (value.top != null) result.top = integer('sampling.top', value.top, INT64_MIN, INT64_MAX);
  if (value.probability_threshold != null) result.probability_threshold = number('sampling.probability_threshold', value.probability_threshold);
  if (value.seed != null) result.seed = integer('sampling.seed', value.seed, 0n, SEED_MAX);
  return result;
}

// Checks the options that shape the call rather than the request.
export function checkCall({ timeout, executable, check = true, retries = 0 } = {}) {
  if (timeout != null && number('timeout', timeout) <= 0) throw new RangeError(`timeout must be more than 0 seconds, not ${timeout}`);
  if (executable != null) string('executable', executable);
  if (typeof check !== 'boolean') throw new TypeError(`check must be a boolean, not ${kindOf(check)}`);
  integer('retries', retries, 0n, BigInt(Number.MAX_SAFE_INTEGER));
}

// The request for `prompt` and the options (`schema` a JSON Schema or undefined), checked.
export function requestOf(prompt, { schema, instructions, useCase = 'general', guardrails = 'default', temperature, maxTokens, sampling: chosen }) {
  const request = {
    prompt: string('prompt', prompt),
    use_case: choice('useCase', useCase, USE_CASES),
    guardrails: choice('guardrails', guardrails, GUARDRAILS),
  };
  if (instructions != null) request.instructions = string('instructions', instructions);
  const options = {};
  if (temperature != null) options.temperature = number('temperature', temperature);
  if (maxTokens != null) options.maximum_response_tokens = integer('maxTokens', maxTokens, INT64_MIN, INT64_MAX);
  if (chosen != null) options.sampling = sampling(chosen);
  if (Object.keys(options).length > 0) request.options = options;
  if (schema !== undefined) request.schema = withWrittenOrder(schema);
  return request;
}

// JSON text of a value whose numbers may be BigInts, written as their exact digits. Everything
// else is JSON.stringify's, so a schema's own toJSON and undefined members behave as usual.
function toJSON(value) {
  if (typeof value === 'bigint') return value.toString();
  if (kindOf(value) !== 'object' || typeof value.toJSON === 'function') return JSON.stringify(value);
  const members = Object.entries(value).filter(([, v]) => v !== undefined);
  return `{${members.map(([k, v]) => `${JSON.stringify(k)}:${toJSON(v)}`).join(',')}}`;
}

// The request as JSON text: the options by hand (they may hold BigInts), the rest by JSON.stringify.
export function encode(request) {
  const { options, ...rest } = request;
  const text = JSON.stringify(rest);
  return options === undefined ? text : `${text.slice(0, -1)},"options":${toJSON(options)}}`;
}
