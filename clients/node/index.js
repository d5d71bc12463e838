// Node.js client of the tarnwick_apple sidecar: each call runs it once, writes one request to its
// stdin and reads one reply line. No dependencies.
import { spawn } from 'node:child_process';
import { randomBytes } from 'node:crypto';

import { SEED_MAX, checkCall, encode, requestOf } from './arguments.js';
import { firstViolation } from './check.js';
import { parsedAnswer, parsedLine } from './lines.js';
import { noteAt, notesOf } from './enforcement.js';
import { withHistory } from './streaming.js';
import {
  ERROR_KINDS, FoundationModelsError, ProtocolError, SchemaViolationError, SidecarNotFoundError, SidecarTimeoutError,
} from './errors.js';

export * from './errors.js';
export { firstViolation } from './check.js';
export { CHECKER_VARIABLE } from './enforcement.js';
export { withWrittenOrder } from './ordering.js';
export { Stream, stream } from './streaming.js';

// The environment variable naming the sidecar when `executable` is not given; then PATH.
export const EXECUTABLE_VARIABLE = 'TARNWICK_APPLE';
// Exit status of a sidecar that could not write its line.
const UNWRITABLE_STATUS = 3;

function sidecarOf(executable) {
  return executable || process.env[EXECUTABLE_VARIABLE] || 'tarnwick_apple';
}

function run(file, args, input, timeout) {
  return new Promise((resolve, reject) => {
    // A process group of its own, so that a timeout ends whatever the sidecar started (a wrapper's
    // child), and the promise settles on the timer, not when the last holder of stdout lets go.
    const child = spawn(file, args, { stdio: ['pipe', 'pipe', 'ignore'], detached: true });
    const chunks = [];
    let settled = false;
    const settle = (act) => {
      if (settled) return;
      settled = true;
      clearTimeout(timer);
      act();
    };
    const timer = timeout == null ? null : setTimeout(() => settle(() => {
      try {
        process.kill(-child.pid, 'SIGKILL');
      } catch {
        // the group has already gone
      }
      child.stdout.destroy();
      child.stdin.destroy();
      reject(new SidecarTimeoutError(timeout));
    }), timeout * 1000);
    child.on('error', (error) => settle(() => {
      const reason = error.code === 'ENOENT' ? 'was not found' : `could not be run: ${error.code}`;
      reject(new SidecarNotFoundError(file, error.code, reason));
    }));
    child.stdout.on('data', (chunk) => chunks.push(chunk));
    child.stdin.on('error', () => {});  // a sidecar that exits without reading (probe) closes the pipe
    child.stdin.end(input);
    child.on('close', (status, signal) => settle(() => resolve({ status, signal, out: Buffer.concat(chunks) })));
  });
}

function lineOf({ status, signal, out }) {
  if (signal) throw new ProtocolError(`the sidecar was ended by signal ${signal}`);
  if (status === UNWRITABLE_STATUS) throw new ProtocolError('the sidecar could not write its reply (exit status 3)');
  const text = out.toString('utf8');
  if (!text.endsWith('\n') || text.indexOf('\n') !== text.length - 1) {
    throw new ProtocolError(`the sidecar wrote no single line (exit status ${status}): ${JSON.stringify(text.slice(0, 200))}`);
  }
  return parsedLine(text);
}

// Whether the on-device model can be used now: {available, reason}.
export async function probe({ timeout, executable } = {}) {
  checkCall({ timeout, executable });
  const result = await run(sidecarOf(executable), ['--probe'], '', timeout);
  const line = lineOf(result);
  if (typeof line.available !== 'boolean' || result.status !== (line.available ? 0 : 1)) {
    throw new ProtocolError(`unexpected probe line ${JSON.stringify(line)} with exit status ${result.status}`);
  }
  return { available: line.available, reason: line.reason ?? null };
}

// The sampling of each try: the caller's first, then random sampling with a new seed each time
// (the following seeds when the caller gave one, so a run repeats).
function samplings(request, tries) {
  const sampling = request.options?.sampling;
  const kept = sampling?.mode === 'random' ? { ...sampling } : { mode: 'random' };
  const seed = kept.seed == null ? null : BigInt(kept.seed);
  const result = [sampling];
  for (let attempt = 1; attempt < tries; ++attempt) {
    const next = seed === null ? randomBytes(8).readBigUInt64BE() : (seed + BigInt(attempt)) % (SEED_MAX + 1n);
    result.push({ ...kept, seed: next });
  }
  return result;
}

// The text of one ok reply, or the reply's failure thrown.
async function answer(sidecar, request, timeout) {
  const line = lineOf(await run(sidecar, [], encode(request), timeout));
  if (line.status === 'error') {
    const ErrorClass = Object.hasOwn(ERROR_KINDS, line.kind) ? ERROR_KINDS[line.kind] : FoundationModelsError;
    throw new ErrorClass(line.kind, line.message ?? '');
  }
  if (line.status !== 'ok' || typeof line.text !== 'string') throw new ProtocolError(`unexpected reply line ${JSON.stringify(line)}`);
  return line.text;
}

// One generation: the text, or with `schema` the parsed answer. See index.d.ts.
export async function generate(prompt, options = {}) {
  checkCall(options);
  const { schema, timeout, executable, check = true, retries = 0 } = options;
  const request = withHistory(requestOf(prompt, options), options.history);
  const sidecar = sidecarOf(executable);
  const tries = schema !== undefined && check ? 1 + Number(retries) : 1;
  let failure = null;
  let notes;
  for (const [index, sampling] of samplings(request, tries).entries()) {
    if (sampling !== undefined) request.options = { ...request.options, sampling };
    const text = await answer(sidecar, request, timeout);
    if (schema === undefined) return text;
    const parsed = parsedAnswer(text);
    const violation = check ? firstViolation(parsed, schema) : null;
    if (!violation) return parsed;
    notes ??= await notesOf(request.schema, sidecar);
    failure = new SchemaViolationError(violation.path, violation.message, parsed, noteAt(notes, violation), index + 1);
  }
  throw failure;
}
