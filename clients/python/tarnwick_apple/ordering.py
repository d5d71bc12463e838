"""Keeps the caller's property order: the sidecar orders properties by name unless "x-order" lists them."""

from __future__ import annotations

from typing import Any

# Keywords whose value is a map of names to subschemas, one subschema, or a list of subschemas.
_SCHEMA_MAPS = ("properties", "patternProperties", "$defs", "definitions", "dependentSchemas")
_SCHEMA_ONE = ("items", "additionalProperties", "not", "if", "then", "else", "contains",
               "propertyNames", "unevaluatedItems", "unevaluatedProperties", "additionalItems")
_SCHEMA_LISTS = ("anyOf", "oneOf", "allOf", "prefixItems", "items")


def with_written_order(schema: Any) -> Any:
    """A copy of `schema` where every object schema without "x-order" lists its properties as written."""
    if not isinstance(schema, dict):
        return schema
    result = dict(schema)
    for key in _SCHEMA_MAPS:
        if isinstance(schema.get(key), dict):
            result[key] = {name: with_written_order(sub) for name, sub in schema[key].items()}
    for key in _SCHEMA_ONE:
        if isinstance(schema.get(key), dict):
            result[key] = with_written_order(schema[key])
    for key in _SCHEMA_LISTS:
        if isinstance(schema.get(key), list):
            result[key] = [with_written_order(sub) for sub in schema[key]]
    properties = schema.get("properties")
    if isinstance(properties, dict) and "x-order" not in schema:
        result["x-order"] = list(properties)
    return result
