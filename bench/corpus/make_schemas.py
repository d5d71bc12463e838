#!/usr/bin/env python3
"""Writes schemas.jsonl: realistic JSON Schemas of the kinds people hand to structured-output
engines (API payloads, configuration files, forms, OpenAPI-style components, extraction targets),
one {"name":..., "schema":...} per line."""
import json, os

S = {}

def add(name, schema):
    S[name] = schema

email = {"type": "string", "format": "email", "pattern": r"^[^@\s]+@[^@\s]+\.[a-zA-Z]{2,}$"}
uuid = {"type": "string", "format": "uuid", "pattern": r"^[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}$"}
iso_date = {"type": "string", "format": "date"}
iso_datetime = {"type": "string", "format": "date-time"}
money = {"type": "number", "minimum": 0, "multipleOf": 0.01}
currency = {"type": "string", "pattern": "^[A-Z]{3}$", "minLength": 3, "maxLength": 3}
phone = {"type": "string", "pattern": r"^\+?[1-9]\d{1,14}$"}
url = {"type": "string", "format": "uri", "maxLength": 2048}
address = {"type": "object", "additionalProperties": False, "required": ["street", "city", "country"],
           "properties": {"street": {"type": "string", "minLength": 1}, "city": {"type": "string"},
                          "postal_code": {"type": "string", "pattern": r"^[A-Z0-9 -]{3,10}$"},
                          "country": {"type": "string", "pattern": "^[A-Z]{2}$"}}}

add("order", {"$schema": "https://json-schema.org/draft/2020-12/schema", "title": "Order", "type": "object",
    "additionalProperties": False, "required": ["id", "email", "code", "total", "lines"],
    "properties": {"id": uuid, "email": email, "code": {"type": "string", "pattern": r"^[A-Z]{3}-\d{4}$"},
                   "total": {"type": "number", "exclusiveMinimum": 0}, "currency": currency,
                   "lines": {"type": "array", "minItems": 1, "items": {"$ref": "#/$defs/Line"}},
                   "shipping": {"$ref": "#/$defs/Address"}, "notes": {"type": ["string", "null"], "maxLength": 500}},
    "$defs": {"Line": {"type": "object", "required": ["sku", "quantity"], "properties": {
        "sku": {"type": "string", "pattern": "^[A-Z0-9-]+$"}, "quantity": {"type": "integer", "minimum": 1},
        "unit_price": money}}, "Address": address}})

add("user_profile", {"type": "object", "required": ["username", "email"], "properties": {
    "username": {"type": "string", "minLength": 3, "maxLength": 32, "pattern": "^[a-z0-9_]+$"},
    "email": email, "age": {"type": "integer", "minimum": 13, "maximum": 120},
    "website": url, "bio": {"type": "string", "maxLength": 280},
    "roles": {"type": "array", "items": {"enum": ["admin", "editor", "viewer"]}, "uniqueItems": True},
    "created_at": iso_datetime}})

add("sentiment", {"type": "object", "required": ["label", "score"], "x-order": ["label", "score", "rationale"],
    "properties": {"label": {"enum": ["positive", "neutral", "negative"]},
                   "score": {"type": "number", "minimum": -1, "maximum": 1},
                   "rationale": {"type": "string", "description": "one sentence"}}})

add("entities", {"type": "object", "required": ["entities"], "properties": {"entities": {"type": "array", "items": {
    "type": "object", "required": ["text", "type"], "properties": {
        "text": {"type": "string"}, "type": {"enum": ["PERSON", "ORG", "LOCATION", "DATE", "MONEY"]},
        "start": {"type": "integer", "minimum": 0}, "end": {"type": "integer", "minimum": 0}}}}}})

add("invoice", {"title": "Invoice", "type": "object", "required": ["number", "issued", "seller", "buyer", "items", "total"],
    "properties": {"number": {"type": "string", "pattern": r"^INV-\d{6}$"}, "issued": iso_date, "due": iso_date,
                   "seller": {"$ref": "#/definitions/party"}, "buyer": {"$ref": "#/definitions/party"},
                   "items": {"type": "array", "items": {"type": "object", "properties": {
                       "description": {"type": "string"}, "qty": {"type": "number", "exclusiveMinimum": 0},
                       "price": money, "vat_rate": {"type": "number", "enum": [0, 0.07, 0.19]}}}},
                   "total": money, "paid": {"type": "boolean", "default": False}},
    "definitions": {"party": {"type": "object", "required": ["name"], "properties": {
        "name": {"type": "string"}, "vat_id": {"type": "string", "pattern": "^[A-Z]{2}[0-9A-Z]{2,12}$"},
        "address": address}}}})

