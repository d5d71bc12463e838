// Says whether the model was held to a constraint the answer broke, from the schema checker's
// notes: `tarnwick_apple_schema --explain` lists what the translation drops or loosens (an ignored
// keyword, a widened pattern, a relaxed bound) at the JSON Pointer of its schema object.
import { spawn } from 'node:child_process';
import { accessSync, constants, realpathSync } from 'node:fs';
import { dirname, join } from 'node:path';

// The environment variable naming the checker; else the one beside the sidecar, then PATH.
export const CHECKER_VARIABLE = 'TARNWICK_APPLE_SCHEMA';
const CHECKER = 'tarnwick_apple_schema';
// The checker reads a schema without any model; this is ample for the largest sane schema.
const CHECKER_MILLISECONDS = 30000;

function besideSidecar(sidecar) {
  try {
    const beside = join(dirname(realpathSync(sidecar)), CHECKER);
    accessSync(beside, constants.X_OK);
    return beside;
  } catch {
    return null;  // a sidecar found on PATH has no directory here; spawn then searches PATH
  }
}

// The checker's notes on `schema` as sent, or null when no checker could say.
export function notesOf(schema, sidecar) {
  const checker = process.env[CHECKER_VARIABLE] || besideSidecar(sidecar) || CHECKER;
  return new Promise((resolve) => {
    const child = spawn(checker, ['--explain'], { stdio: ['pipe', 'pipe', 'ignore'] });
    const chunks = [];
    // Not spawn's own timeout, whose timer outlives a checker that never started.
    const timer = setTimeout(() => child.kill('SIGKILL'), CHECKER_MILLISECONDS);
    child.on('error', () => {
      clearTimeout(timer);
      resolve(null);
    });
    child.stdin.on('error', () => {});
    child.stdout.on('data', (chunk) => chunks.push(chunk));
    child.stdin.end(JSON.stringify(schema));
    child.on('close', () => {
      clearTimeout(timer);
      try {
        const line = JSON.parse(Buffer.concat(chunks).toString('utf8'));
        resolve(line.status === 'ok' && Array.isArray(line.notes) ? line.notes : null);
      } catch {
        resolve(null);
      }
    });
  });
}

// The note saying the model was not held to `keyword` at `schemaPointer`, or null.
export function noteAt(notes, { schemaPointer, keyword }) {
  return notes?.find((note) => note.pointer === schemaPointer && note.keyword === keyword && note.effect !== 'order') ?? null;
}
