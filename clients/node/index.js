// Node.js client of the tarnwick_apple sidecar: each call runs it once, writes one request to its
// stdin and reads one reply line. No dependencies.
import { spawn } from 'node:child_process';
import { createInterface } from 'node:readline';

import { firstViolation } from './check.js';
import { ERROR_KINDS, FoundationModelsError, ProtocolError, SchemaViolationError, SidecarTimeoutError } from './errors.js';
import { withWrittenOrder } from './ordering.js';

export * from './errors.js';
export { firstViolation } from './check.js';
export { withWrittenOrder } from './ordering.js';

// The environment variable naming the sidecar when `executable` is not given; then PATH.
export const EXECUTABLE_VARIABLE = 'TARNWICK_APPLE';
// Exit status of a sidecar that could not write its line.
const UNWRITABLE_STATUS = 3;

function run(executable, args, input, timeout) {
  const file = executable || process.env[EXECUTABLE_VARIABLE] || 'tarnwick_apple';
  return new Promise((resolve, reject) => {
    const child = spawn(file, args, { stdio: ['pipe', 'pipe', 'ignore'] });
    const chunks = [];
    let timer = null;
    let timedOut = false;
    if (timeout != null) {
      timer = setTimeout(() => {
        timedOut = true;
        child.kill('SIGKILL');
      }, timeout * 1000);
    }
    child.on('error', (error) => {
      clearTimeout(timer);
      reject(error);  // e.g. ENOENT: not found
    });
    child.stdout.on('data', (chunk) => chunks.push(chunk));
    child.stdin.on('error', () => {});  // a sidecar that exits without reading (probe) closes the pipe
    child.stdin.end(input);
    child.on('close', (status, signal) => {
      clearTimeout(timer);
      if (timedOut) reject(new SidecarTimeoutError(timeout));
      else resolve({ status, signal, out: Buffer.concat(chunks) });
    });
  });
}

function lineOf({ status, signal, out }) {
  if (signal) throw new ProtocolError(`the sidecar was ended by signal ${signal}`);
  if (status === UNWRITABLE_STATUS) throw new ProtocolError('the sidecar could not write its reply (exit status 3)');
  const text = out.toString('utf8');
  if (!text.endsWith('\n') || text.indexOf('\n') !== text.length - 1) {
    throw new ProtocolError(`the sidecar wrote no single line (exit status ${status}): ${JSON.stringify(text.slice(0, 200))}`);
  }
  let line;
  try {
    line = JSON.parse(text);
  } catch (error) {
    throw new ProtocolError(`the sidecar's line is not JSON: ${error.message}`);
  }
  if (line === null || typeof line !== 'object' || Array.isArray(line)) throw new ProtocolError('the sidecar\'s line is not a JSON object');
  return line;
}

// The request as JSON; a BigInt seed (beyond 2^53) is written as its exact digits.
function encode(request) {
  const seed = request.options?.sampling?.seed;
  if (typeof seed !== 'bigint') return JSON.stringify(request);
  const marker = '\u0000seed\u0000';
  const text = JSON.stringify({ ...request, options: { ...request.options, sampling: { ...request.options.sampling, seed: marker } } });
  return text.replace(JSON.stringify(marker), seed.toString());
}

// Whether the on-device model can be used now: {available, reason}.
export async function probe({ timeout, executable } = {}) {
  const result = await run(executable, ['--probe'], '', timeout);
  const line = lineOf(result);
  if (typeof line.available !== 'boolean' || result.status !== (line.available ? 0 : 1)) {
    throw new ProtocolError(`unexpected probe line ${JSON.stringify(line)} with exit status ${result.status}`);
  }
  return { available: line.available, reason: line.reason ?? null };
}

// The request document for `generate` and `stream`.
function requestOf(prompt, { schema, instructions, useCase = 'general', guardrails = 'default', temperature, maxTokens, sampling, history }) {
  const request = { prompt, use_case: useCase, guardrails };
  if (instructions != null) request.instructions = instructions;
  if (history != null && history.length > 0) request.history = history.map(({ role, text }) => ({ role, text }));
  const options = {};
  if (temperature != null) options.temperature = temperature;
  if (maxTokens != null) options.maximum_response_tokens = maxTokens;
  if (sampling != null) options.sampling = typeof sampling === 'string' ? { mode: sampling } : { ...sampling };
  if (Object.keys(options).length > 0) request.options = options;
  if (schema !== undefined) request.schema = withWrittenOrder(schema);
  return request;
}