add("github_issue", {"type": "object", "required": ["title", "labels"], "properties": {
    "title": {"type": "string", "minLength": 1, "maxLength": 256}, "body": {"type": ["string", "null"]},
    "labels": {"type": "array", "items": {"type": "string"}, "maxItems": 10},
    "assignees": {"type": "array", "items": {"type": "string", "pattern": "^[a-zA-Z0-9-]+$"}},
    "milestone": {"type": ["integer", "null"]}, "state": {"type": "string", "enum": ["open", "closed"]}}})

add("config_service", {"$schema": "http://json-schema.org/draft-07/schema#", "type": "object",
    "required": ["name", "port"], "additionalProperties": False, "properties": {
    "name": {"type": "string", "pattern": "^[a-z][a-z0-9-]*$"}, "port": {"type": "integer", "minimum": 1, "maximum": 65535},
    "host": {"type": "string", "format": "hostname"}, "log_level": {"enum": ["debug", "info", "warn", "error"]},
    "timeout_ms": {"type": "integer", "exclusiveMinimum": 0, "multipleOf": 100},
    "tls": {"type": "object", "properties": {"enabled": {"type": "boolean"}, "cert": {"type": "string"}, "key": {"type": "string"}},
            "dependentRequired": {"enabled": ["cert", "key"]}},
    "env": {"type": "object", "additionalProperties": {"type": "string"}},
    "replicas": {"type": "integer", "minimum": 1, "default": 1}}})

add("package_json_subset", {"type": "object", "required": ["name", "version"], "properties": {
    "name": {"type": "string", "maxLength": 214, "pattern": r"^(?:@[a-z0-9-~][a-z0-9-._~]*/)?[a-z0-9-~][a-z0-9-._~]*$"},
    "version": {"type": "string", "pattern": r"^\d+\.\d+\.\d+(?:-[0-9A-Za-z.-]+)?$"},
    "description": {"type": "string"}, "keywords": {"type": "array", "items": {"type": "string"}},
    "license": {"type": "string"}, "private": {"type": "boolean"},
    "scripts": {"type": "object", "additionalProperties": {"type": "string"}},
    "engines": {"type": "object", "properties": {"node": {"type": "string"}}}}})

add("signup_form", {"title": "Signup", "type": "object", "required": ["email", "password", "accept_terms"], "properties": {
    "email": email, "password": {"type": "string", "minLength": 12, "pattern": r"^(?=.*[A-Z])(?=.*\d).+$"},
    "accept_terms": {"type": "boolean", "const": True}, "newsletter": {"type": "boolean"},
    "birth_date": iso_date, "phone": phone, "country": {"type": "string", "pattern": "^[A-Z]{2}$"}}})

add("survey", {"type": "object", "properties": {
    "rating": {"type": "integer", "minimum": 1, "maximum": 5}, "recommend": {"type": "integer", "minimum": 0, "maximum": 10},
    "comments": {"type": "string", "maxLength": 1000},
    "topics": {"type": "array", "items": {"enum": ["price", "quality", "support", "delivery"]}, "uniqueItems": True, "maxItems": 4}},
    "required": ["rating"]})

add("openapi_pet", {"type": "object", "required": ["name", "photoUrls"], "properties": {
    "id": {"type": "integer", "format": "int64"}, "category": {"$ref": "#/components/schemas/Category"},
    "name": {"type": "string", "example": "doggie"}, "photoUrls": {"type": "array", "items": {"type": "string"}},
    "tags": {"type": "array", "items": {"$ref": "#/components/schemas/Tag"}},
    "status": {"type": "string", "description": "pet status in the store", "enum": ["available", "pending", "sold"]}}})

add("openapi_pet_defs", {"type": "object", "required": ["name", "photoUrls"], "properties": {
    "id": {"type": "integer", "format": "int64", "minimum": 1}, "category": {"$ref": "#/$defs/Category"},
    "name": {"type": "string"}, "photoUrls": {"type": "array", "items": {"type": "string", "format": "uri"}},
    "tags": {"type": "array", "items": {"$ref": "#/$defs/Tag"}}, "status": {"enum": ["available", "pending", "sold"]}},
    "$defs": {"Category": {"type": "object", "properties": {"id": {"type": "integer"}, "name": {"type": "string"}}},
              "Tag": {"type": "object", "properties": {"id": {"type": "integer"}, "name": {"type": "string"}}}}})

