// A small check of an answer against the caller's own JSON Schema, for the keywords the model is
// not held to. Checked: type, enum, const, properties, required, additionalProperties,
// min/maxProperties, items, prefixItems, min/maxItems, uniqueItems, minimum, maximum,
// exclusiveMinimum, exclusiveMaximum, multipleOf, minLength, maxLength, pattern, anyOf, oneOf,
// allOf, not, and "$ref" to a JSON Pointer within the schema. Not checked: format, if/then/else,
// dependent*, contains, unevaluated*, remote references.

const isObject = (v) => v !== null && typeof v === 'object' && !Array.isArray(v);

function typeOf(value) {
  if (value === null) return 'null';
  if (Array.isArray(value)) return 'array';
  if (typeof value === 'number') return Number.isInteger(value) ? 'integer' : 'number';
  return typeof value;  // 'string', 'boolean', 'object'
}

function hasType(value, type) {
  const actual = typeOf(value);
  return actual === type || (type === 'number' && actual === 'integer');
}

function equal(a, b) {
  if (a === b) return true;
  if (Array.isArray(a) && Array.isArray(b)) return a.length === b.length && a.every((x, i) => equal(x, b[i]));
  if (isObject(a) && isObject(b)) {
    const keys = Object.keys(a);
    return keys.length === Object.keys(b).length && keys.every((k) => k in b && equal(a[k], b[k]));
  }
  return false;
}

// Whole quotient up to rounding, so that 0.3 counts as a multiple of 0.1.
function isMultiple(value, divisor) {
  const quotient = value / divisor;
  return Math.abs(quotient - Math.round(quotient)) <= 1e-9 * Math.max(1, Math.abs(quotient));
}

const pointerPart = (p) => String(p).replaceAll('~', '~0').replaceAll('/', '~1');

function resolve(root, ref) {
  if (!ref.startsWith('#')) throw new Error(`cannot check a remote reference ${ref}`);
  let node = root;
  for (const raw of ref.slice(1).split('/').slice(1)) {
    const part = decodeURIComponent(raw).replaceAll('~1', '/').replaceAll('~0', '~');
    if (node === null || typeof node !== 'object' || !Object.hasOwn(node, part)) throw new Error(`unresolved reference ${ref}`);
    node = node[part];
  }
  return node;
}