// The text or parsed answer of a final line; throws the error it reports.
function answerOf(line, schema, check) {
  if (line.status === 'error') {
    const ErrorClass = Object.hasOwn(ERROR_KINDS, line.kind) ? ERROR_KINDS[line.kind] : FoundationModelsError;
    throw new ErrorClass(line.kind, line.message ?? '');
  }
  if (line.status !== 'ok' || typeof line.text !== 'string') throw new ProtocolError(`unexpected reply line ${JSON.stringify(line)}`);
  if (schema === undefined) return line.text;
  const answer = JSON.parse(line.text);
  if (check) {
    const violation = firstViolation(answer, schema);
    if (violation) throw new SchemaViolationError(violation.path, violation.message, answer);
  }
  return answer;
}

// One generation: the text, or with `schema` the parsed answer. See index.d.ts.
export async function generate(prompt, options = {}) {
  const { schema, timeout, executable, check = true } = options;
  const line = lineOf(await run(executable, [], encode(requestOf(prompt, options)), timeout));
  return answerOf(line, schema, check);
}

// A streamed generation: iterate (for await) over the partial texts, each the whole answer so
// far; once the iteration ends, `result` holds the answer. Leaving the loop early stops the sidecar.
export class Stream {
  constructor(prompt, options) {
    this.result = undefined;
    this._prompt = prompt;
    this._options = options;
  }

  async *[Symbol.asyncIterator]() {
    const { schema, timeout, executable, check = true } = this._options;
    const request = { ...requestOf(this._prompt, this._options), stream: true };
    const file = executable || process.env[EXECUTABLE_VARIABLE] || 'tarnwick_apple';
    const child = spawn(file, [], { stdio: ['pipe', 'pipe', 'ignore'] });
    const ended = new Promise((resolve, reject) => {
      child.on('error', reject);
      child.on('close', (status, signal) => resolve({ status, signal }));
    });
    let timedOut = false;
    const timer = timeout == null ? null : setTimeout(() => {
      timedOut = true;
      child.kill('SIGKILL');
    }, timeout * 1000);
    child.stdin.on('error', () => {});
    child.stdin.end(encode(request));
    const lines = createInterface({ input: child.stdout, crlfDelay: Infinity });
    let final = null;
    try {
      for await (const text of lines) {
        if (final !== null) throw new ProtocolError(`the sidecar wrote after its final line: ${JSON.stringify(text.slice(0, 200))}`);
        let line;
        try {
          line = JSON.parse(text);
        } catch (error) {
          throw new ProtocolError(`the sidecar's line is not JSON: ${error.message}`);
        }
        if (line === null || typeof line !== 'object' || Array.isArray(line)) throw new ProtocolError('the sidecar\'s line is not a JSON object');
        if (line.status !== 'partial') {
          final = line;
          continue;
        }
        if (typeof line.text !== 'string') throw new ProtocolError(`unexpected partial line ${JSON.stringify(line)}`);
        yield line.text;
      }
      const { status, signal } = await ended;
      if (timedOut) throw new SidecarTimeoutError(timeout);
      if (final === null) {
        if (signal) throw new ProtocolError(`the sidecar was ended by signal ${signal}`);
        if (status === UNWRITABLE_STATUS) throw new ProtocolError('the sidecar could not write its reply (exit status 3)');
        throw new ProtocolError(`the sidecar ended without a final line (exit status ${status})`);
      }
      this.result = answerOf(final, schema, check);
    } finally {
      clearTimeout(timer);
      if (child.exitCode === null && child.signalCode === null) child.kill('SIGKILL');
      lines.close();
      await ended.catch(() => {});
    }
  }
}

// As `generate`, streamed. See Stream.
export function stream(prompt, options = {}) {
  return new Stream(prompt, options);
}
