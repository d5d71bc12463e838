// The client's own logic without a sidecar: the built-in check's first violation, keyword by
// keyword, and the "x-order" pass.
import assert from 'node:assert/strict';
import { test } from 'node:test';

import { firstViolation, withWrittenOrder } from '../index.js';

test('first violation by keyword, placed in the value and in the schema', () => {
  // [value, schema, expected: null or [path, message, schemaPointer, keyword]]
  const cases = [
    [1.5, { type: 'integer' }, ['', '1.5 is not of type integer', '', 'type']],
    [2, { type: ['number', 'null'] }, null],
    ['b', { enum: ['a', 1] }, ['', '"b" is not one of ["a",1]', '', 'enum']],
    [{ a: [1] }, { const: { a: [1] } }, null],
    [0, { exclusiveMinimum: 0 }, ['', '0 is not more than 0', '', 'exclusiveMinimum']],
    [7, { minimum: 1, maximum: 5 }, ['', '7 is more than 5', '', 'maximum']],
    [0.3, { multipleOf: 0.1 }, null],
    [0.35, { multipleOf: 0.1 }, ['', '0.35 is not a multiple of 0.1', '', 'multipleOf']],
    ['🐦🐦', { maxLength: 2, minLength: 2 }, null],  // code points, not UTF-16 units
    ['ab-1234', { pattern: '^[A-Z]{2}-\\d{4}$' }, ['', '"ab-1234" does not match "^[A-Z]{2}-\\\\d{4}$"', '', 'pattern']],
    [[1, 1], { uniqueItems: true }, ['', 'items 1 repeats an earlier item', '', 'uniqueItems']],
    [[1, 'x'], { prefixItems: [{ type: 'integer' }], items: { type: 'integer' } }, ['/1', '"x" is not of type integer', '/items', 'type']],
    [['x'], { prefixItems: [{ type: 'integer' }] }, ['/0', '"x" is not of type integer', '/prefixItems/0', 'type']],
    [{ 'a/b': { c: 1 } }, { properties: { 'a/b': { additionalProperties: false } } },
      ['/a~1b', 'additional property "c" is not allowed', '/properties/a~1b', 'additionalProperties']],
    [{ x: 'y' }, { additionalProperties: { type: 'integer' } }, ['/x', '"y" is not of type integer', '/additionalProperties', 'type']],
    [{}, { required: ['toString'] }, ['', '"toString" is a required property', '', 'required']],
    [{ n: -1 }, { properties: { n: { $ref: '#/$defs/Positive' } }, $defs: { Positive: { minimum: 0 } } },
      ['/n', '-1 is less than 0', '/$defs/Positive', 'minimum']],
    [3, { allOf: [true, { maximum: 1 }] }, ['', '3 is more than 1', '/allOf/1', 'maximum']],
    [3, { oneOf: [{ type: 'integer' }, { type: 'number' }] }, ['', 'matches 2 of "oneOf", not exactly one', '', 'oneOf']],
    [3, { anyOf: [{ type: 'string' }, { maximum: 1 }] }, ['', 'matches none of "anyOf"', '', 'anyOf']],
    ['x', { not: { type: 'string' } }, ['', 'matches "not"', '', 'not']],
    ['any@thing', { format: 'email' }, null],  // not checked, as documented
  ];
  for (const [value, schema, expected] of cases) {
    const [path, message, schemaPointer, keyword] = expected ?? [];
    assert.deepEqual(firstViolation(value, schema), expected && { path, message, schemaPointer, keyword },
      JSON.stringify([value, schema]));
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