// The first violation, as {path, message, schemaPointer, keyword}, or null; `path` is a JSON
// Pointer into the value, `schemaPointer` one into the schema (to the object holding `keyword`),
// references followed, as the schema checker places its notes.
function walk(value, schema, root, path, at) {
  if (schema === true || schema === undefined) return null;
  if (schema === false) return { path, message: 'no value is allowed here', schemaPointer: at, keyword: null };
  if (!isObject(schema)) return null;
  const fail = (keyword, message) => ({ path, message, schemaPointer: at, keyword });
  if (typeof schema.$ref === 'string') {
    const found = walk(value, resolve(root, schema.$ref), root, path, decodeURIComponent(schema.$ref.slice(1)));
    if (found) return found;
  }
  if (schema.type !== undefined) {
    const types = Array.isArray(schema.type) ? schema.type : [schema.type];
    if (!types.some((t) => hasType(value, t))) return fail('type', `${JSON.stringify(value)} is not of type ${types.join(', ')}`);
  }
  if (Array.isArray(schema.enum) && !schema.enum.some((e) => equal(e, value))) {
    return fail('enum', `${JSON.stringify(value)} is not one of ${JSON.stringify(schema.enum)}`);
  }
  if ('const' in schema && !equal(schema.const, value)) return fail('const', `${JSON.stringify(value)} is not ${JSON.stringify(schema.const)}`);
  if (typeof value === 'number') {
    if (typeof schema.minimum === 'number' && value < schema.minimum) return fail('minimum', `${value} is less than ${schema.minimum}`);
    if (typeof schema.maximum === 'number' && value > schema.maximum) return fail('maximum', `${value} is more than ${schema.maximum}`);
    if (typeof schema.exclusiveMinimum === 'number' && value <= schema.exclusiveMinimum) {
      return fail('exclusiveMinimum', `${value} is not more than ${schema.exclusiveMinimum}`);
    }
    if (typeof schema.exclusiveMaximum === 'number' && value >= schema.exclusiveMaximum) {
      return fail('exclusiveMaximum', `${value} is not less than ${schema.exclusiveMaximum}`);
    }
    if (typeof schema.multipleOf === 'number' && !isMultiple(value, schema.multipleOf)) {
      return fail('multipleOf', `${value} is not a multiple of ${schema.multipleOf}`);
    }
  }
  if (typeof value === 'string') {
    const length = [...value].length;  // in code points, as JSON Schema counts
    if (typeof schema.minLength === 'number' && length < schema.minLength) return fail('minLength', `${JSON.stringify(value)} is too short`);
    if (typeof schema.maxLength === 'number' && length > schema.maxLength) return fail('maxLength', `${JSON.stringify(value)} is too long`);
    if (typeof schema.pattern === 'string' && !new RegExp(schema.pattern, 'u').test(value)) {
      return fail('pattern', `${JSON.stringify(value)} does not match ${JSON.stringify(schema.pattern)}`);
    }
  }
  if (Array.isArray(value)) {
    if (typeof schema.minItems === 'number' && value.length < schema.minItems) return fail('minItems', `fewer than ${schema.minItems} items`);
    if (typeof schema.maxItems === 'number' && value.length > schema.maxItems) return fail('maxItems', `more than ${schema.maxItems} items`);
    if (schema.uniqueItems === true) {
      for (let i = 1; i < value.length; ++i) {
        if (value.slice(0, i).some((x) => equal(x, value[i]))) return fail('uniqueItems', `items ${i} repeats an earlier item`);
      }
    }
    const prefix = Array.isArray(schema.prefixItems) ? schema.prefixItems : [];
    for (let i = 0; i < value.length; ++i) {
      const itemSchema = i < prefix.length ? prefix[i] : Array.isArray(schema.items) ? undefined : schema.items;
      const itemAt = i < prefix.length ? `${at}/prefixItems/${i}` : `${at}/items`;
      const found = walk(value[i], itemSchema, root, `${path}/${i}`, itemAt);
      if (found) return found;
    }
  }
  if (isObject(value)) {
    const keys = Object.keys(value);
    for (const name of Array.isArray(schema.required) ? schema.required : []) {
      if (!Object.hasOwn(value, name)) return fail('required', `${JSON.stringify(name)} is a required property`);
    }
    if (typeof schema.minProperties === 'number' && keys.length < schema.minProperties) return fail('minProperties', 'too few properties');
    if (typeof schema.maxProperties === 'number' && keys.length > schema.maxProperties) return fail('maxProperties', 'too many properties');
    const properties = isObject(schema.properties) ? schema.properties : {};
    for (const name of keys) {
      const listed = Object.hasOwn(properties, name);
      const sub = listed ? properties[name] : schema.additionalProperties;
      if (sub === false) return fail('additionalProperties', `additional property ${JSON.stringify(name)} is not allowed`);
      const subAt = listed ? `${at}/properties/${pointerPart(name)}` : `${at}/additionalProperties`;
      const found = walk(value[name], sub, root, `${path}/${pointerPart(name)}`, subAt);
      if (found) return found;
    }
  }
  if (Array.isArray(schema.allOf)) {
    for (const [i, sub] of schema.allOf.entries()) {
      const found = walk(value, sub, root, path, `${at}/allOf/${i}`);
      if (found) return found;
    }
  }
  if (Array.isArray(schema.anyOf) && !schema.anyOf.some((sub, i) => walk(value, sub, root, path, `${at}/anyOf/${i}`) === null)) {
    return fail('anyOf', 'matches none of "anyOf"');
  }
  if (Array.isArray(schema.oneOf)) {
    const matches = schema.oneOf.filter((sub, i) => walk(value, sub, root, path, `${at}/oneOf/${i}`) === null).length;
    if (matches !== 1) return fail('oneOf', `matches ${matches} of "oneOf", not exactly one`);
  }
  if (schema.not !== undefined && walk(value, schema.not, root, path, `${at}/not`) === null) return fail('not', 'matches "not"');
  return null;
}

// The first violation of `schema` by `value`, as {path, message, schemaPointer, keyword}, or null
// when there is none.
export function firstViolation(value, schema) {
  return walk(value, schema, schema, '', '');
}
