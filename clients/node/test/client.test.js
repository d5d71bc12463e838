// The Node.js client against the built test sidecars: plain text, structured answers in the
// caller's order, every error kind as its class, the probe, the timeout. Environment (set by
// ctest): TARNWICK_TEST_SIDECARS (directory of the test sidecars), TARNWICK_TEST_DOUBLE (the
// sidecar over the framework test double; its tests skip when absent), TARNWICK_TEST_NEVER_ANSWERS.
import assert from 'node:assert/strict';
import { accessSync, constants } from 'node:fs';
import { join } from 'node:path';
import { describe, test } from 'node:test';

import * as ta from '../index.js';

const SIDECARS = process.env.TARNWICK_TEST_SIDECARS ?? '';
const sidecar = (variant) => join(SIDECARS, `tarnwick_apple_${variant}`);
const REFERENCE = sidecar('reference');
const DOUBLE = process.env.TARNWICK_TEST_DOUBLE ?? '';
const NEVER_ANSWERS = process.env.TARNWICK_TEST_NEVER_ANSWERS ?? '';
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

  test('the check names the first violation of the caller\'s schema', async () => {
    // The model is not told "minLength"; the built-in check catches it.
    const schema = { type: 'object', required: ['id'], properties: { id: { type: 'string', minLength: 3 } } };
    await assert.rejects(ta.generate('p', { schema, executable: REFERENCE }), (error) => {
      assert.ok(error instanceof ta.SchemaViolationError);
      assert.equal(error.path, '/id');
      assert.equal(error.message, '/id: "" is too short');
      assert.deepEqual(error.value, { id: '' });
      return true;
    });
    assert.deepEqual(await ta.generate('p', { schema, executable: REFERENCE, check: false }), { id: '' });
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
      [{ useCase: 'chat' }, ta.FoundationModelsError, 'the request on stdin could not be decoded into a sidecar request'],
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
    await assert.rejects(ta.generate('p', { executable: join(SIDECARS, 'no_such_sidecar') }), { code: 'ENOENT' });
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
});

describe('conversations and streaming', () => {
  test('history counts against the window', async () => {
    const turn = 'abcd '.repeat(1000);
    const history = [0, 1, 2, 3, 4].map((i) => ({ role: i % 2 === 0 ? 'user' : 'assistant', text: turn }));
    assert.equal(await ta.generate('hi', { history: history.slice(0, 3), executable: REFERENCE }), 'hi');
    await assert.rejects(ta.generate('hi', { history, executable: REFERENCE }), ta.ExceededContextWindowSizeError);
  });

  test('partial texts, then the result', async () => {
    const prompt = 'alpha beta gamma delta epsilon zeta';
    const streamed = ta.stream(prompt, { executable: REFERENCE });
    const partials = [];
    for await (const text of streamed) partials.push(text);
    assert.deepEqual(partials, ['alph', 'alpha beta', 'alpha beta gamma delt']);
    assert.equal(streamed.result, prompt);
    const schema = { type: 'object', properties: { a: { type: 'array', items: { type: 'integer' }, minItems: 3 } } };
    const structured = ta.stream('x', { schema, executable: REFERENCE });
    for await (const text of structured) assert.equal(typeof JSON.parse(text), 'object');
    assert.deepEqual(structured.result, await ta.generate('x', { schema, executable: REFERENCE }));
  });

  test('a failure after partial lines', { skip: doubleMissing }, async () => {
    process.env.TARNWICK_FRAMEWORK_DOUBLE = 'fail:refusal';
    try {
      const seen = [];
      await assert.rejects((async () => {
        for await (const text of ta.stream('alpha beta gamma delta epsilon zeta', { executable: DOUBLE })) seen.push(text);
      })(), ta.RefusalError);
      assert.deepEqual(seen, ['alph', 'alpha beta', 'alpha beta gamma delt']);
    } finally {
      delete process.env.TARNWICK_FRAMEWORK_DOUBLE;
    }
  });

  test('leaving the loop early stops the sidecar', async () => {
    const streamed = ta.stream('word '.repeat(200000), { executable: sidecar('echo') });
    for await (const text of streamed) {
      assert.equal(text, 'word');
      break;
    }
    assert.equal(streamed.result, undefined);
  });
});
