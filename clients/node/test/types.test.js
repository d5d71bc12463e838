// The Node.js client's typings through `tsc --strict`: a typed caller checks clean, and each misuse
// in typed-misuse.ts is refused on its own line (a closed set, a prompt, the result type, a member).
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { test } from 'node:test';

const TSC = ['--strict', '--noEmit', '--pretty', 'false', '--target', 'es2022', '--module', 'es2022', '--moduleResolution', 'node'];
const tscMissing = spawnSync('tsc', ['--version']).error ? 'tsc is not installed (apt-get install node-typescript)' : false;

test('strict tsc accepts the caller and refuses each misuse', { skip: tscMissing }, () => {
  const run = spawnSync('tsc', [...TSC, 'test/typed-example.ts', 'test/typed-misuse.ts'], { encoding: 'utf8', timeout: 300000 });
  const errors = [...run.stdout.matchAll(/^(\S+)\((\d+),\d+\): error (TS\d+)/gm)].map(([, file, line, code]) => [file, Number(line), code]);
  assert.deepEqual(errors, [
    ['test/typed-misuse.ts', 5, 'TS2769'],  // useCase: 'chat'
    ['test/typed-misuse.ts', 6, 'TS2769'],  // guardrails: 'strict'
    ['test/typed-misuse.ts', 7, 'TS2345'],  // a prompt that is not a string
    ['test/typed-misuse.ts', 8, 'TS2769'],  // sampling: 'Greedy'
    ['test/typed-misuse.ts', 9, 'TS2322'],  // plain text is a string
    ['test/typed-misuse.ts', 10, 'TS2322'],  // executable: 7
    ['test/typed-misuse.ts', 11, 'TS2769'],  // a misspelt sampling member
  ], run.stdout + run.stderr);
});

// The published package holds every module its entry point reaches: a module left out of
// package.json's "files" installs a client that cannot be imported.
test('the package lists every module it imports', async () => {
  const { readFile } = await import('node:fs/promises');
  const root = new URL('../', import.meta.url);
  const listed = new Set(JSON.parse(await readFile(new URL('package.json', root), 'utf8')).files);
  const seen = new Set();
  const pending = ['index.js'];
  while (pending.length) {
    const file = pending.pop();
    if (seen.has(file)) continue;
    seen.add(file);
    const source = await readFile(new URL(file, root), 'utf8');
    for (const [, name] of source.matchAll(/from '\.\/([^']+)'/g)) pending.push(name);
  }
  assert.deepEqual([...seen].filter((file) => !listed.has(file)), []);
});

// The error classes are the kinds a reply line may carry (docs/protocol/reply.schema.json): one
// exported SidecarError subclass of each kind's name, and each declared so in index.d.ts.
test('the error classes are the reply schema\'s kinds, exported and declared', async () => {
  const { readFile } = await import('node:fs/promises');
  const root = new URL('../', import.meta.url);
  const error = JSON.parse(await readFile(new URL('../../docs/protocol/reply.schema.json', root), 'utf8')).$defs.error;
  const kinds = [...error.properties.kind.enum].sort();
  assert.deepEqual(error.oneOf.map((branch) => branch.properties.kind.const).sort(), kinds);
  const ta = await import('../index.js');
  assert.deepEqual(Object.keys(ta.ERROR_KINDS).sort(), kinds);
  const declarations = await readFile(new URL('index.d.ts', root), 'utf8');
  for (const kind of kinds) {
    assert.equal(ta[kind], ta.ERROR_KINDS[kind], kind);
    assert.equal(ta[kind].name, kind);
    assert.ok(ta[kind].prototype instanceof ta.SidecarError, kind);
    assert.match(declarations, new RegExp(`^export class ${kind} extends SidecarError \\{\\}$`, 'm'), kind);
  }
});
