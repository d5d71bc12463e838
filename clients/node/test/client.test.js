// The Node.js client against the built test sidecars: plain text, structured answers in the
// caller's order, every error kind as its class, the probe, the timeout. Environment (set by
// ctest): TARNWICK_TEST_SIDECARS (directory of the test sidecars), TARNWICK_TEST_DOUBLE (the
// sidecar over the framework test double; its tests skip when absent), TARNWICK_TEST_NEVER_ANSWERS,
// TARNWICK_SCHEMA_CHECKER (the schema checker), TARNWICK_SOURCE_DIR.
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { accessSync, constants, mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { describe, test } from 'node:test';

import * as ta from '../index.js';

const SIDECARS = process.env.TARNWICK_TEST_SIDECARS ?? '';
const sidecar = (variant) => join(SIDECARS, `tarnwick_apple_${variant}`);
const REFERENCE = sidecar('reference');
const DOUBLE = process.env.TARNWICK_TEST_DOUBLE ?? '';
const NEVER_ANSWERS = process.env.TARNWICK_TEST_NEVER_ANSWERS ?? '';
const SOURCE = process.env.TARNWICK_SOURCE_DIR ?? new URL('../../..', import.meta.url).pathname;
const script = (name) => join(SOURCE, 'tests', 'clients', name);
process.env[ta.CHECKER_VARIABLE] ??= process.env.TARNWICK_SCHEMA_CHECKER ?? '';
const doubleMissing = (() => {
  try {
    accessSync(DOUBLE, constants.X_OK);
    return false;
  } catch {
    return 'tarnwick_apple_double is not built';
  }
})();

async function rejectsWith(promise, ErrorClass, message) {
  await assert.rejects(promise, (error) => {
    assert.ok(error instanceof ErrorClass, `${error} is not a ${ErrorClass.name}`);
    assert.ok(error instanceof ta.SidecarError);
    assert.equal(error.kind, ErrorClass.name);
    assert.equal(error.message, message);
    return true;
  });
}

describe('plain text', () => {
  test('echo, cut and options', async () => {
    const cases = [
      ['Name three birds.', {}, 'Name three birds.'],
      ['hello world', { maxTokens: 2 }, 'hello'],
      ['hello world', { maxTokens: 0 }, ''],
      ['línea 1\nline "2"\t\u2028 🐦', { instructions: 'Be brief.' }, 'línea 1\nline "2"\t\u2028 🐦'],
      ['x', { temperature: 0.5, sampling: { mode: 'random', seed: 18446744073709551615n, top: 3 } }, 'x'],
      ['x', { sampling: 'greedy', useCase: 'content_tagging', guardrails: 'permissive_content_transformations' }, 'x'],
      // The seed is written without any stand-in text that a prompt could hold too.
      ['\u0000seed\u0000 "\u0000seed\u0000"', { sampling: { mode: 'random', seed: 2n ** 64n - 1n } }, '\u0000seed\u0000 "\u0000seed\u0000"'],
    ];
    for (const [prompt, options, expected] of cases) {
      assert.equal(await ta.generate(prompt, { ...options, executable: REFERENCE }), expected);
    }
  });

  test('executable from the environment', async () => {
    process.env[ta.EXECUTABLE_VARIABLE] = REFERENCE;
    try {
      assert.equal(await ta.generate('from the environment'), 'from the environment');
    } finally {
      delete process.env[ta.EXECUTABLE_VARIABLE];
    }
  });
});

describe('structured', () => {
  test('answer keys come in the order written', async () => {
    const schema = {
      type: 'object', required: ['zeta', 'alpha', 'inner'],
      properties: {
        zeta: { type: 'string' }, alpha: { type: 'integer', minimum: 3 },
        inner: { type: 'object', required: ['b', 'a'], properties: { b: { type: 'boolean' }, a: { type: 'number' } } },
      },
    };
    const answer = await ta.generate('p', { schema, executable: REFERENCE });
    assert.equal(JSON.stringify(answer), '{"zeta":"","alpha":3,"inner":{"b":false,"a":0}}');
  });

  test('definitions, arrays and enumerations', async () => {
    const schema = {
      type: 'object', required: ['tags', 'mood'],
      properties: { tags: { type: 'array', items: { $ref: '#/$defs/Tag' }, minItems: 2 }, mood: { enum: ['happy', 'sad'] } },
      $defs: { Tag: { type: 'object', required: ['name'], properties: { name: { const: 't' } } } },
    };
    assert.deepEqual(await ta.generate('p', { schema, executable: REFERENCE }), { tags: [{ name: 't' }, { name: 't' }], mood: 'happy' });
  });

  test('the check names the first violation and what the model was not held to', async () => {
    // The model is not told "minLength" (in a definition, reached by "$ref"); the built-in check catches it.
    const schema = {
      type: 'object', required: ['id'], properties: { id: { $ref: '#/$defs/Id' } },
      $defs: { Id: { type: 'object', required: ['v'], properties: { v: { type: 'string', minLength: 3 } } } },
    };
    const detail = '"minLength": 3 is not read on a string, so the model is not held to it';
    await assert.rejects(ta.generate('p', { schema, executable: REFERENCE }), (error) => {
      assert.ok(error instanceof ta.SchemaViolationError);
      assert.deepEqual([error.path, error.value, error.attempts], ['/id/v', { id: { v: '' } }, 1]);
      assert.deepEqual(error.note, { pointer: '/$defs/Id/properties/v', keyword: 'minLength', effect: 'ignored', detail });
      assert.equal(error.message, `"" is too short; the model was not held to this constraint (${detail}), `
        + 'so another try may pass: retries: N asks again with a new seed');
      return true;
    });
    assert.deepEqual(await ta.generate('p', { schema, executable: REFERENCE, check: false }), { id: { v: '' } });
    const checker = process.env[ta.CHECKER_VARIABLE];
    process.env[ta.CHECKER_VARIABLE] = '/nonexistent/checker';
    try {
      await assert.rejects(ta.generate('p', { schema, executable: REFERENCE }), { note: null, message: '"" is too short' });
    } finally {
      process.env[ta.CHECKER_VARIABLE] = checker;
    }
  });

  test('retries take new seeds until the answer passes', async () => {
    // "^[A-Z]$" reaches the model widened to "\\w". Seeds 1 and 2 give "5" and "a", seed 3 gives "W".
    const schema = { type: 'object', required: ['c'], properties: { c: { type: 'string', pattern: '^[A-Z]$' } } };
    const seeded = { mode: 'random', seed: 1 };
    await assert.rejects(ta.generate('p', { schema, sampling: seeded, retries: 1, executable: REFERENCE }), (error) => {
      assert.deepEqual([error.note.effect, error.value, error.attempts], ['pattern-widened', { c: 'a' }, 2]);
      return true;
    });
    assert.deepEqual(await ta.generate('p', { schema, sampling: seeded, retries: 40, executable: REFERENCE }), { c: 'W' });
    const greedy = await ta.generate('p', { schema, sampling: 'greedy', retries: 40, executable: REFERENCE });
    assert.match(greedy.c, /^[A-Z]$/);
  });

  test('an answer that is not JSON is a protocol error', async () => {
    const executable = script('answers-not-json.sh');
    await assert.rejects(ta.generate('p', { schema: { type: 'object' }, executable }), (error) => {
      assert.ok(error instanceof ta.ProtocolError);
      assert.match(error.message, /^the answer is not the JSON its schema asks for: /);
      return true;
    });
    assert.equal(await ta.generate('p', { executable }), '{"name": tru');
  });
});

describe('errors', () => {
  test('kinds from the reference engine', async () => {
    const cycle = {
      type: 'object', required: ['a'], properties: { a: { $ref: '#/$defs/A' } },
      $defs: { A: { type: 'object', required: ['b'], properties: { b: { $ref: '#/$defs/A' } } } },
    };
    const cases = [
      [{ sampling: { mode: 'random', top: 2, probability_threshold: 0.5 } }, ta.FoundationModelsError,
        'random sampling cannot set both top and probability_threshold'],
      [{ schema: 'not a schema' }, ta.InvalidGenerationSchemaError, 'the schema is not a JSON object'],
      [{ schema: { type: 'integer', minimum: 2, maximum: 1 } }, ta.InvalidGenerationSchemaError,
        'the schema declares a numeric bound whose minimum exceeds its maximum'],
      [{ schema: { type: 'string' }, maxTokens: 0 }, ta.DecodingFailureError,
        'the model\'s response could not be decoded into the requested schema'],
      [{ schema: cycle }, ta.ExceededContextWindowSizeError, 'the prompt and response exceeded the model\'s context window'],
    ];
    for (const [options, ErrorClass, message] of cases) {
      await rejectsWith(ta.generate('p', { ...options, executable: REFERENCE }), ErrorClass, message);
    }
  });

  test('unavailable model', async () => {
    const cases = [
      ['deviceNotEligible', 'this device is not eligible for Apple Intelligence'],
      ['appleIntelligenceNotEnabled', 'Apple Intelligence is not enabled on this device'],
      ['modelNotReady', 'the on-device model is still downloading or preparing'],
      ['unrecognized', 'the on-device model assets are unavailable'],
    ];
    for (const [variant, message] of cases) {
      await rejectsWith(ta.generate('p', { executable: sidecar(variant) }), ta.AssetsUnavailableError, message);
    }
  });

  test('every generation failure', { skip: doubleMissing }, async () => {
    const cases = [
      ['exceededContextWindowSize', ta.ExceededContextWindowSizeError, 'the prompt and response exceeded the model\'s context window'],
      ['assetsUnavailable', ta.AssetsUnavailableError, 'the on-device model assets are unavailable'],
      ['guardrailViolation', ta.GuardrailViolationError, 'the request tripped the on-device model\'s safety guardrails'],
      ['unsupportedGuide', ta.UnsupportedGuideError, 'the schema uses a guide the on-device model does not support'],
      ['unsupportedLanguageOrLocale', ta.UnsupportedLanguageOrLocaleError,
        'the prompt uses a language or locale the on-device model does not support'],
      ['decodingFailure', ta.DecodingFailureError, 'the model\'s response could not be decoded into the requested schema'],
      ['rateLimited', ta.RateLimitedError, 'the on-device model rate limited this request'],
      ['concurrentRequests', ta.ConcurrentRequestsError, 'too many concurrent on-device model requests'],
      ['refusal', ta.RefusalError, 'the on-device model refused to answer this prompt'],
      ['other', ta.GenerationError, 'on-device generation failed'],
    ];
    try {
      for (const [failure, ErrorClass, message] of cases) {
        process.env.TARNWICK_FRAMEWORK_DOUBLE = `fail:${failure}`;
        await rejectsWith(ta.generate('p', { executable: DOUBLE }), ErrorClass, message);
        assert.equal(ErrorClass.retryable, failure === 'rateLimited' || failure === 'concurrentRequests');
      }
    } finally {
      delete process.env.TARNWICK_FRAMEWORK_DOUBLE;
    }
  });

  test('not a sidecar', async () => {
    for (const executable of ['/bin/true', '/bin/false']) {
      await assert.rejects(ta.generate('p', { executable }), ta.ProtocolError);
    }
  });

  test('a sidecar that cannot be run', async () => {
    const directory = mkdtempSync(join(tmpdir(), 'tarnwick-'));
    const unexecutable = join(directory, 'tarnwick_apple');
    writeFileSync(unexecutable, '#!/bin/sh\n');
    const missing = join(directory, 'no_such_sidecar');
    const path = process.env.PATH;
    process.env.PATH = join(directory, 'bin');  // holds no sidecar
    try {
      const cases = [
        [() => ta.generate('p', { executable: missing }), missing, 'ENOENT', 'was not found'],
        [() => ta.probe({ executable: unexecutable }), unexecutable, 'EACCES', 'could not be run: EACCES'],
        [() => ta.generate('p'), 'tarnwick_apple', 'ENOENT', 'was not found'],
      ];
      for (const [call, file, code, reason] of cases) {
        await assert.rejects(call(), (error) => {
          assert.ok(error instanceof ta.SidecarNotFoundError && error instanceof ta.TarnwickAppleError);
          assert.deepEqual([error.path, error.code, error.message], [file, code, `the sidecar ${JSON.stringify(file)} ${reason}`]);
          return true;
        });
      }
    } finally {
      process.env.PATH = path;
      rmSync(directory, { recursive: true });
    }
  });
});

describe('probe and timeout', () => {
  test('probe', async () => {
    assert.deepEqual(await ta.probe({ executable: REFERENCE }), { available: true, reason: null });
    const cases = [
      ['deviceNotEligible', 'DEVICE_NOT_ELIGIBLE'], ['appleIntelligenceNotEnabled', 'APPLE_INTELLIGENCE_NOT_ENABLED'],
      ['modelNotReady', 'MODEL_NOT_READY'], ['unrecognized', 'UNKNOWN'],
    ];
    for (const [variant, reason] of cases) {
      assert.deepEqual(await ta.probe({ executable: sidecar(variant) }), { available: false, reason });
    }
  });

  test('probe through the double', { skip: doubleMissing }, async () => {
    process.env.TARNWICK_FRAMEWORK_DOUBLE = 'unavailable:modelNotReady';
    try {
      assert.deepEqual(await ta.probe({ executable: DOUBLE }), { available: false, reason: 'MODEL_NOT_READY' });
    } finally {
      delete process.env.TARNWICK_FRAMEWORK_DOUBLE;
    }
  });

  test('a timeout kills the sidecar and says so', async () => {
    const started = Date.now();
    await assert.rejects(ta.generate('p', { timeout: 0.5, executable: NEVER_ANSWERS }), (error) => {
      assert.ok(error instanceof ta.SidecarTimeoutError);
      assert.equal(error.message, 'the sidecar did not answer within 0.5 seconds and was killed');
      return true;
    });
    assert.ok(Date.now() - started < 10000);
  });

  test('a timeout ends what a wrapper started and settles on the timer', async () => {
    // The wrapper runs the sidecar as its child without exec, and the child holds stdout open.
    const directory = mkdtempSync(join(tmpdir(), 'tarnwick-'));
    const pidFile = join(directory, 'pid');
    process.env.TARNWICK_TEST_PID_FILE = pidFile;
    try {
      await assert.rejects(ta.generate('p', { timeout: 0.5, executable: script('wrapper-no-exec.sh') }), ta.SidecarTimeoutError);
      const child = Number(readFileSync(pidFile, 'utf8'));
      const deadline = Date.now() + 10000;
      while (running(child) && Date.now() < deadline) await new Promise((done) => setTimeout(done, 50));
      assert.ok(!running(child), `the wrapper's child ${child} outlived the timeout`);
    } finally {
      delete process.env.TARNWICK_TEST_PID_FILE;
      rmSync(directory, { recursive: true });
    }
  });
});

// Whether `pid` is a process that has not ended (a zombie has ended).
function running(pid) {
  try {
    return readFileSync(`/proc/${pid}/stat`, 'utf8').split(')').at(-1).trim().split(' ')[0] !== 'Z';
  } catch {
    return false;
  }
}

describe('readme', () => {
  test('the Node.js example runs as pasted', () => {
    // Every call must name the sidecar itself: none is on PATH or in the environment here.
    const readme = readFileSync(join(SOURCE, 'README.md'), 'utf8');
    const section = readme.slice(readme.indexOf('### Node.js'), readme.indexOf('## The reference engine'));
    const example = section.split('```js\n')[1].split('```')[0].replaceAll('build/release/tarnwick_apple', REFERENCE);
    const out = execFileSync(process.execPath, ['--input-type=module', '-e', example],
      { cwd: SOURCE, env: { PATH: '/usr/bin:/bin' }, encoding: 'utf8', timeout: 60000 });
    assert.equal(out, "Name three birds.\n[ 'name' ]\n{ available: true, reason: null }\n");
  });
});
