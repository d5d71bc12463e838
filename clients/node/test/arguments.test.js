// The Node.js client's own argument checks: each wrong option is named in a TypeError or
// RangeError before any sidecar runs, and the edge values the sidecar accepts still pass.
// Environment (set by ctest): TARNWICK_TEST_SIDECARS, the directory of the test sidecars.
import assert from 'node:assert/strict';
import { join } from 'node:path';
import { test } from 'node:test';

import * as ta from '../index.js';

const REFERENCE = join(process.env.TARNWICK_TEST_SIDECARS ?? '', 'tarnwick_apple_reference');
// Any run of this would fail the test: the checks come first.
const NOT_RUN = '/nonexistent/tarnwick_apple';

test('wrong arguments are named', async () => {
  const cases = [
    [42, {}, TypeError, 'prompt must be a string, not number'],
    [undefined, {}, TypeError, 'prompt must be a string, not undefined'],
    ['p', { instructions: ['x'] }, TypeError, 'instructions must be a string, not array'],
    ['p', { useCase: 'chat' }, RangeError, 'useCase must be one of \'general\', \'content_tagging\', not "chat"'],
    ['p', { useCase: 'contentTagging' }, RangeError, 'useCase must be one of \'general\', \'content_tagging\', not "contentTagging"'],
    ['p', { guardrails: null }, TypeError, 'guardrails must be a string, not null'],
    ['p', { maxTokens: true }, TypeError, 'maxTokens must be an integer (a number or a BigInt), not boolean'],
    ['p', { maxTokens: 1.5 }, RangeError, 'maxTokens must be a whole number, not 1.5'],
    ['p', { maxTokens: 2n ** 63n }, RangeError,
      'maxTokens must be from -9223372036854775808 to 9223372036854775807, not 9223372036854775808'],
    ['p', { temperature: '0.5' }, TypeError, 'temperature must be a number, not string'],
    ['p', { temperature: Infinity }, RangeError, 'temperature must be a finite number, not Infinity'],
    ['p', { sampling: 'Greedy' }, RangeError, 'sampling must be one of \'greedy\', \'random\', not "Greedy"'],
    ['p', { sampling: 7 }, TypeError, 'sampling must be a string or an object, not number'],
    ['p', { sampling: { seed: 7 } }, RangeError, 'sampling needs a mode, \'greedy\' or \'random\''],
    ['p', { sampling: { mode: 'random', sead: 7 } }, RangeError,
      'sampling has no member "sead"; its members are mode, top, probability_threshold, seed'],
    ['p', { sampling: { mode: 'random', seed: 2n ** 64n } }, RangeError,
      'sampling.seed must be from 0 to 18446744073709551615, not 18446744073709551616'],
    ['p', { sampling: { mode: 'random', seed: -1 } }, RangeError, 'sampling.seed must be from 0 to 18446744073709551615, not -1'],
    ['p', { sampling: { mode: 'random', seed: 2 ** 60 } }, RangeError,
      'sampling.seed 1152921504606847000 is beyond 2^53, where a number is not exact; pass a BigInt'],
    ['p', { sampling: { mode: 'random', seed: '7' } }, TypeError, 'sampling.seed must be an integer (a number or a BigInt), not string'],
    ['p', { sampling: { mode: 'random', probability_threshold: NaN } }, RangeError,
      'sampling.probability_threshold must be a finite number, not NaN'],
    ['p', { timeout: 0 }, RangeError, 'timeout must be more than 0 seconds, not 0'],
    ['p', { timeout: -1 }, RangeError, 'timeout must be more than 0 seconds, not -1'],
    ['p', { timeout: '5' }, TypeError, 'timeout must be a number, not string'],
    ['p', { check: 'no' }, TypeError, 'check must be a boolean, not string'],
    ['p', { retries: -1 }, RangeError, 'retries must be from 0 to 9007199254740991, not -1'],
    ['p', { executable: 7 }, TypeError, 'executable must be a string, not number'],
  ];
  for (const [prompt, options, ErrorClass, message] of cases) {
    await assert.rejects(ta.generate(prompt, { executable: NOT_RUN, ...options }), (error) => {
      assert.ok(error instanceof ErrorClass, `${error} is not a ${ErrorClass.name}`);
      assert.equal(error.message, message);
      return true;
    });
  }
  await assert.rejects(ta.probe({ timeout: -1, executable: NOT_RUN }), { name: 'RangeError', message: 'timeout must be more than 0 seconds, not -1' });
});

test('edge values the sidecar accepts', async () => {
  const cases = [
    { sampling: { mode: 'random', seed: 2n ** 64n - 1n, top: -(2n ** 63n) } },
    { sampling: { mode: 'random', seed: 0, probability_threshold: 2 } },
    { sampling: { mode: 'greedy', seed: -1 } },  // a greedy sampling's other members are not read
    { maxTokens: 9n, temperature: -3, timeout: 30.5 },
  ];
  for (const options of cases) {
    assert.equal(await ta.generate('hello', { executable: REFERENCE, ...options }), 'hello', JSON.stringify(options, (k, v) => String(v)));
  }
});