add("openapi_error", {"type": "object", "required": ["code", "message"], "properties": {
    "code": {"type": "integer", "format": "int32"}, "message": {"type": "string"},
    "details": {"type": "array", "items": {"type": "object", "additionalProperties": True}}}})

add("openapi_paginated", {"type": "object", "required": ["items", "page"], "properties": {
    "items": {"type": "array", "items": {"$ref": "#/$defs/Item"}}, "page": {"type": "integer", "minimum": 1},
    "per_page": {"type": "integer", "minimum": 1, "maximum": 100}, "next": {"type": ["string", "null"], "format": "uri"}},
    "$defs": {"Item": {"type": "object", "required": ["id"], "properties": {"id": uuid, "name": {"type": "string"}}},
              "Unused": {"type": "string", "format": "date"}}})

add("event", {"type": "object", "required": ["type", "payload"], "properties": {
    "type": {"type": "string"}, "timestamp": iso_datetime,
    "payload": {"oneOf": [{"$ref": "#/$defs/Click"}, {"$ref": "#/$defs/Purchase"}]}},
    "$defs": {"Click": {"type": "object", "properties": {"x": {"type": "integer"}, "y": {"type": "integer"}}},
              "Purchase": {"type": "object", "properties": {"amount": money, "currency": currency}}}})

add("shape_union", {"type": "object", "properties": {"shape": {"oneOf": [
    {"type": "object", "properties": {"kind": {"const": "circle"}, "radius": {"type": "number", "exclusiveMinimum": 0}}, "required": ["kind", "radius"]},
    {"type": "object", "properties": {"kind": {"const": "rect"}, "w": {"type": "number", "exclusiveMinimum": 0}, "h": {"type": "number", "exclusiveMinimum": 0}}, "required": ["kind", "w", "h"]}]}}})

add("recipe", {"title": "Recipe", "type": "object", "required": ["name", "ingredients", "steps"], "properties": {
    "name": {"type": "string"}, "servings": {"type": "integer", "minimum": 1},
    "prep_minutes": {"type": "integer", "minimum": 0}, "ingredients": {"type": "array", "minItems": 1, "items": {
        "type": "object", "required": ["item"], "properties": {"item": {"type": "string"}, "amount": {"type": "number", "exclusiveMinimum": 0},
                                                               "unit": {"enum": ["g", "kg", "ml", "l", "tsp", "tbsp", "cup", "piece"]}}}},
    "steps": {"type": "array", "items": {"type": "string", "minLength": 5}}, "tags": {"type": "array", "items": {"type": "string"}, "uniqueItems": True}}})

add("meeting_notes", {"type": "object", "required": ["summary", "action_items"], "properties": {
    "summary": {"type": "string", "maxLength": 600}, "decisions": {"type": "array", "items": {"type": "string"}},
    "action_items": {"type": "array", "items": {"type": "object", "required": ["owner", "task"], "properties": {
        "owner": {"type": "string"}, "task": {"type": "string"}, "due": iso_date,
        "priority": {"type": "string", "enum": ["low", "medium", "high"], "default": "medium"}}}}}})

add("geo_point", {"type": "object", "required": ["lat", "lon"], "properties": {
    "lat": {"type": "number", "minimum": -90, "maximum": 90}, "lon": {"type": "number", "minimum": -180, "maximum": 180},
    "elevation": {"type": ["number", "null"]}}})

add("geojson_feature", {"type": "object", "required": ["type", "geometry"], "properties": {
    "type": {"const": "Feature"}, "geometry": {"type": "object", "required": ["type", "coordinates"], "properties": {
        "type": {"const": "Point"}, "coordinates": {"type": "array", "minItems": 2, "maxItems": 3, "items": {"type": "number"}}}},
    "properties": {"type": ["object", "null"]}}})

add("tuple_coordinates", {"type": "object", "properties": {"point": {"type": "array",
    "prefixItems": [{"type": "number"}, {"type": "number"}], "items": False}}})

add("product_catalog", {"type": "object", "properties": {"products": {"type": "array", "items": {
    "type": "object", "required": ["sku", "name", "price"], "properties": {
        "sku": {"type": "string", "pattern": r"^[A-Z]{2,4}-\d{3,6}$"}, "name": {"type": "string", "minLength": 1},
        "price": {"type": "number", "exclusiveMinimum": 0}, "in_stock": {"type": "boolean"},
        "dimensions": {"type": "object", "properties": {"w": {"type": "number"}, "h": {"type": "number"}, "d": {"type": "number"}}},
        "color": {"type": "string", "pattern": "^#[0-9a-fA-F]{6}$"}}}}}})

