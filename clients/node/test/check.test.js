// The client's own logic without a sidecar: the built-in check's first violation, keyword by
// keyword, and the "x-order" pass.
import assert from 'node:assert/strict';
import { test } from 'node:test';

import { firstViolation, withWrittenOrder } from '../index.js';

test('first violation by keyword', () => {
  const cases = [
    [1.5, { type: 'integer' }, { path: '', message: '1.5 is not of type integer' }],
    [2, { type: ['number', 'null'] }, null],
    ['b', { enum: ['a', 1] }, { path: '', message: '"b" is not one of ["a",1]' }],
    [{ a: [1] }, { const: { a: [1] } }, null],
    [0, { exclusiveMinimum: 0 }, { path: '', message: '0 is not more than 0' }],
    [7, { minimum: 1, maximum: 5 }, { path: '', message: '7 is more than 5' }],
    [0.3, { multipleOf: 0.1 }, null],
    [0.35, { multipleOf: 0.1 }, { path: '', message: '0.35 is not a multiple of 0.1' }],
    ['🐦🐦', { maxLength: 2, minLength: 2 }, null],  // code points, not UTF-16 units
    ['ab-1234', { pattern: '^[A-Z]{2}-\\d{4}$' }, { path: '', message: '"ab-1234" does not match "^[A-Z]{2}-\\\\d{4}$"' }],
    [[1, 1], { uniqueItems: true }, { path: '', message: 'items 1 repeats an earlier item' }],
    [[1, 'x'], { prefixItems: [{ type: 'integer' }], items: { type: 'integer' } }, { path: '/1', message: '"x" is not of type integer' }],
    [{ 'a/b': { c: 1 } }, { properties: { 'a/b': { additionalProperties: false } } },
      { path: '/a~1b', message: 'additional property "c" is not allowed' }],
    [{}, { required: ['toString'] }, { path: '', message: '"toString" is a required property' }],
    [{ n: -1 }, { properties: { n: { $ref: '#/$defs/Positive' } }, $defs: { Positive: { minimum: 0 } } },
      { path: '/n', message: '-1 is less than 0' }],
    [3, { oneOf: [{ type: 'integer' }, { type: 'number' }] }, { path: '', message: 'matches 2 of "oneOf", not exactly one' }],
    [3, { anyOf: [{ type: 'string' }, { maximum: 1 }] }, { path: '', message: 'matches none of "anyOf"' }],
    ['x', { not: { type: 'string' } }, { path: '', message: 'matches "not"' }],
    ['any@thing', { format: 'email' }, null],  // not checked, as documented
  ];
  for (const [value, schema, expected] of cases) {
    assert.deepEqual(firstViolation(value, schema), expected, JSON.stringify([value, schema]));
  }
});

test('x-order lists properties as written and leaves the input alone', () => {
  const schema = {
    type: 'object',
    properties: { z: { type: 'array', items: { properties: { d: {}, c: {} } } }, a: { anyOf: [{ properties: { q: {}, p: {} } }] } },
    $defs: { D: { properties: { n: {} }, 'x-order': [] } },
    enum: [{ properties: { y: 1, x: 2 } }],
  };
  const before = structuredClone(schema);
  assert.deepEqual(withWrittenOrder(schema), {
    type: 'object',
    properties: {
      z: { type: 'array', items: { properties: { d: {}, c: {} }, 'x-order': ['d', 'c'] } },
      a: { anyOf: [{ properties: { q: {}, p: {} }, 'x-order': ['q', 'p'] }] },
    },
    $defs: { D: { properties: { n: {} }, 'x-order': [] } },
    enum: [{ properties: { y: 1, x: 2 } }],
    'x-order': ['z', 'a'],
  });
  assert.deepEqual(schema, before);
  assert.equal(withWrittenOrder('x'), 'x');
});
