// Keeps the caller's property order: the sidecar orders properties by name unless "x-order" lists them.

const SCHEMA_MAPS = ['properties', 'patternProperties', '$defs', 'definitions', 'dependentSchemas'];
const SCHEMA_ONE = ['items', 'additionalProperties', 'not', 'if', 'then', 'else', 'contains', 'propertyNames',
  'unevaluatedItems', 'unevaluatedProperties', 'additionalItems'];
const SCHEMA_LISTS = ['anyOf', 'oneOf', 'allOf', 'prefixItems', 'items'];

const isObject = (v) => v !== null && typeof v === 'object' && !Array.isArray(v);

// A copy of `schema` where every object schema without "x-order" lists its properties as written.
export function withWrittenOrder(schema) {
  if (!isObject(schema)) return schema;
  const result = { ...schema };
  for (const key of SCHEMA_MAPS) {
    if (isObject(schema[key])) {
      result[key] = Object.fromEntries(Object.entries(schema[key]).map(([name, sub]) => [name, withWrittenOrder(sub)]));
    }
  }
  for (const key of SCHEMA_ONE) if (isObject(schema[key])) result[key] = withWrittenOrder(schema[key]);
  for (const key of SCHEMA_LISTS) if (Array.isArray(schema[key])) result[key] = schema[key].map(withWrittenOrder);
  if (isObject(schema.properties) && !('x-order' in schema)) result['x-order'] = Object.keys(schema.properties);
  return result;
}