add("ticket_triage", {"type": "object", "required": ["category", "urgency"], "properties": {
    "category": {"anyOf": [{"const": "billing"}, {"const": "bug"}, {"const": "feature"}, {"const": "other"}]},
    "urgency": {"type": "integer", "minimum": 1, "maximum": 4}, "summary": {"type": "string", "maxLength": 140},
    "needs_human": {"type": "boolean"}}})

add("calendar_event", {"type": "object", "required": ["title", "start"], "properties": {
    "title": {"type": "string"}, "start": iso_datetime, "end": iso_datetime, "all_day": {"type": "boolean"},
    "attendees": {"type": "array", "items": email}, "location": {"type": "string"},
    "recurrence": {"type": "string", "pattern": "^RRULE:.+$"}},
    "if": {"properties": {"all_day": {"const": True}}}, "then": {"required": ["start"]}})

add("k8s_container", {"type": "object", "required": ["name", "image"], "properties": {
    "name": {"type": "string", "pattern": "^[a-z0-9]([-a-z0-9]*[a-z0-9])?$", "maxLength": 63},
    "image": {"type": "string"}, "ports": {"type": "array", "items": {"type": "object", "required": ["containerPort"],
        "properties": {"containerPort": {"type": "integer", "minimum": 1, "maximum": 65535},
                       "protocol": {"enum": ["TCP", "UDP", "SCTP"]}}}},
    "env": {"type": "array", "items": {"type": "object", "properties": {"name": {"type": "string"}, "value": {"type": "string"}}}},
    "resources": {"type": "object", "properties": {"limits": {"type": "object", "additionalProperties": {"type": "string"}}}}}})

add("log_record", {"type": "object", "required": ["ts", "level", "msg"], "properties": {
    "ts": iso_datetime, "level": {"enum": ["TRACE", "DEBUG", "INFO", "WARN", "ERROR"]}, "msg": {"type": "string"},
    "trace_id": {"type": "string", "pattern": "^[0-9a-f]{32}$"}, "attrs": {"type": "object"}}})

add("classification_multi", {"type": "object", "properties": {"labels": {"type": "array", "items": {"type": "string",
    "enum": ["sports", "politics", "tech", "science", "arts"]}, "minItems": 1, "maxItems": 3, "uniqueItems": True},
    "confidence": {"type": "number", "minimum": 0, "maximum": 1}}, "required": ["labels"]})

add("qa_answer", {"type": "object", "required": ["answer", "citations"], "x-order": ["answer", "citations", "confidence"],
    "properties": {"answer": {"type": "string"}, "citations": {"type": "array", "items": {"type": "integer", "minimum": 0}},
                   "confidence": {"type": "number", "exclusiveMinimum": 0, "exclusiveMaximum": 1}}})

add("resume", {"type": "object", "required": ["name", "experience"], "properties": {
    "name": {"type": "string"}, "email": email, "phone": phone, "skills": {"type": "array", "items": {"type": "string"}, "uniqueItems": True},
    "experience": {"type": "array", "items": {"type": "object", "required": ["company", "role"], "properties": {
        "company": {"type": "string"}, "role": {"type": "string"}, "from": {"type": "string", "pattern": r"^\d{4}-\d{2}$"},
        "to": {"type": ["string", "null"], "pattern": r"^\d{4}-\d{2}$"}}}},
    "education": {"type": "array", "items": {"$ref": "#/$defs/Degree"}}},
    "$defs": {"Degree": {"type": "object", "properties": {"school": {"type": "string"}, "year": {"type": "integer", "minimum": 1950, "maximum": 2030}}}}})

add("bank_transfer", {"type": "object", "required": ["iban", "amount", "currency"], "additionalProperties": False, "properties": {
    "iban": {"type": "string", "pattern": "^[A-Z]{2}[0-9]{2}[A-Z0-9]{11,30}$"}, "bic": {"type": "string", "pattern": "^[A-Z]{6}[A-Z0-9]{2}([A-Z0-9]{3})?$"},
    "amount": {"type": "number", "exclusiveMinimum": 0, "maximum": 1000000}, "currency": currency,
    "reference": {"type": "string", "maxLength": 140}}})

