// Earlier turns in a request, and streamed generation: partial texts as the sidecar writes them,
// then the final result.
import { spawn } from 'node:child_process';
import { createInterface } from 'node:readline';

import { checkCall, encode, requestOf } from './arguments.js';
import { firstViolation } from './check.js';
import { parsedAnswer, parsedLine } from './lines.js';
import { noteAt, notesOf } from './enforcement.js';
import { ERROR_KINDS, FoundationModelsError, ProtocolError, SchemaViolationError, SidecarNotFoundError, SidecarTimeoutError } from './errors.js';

const EXECUTABLE_VARIABLE = 'TARNWICK_APPLE';
const UNWRITABLE_STATUS = 3;

// Adds the earlier turns to `request`; a turn that is not {role, text} is a TypeError naming it.
export function withHistory(request, history) {
  if (history == null) return request;
  if (!Array.isArray(history)) throw new TypeError('history must be an array of {role, text}');
  if (history.length === 0) return request;
  request.history = history.map((turn, index) => {
    if (turn === null || typeof turn !== 'object' || (turn.role !== 'user' && turn.role !== 'assistant') || typeof turn.text !== 'string') {
      throw new TypeError(`history[${index}] must be {role: 'user' | 'assistant', text: string}`);
    }
    return { role: turn.role, text: turn.text };
  });
  return request;
}

// The text of a final ok line, or the failure it reports thrown.
function finalText(line) {
  if (line.status === 'error') {
    const ErrorClass = Object.hasOwn(ERROR_KINDS, line.kind) ? ERROR_KINDS[line.kind] : FoundationModelsError;
    throw new ErrorClass(line.kind, line.message ?? '');
  }
  if (line.status !== 'ok' || typeof line.text !== 'string') throw new ProtocolError(`unexpected reply line ${JSON.stringify(line)}`);
  return line.text;
}

// A streamed generation: iterate (for await) over the partial texts, each the whole answer so
// far; once the iteration ends, `result` holds the answer. Leaving the loop early stops the sidecar.
export class Stream {
  constructor(prompt, options) {
    checkCall(options);
    this.result = undefined;
    this._options = options;
    this._request = { ...withHistory(requestOf(prompt, options), options.history), stream: true };
  }

  async *[Symbol.asyncIterator]() {
    const { schema, timeout, executable, check = true } = this._options;
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
    child.stdin.end(encode(this._request));
    const lines = createInterface({ input: child.stdout, crlfDelay: Infinity });
    let final = null;
    try {
      for await (const text of lines) {
        if (final !== null) throw new ProtocolError(`the sidecar wrote after its final line: ${JSON.stringify(text.slice(0, 200))}`);
        const line = parsedLine(text);
        if (line.status !== 'partial') {
          final = line;
          continue;
        }
        if (typeof line.text !== 'string') throw new ProtocolError(`unexpected partial line ${JSON.stringify(line)}`);
        yield line.text;
      }
      let status;
      let signal;
      try {
        ({ status, signal } = await ended);
      } catch (error) {
        if (error.code === 'ENOENT' || error.code === 'EACCES') throw new SidecarNotFoundError(file, error.code, error.code === 'ENOENT' ? 'was not found' : 'cannot be run');
        throw error;
      }
      if (timedOut) throw new SidecarTimeoutError(timeout);
      if (final === null) {
        if (signal) throw new ProtocolError(`the sidecar was ended by signal ${signal}`);
        if (status === UNWRITABLE_STATUS) throw new ProtocolError('the sidecar could not write its reply (exit status 3)');
        throw new ProtocolError(`the sidecar ended without a final line (exit status ${status})`);
      }
      this.result = await this._parsed(finalText(final), schema, check, file);
    } finally {
      clearTimeout(timer);
      if (child.exitCode === null && child.signalCode === null) child.kill('SIGKILL');
      lines.close();
      await ended.catch(() => {});
    }
  }

  // The text, or with a schema the answer parsed and checked as `generate` does it.
  async _parsed(text, schema, check, sidecar) {
    if (schema === undefined) return text;
    const parsed = parsedAnswer(text);
    const violation = check ? firstViolation(parsed, schema) : null;
    if (!violation) return parsed;
    const notes = await notesOf(this._request.schema, sidecar);
    throw new SchemaViolationError(violation.path, violation.message, parsed, noteAt(notes, violation), 1);
  }
}

// As `generate` (without retries), streamed. See Stream.
export function stream(prompt, options = {}) {
  return new Stream(prompt, options);
}
