// Node.js client of the tarnwick_apple sidecar: each call runs it once, writes one request to its
// stdin and reads one reply line. No dependencies.
import { spawn } from 'node:child_process';

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

// One generation: the text, or with `schema` the parsed answer. See index.d.ts.
export async function generate(prompt, {
  schema, instructions, useCase = 'general', guardrails = 'default', temperature, maxTokens, sampling,
  timeout, executable, check = true,
} = {}) {
  const request = { prompt, use_case: useCase, guardrails };
  if (instructions != null) request.instructions = instructions;
  const options = {};
  if (temperature != null) options.temperature = temperature;
  if (maxTokens != null) options.maximum_response_tokens = maxTokens;
  if (sampling != null) options.sampling = typeof sampling === 'string' ? { mode: sampling } : { ...sampling };
  if (Object.keys(options).length > 0) request.options = options;
  if (schema !== undefined) request.schema = withWrittenOrder(schema);

  const line = lineOf(await run(executable, [], encode(request), timeout));
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