add("holdings_no_items", {"type": "object", "properties": {"owner": {"type": "string"}, "holdings": {"type": "array"}}})
add("free_form_metadata", {"type": "object", "properties": {"id": {"type": "string"}, "metadata": {}}})
add("nullable_union", {"type": "object", "properties": {"value": {"type": ["string", "number", "null"]}}})
add("ref_to_scalar", {"type": "object", "properties": {"contact": {"$ref": "#/$defs/Email"}}, "$defs": {"Email": email}})
add("external_ref", {"type": "object", "properties": {"address": {"$ref": "https://example.com/schemas/address.json"}}})
add("allof_composition", {"allOf": [{"$ref": "#/$defs/Base"}, {"type": "object", "properties": {"extra": {"type": "string"}}}],
    "$defs": {"Base": {"type": "object", "properties": {"id": {"type": "integer"}}}}})
add("enum_numbers", {"type": "object", "properties": {"level": {"enum": [1, 2, 3]}}})
add("patternprops_map", {"type": "object", "patternProperties": {"^x-": {"type": "string"}}, "properties": {"name": {"type": "string"}}})
add("recursive_tree", {"$ref": "#/$defs/Node", "$defs": {"Node": {"type": "object", "required": ["value"], "properties": {
    "value": {"type": "string"}, "children": {"type": "array", "items": {"$ref": "#/$defs/Node"}}}}}})
add("recursive_comment", {"type": "object", "properties": {"thread": {"$ref": "#/definitions/Comment"}},
    "definitions": {"Comment": {"type": "object", "properties": {"author": {"type": "string"}, "text": {"type": "string", "minLength": 1},
                                                                 "replies": {"type": "array", "items": {"$ref": "#/definitions/Comment"}}}}}})
add("boolean_flags", {"type": "object", "properties": {"a": {"type": "boolean"}, "b": {"type": "boolean"}, "c": {"type": "boolean"}}, "required": ["a", "b", "c"]})
add("address_only", address)
add("translation", {"type": "object", "required": ["source_lang", "target_lang", "text"], "properties": {
    "source_lang": {"type": "string", "pattern": "^[a-z]{2}(-[A-Z]{2})?$"}, "target_lang": {"type": "string", "pattern": "^[a-z]{2}(-[A-Z]{2})?$"},
    "text": {"type": "string"}, "formality": {"enum": ["formal", "informal"]}}})
add("medication", {"type": "object", "required": ["name", "dose_mg", "frequency"], "properties": {
    "name": {"type": "string"}, "dose_mg": {"type": "number", "exclusiveMinimum": 0, "maximum": 5000},
    "frequency": {"type": "string", "pattern": r"^\d+x(daily|weekly)$"}, "with_food": {"type": "boolean"},
    "start": iso_date}, "not": {"required": ["dose_g"]}})
add("semver_range", {"type": "object", "properties": {"range": {"type": "string", "pattern": r"^[\^~]?\d+\.\d+\.\d+$"}}})
add("time_window", {"type": "object", "properties": {"from": {"type": "string", "pattern": r"^([01]\d|2[0-3]):[0-5]\d$"},
    "to": {"type": "string", "pattern": r"^([01]\d|2[0-3]):[0-5]\d$"}}, "required": ["from", "to"]})
add("dependent_schema", {"type": "object", "properties": {"credit_card": {"type": "string", "pattern": r"^\d{13,19}$"},
    "billing_address": {"type": "string"}}, "dependentSchemas": {"credit_card": {"required": ["billing_address"]}}})
add("contains_admin", {"type": "object", "properties": {"users": {"type": "array", "items": {"type": "string"},
    "contains": {"const": "admin"}, "minContains": 1}}})
add("draft4_exclusive", {"type": "object", "properties": {"price": {"type": "number", "minimum": 0, "exclusiveMinimum": True}}})
add("draft4_exclusive_alone", {"type": "object", "properties": {"price": {"type": "number", "exclusiveMinimum": True}}})
add("string_lengths", {"type": "object", "properties": {"code": {"type": "string", "minLength": 6, "maxLength": 6},
    "pin": {"type": "string", "pattern": "^[0-9]{4}$"}}})
add("tags_object", {"type": "object", "properties": {"tags": {"type": "object", "propertyNames": {"pattern": "^[a-z]+$"},
    "additionalProperties": {"type": "string"}, "maxProperties": 20}}})

here = os.path.dirname(os.path.abspath(__file__))
with open(os.path.join(here, "schemas.jsonl"), "w") as out:
    for name, schema in S.items():
        out.write(json.dumps({"name": name, "schema": schema}, separators=(",", ":")) + "\n")
print(len(S), "schemas")
