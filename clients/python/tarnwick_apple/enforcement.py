"""Says whether the model was held to a constraint the answer broke, from the schema checker's notes.

The model is given a translated schema; `tarnwick_apple_schema --explain` lists what the translation
drops or loosens (an ignored keyword, a widened pattern, a relaxed bound), each at the JSON Pointer
of its schema object. A violation at such a place is the model's to repeat, and worth a retry.
"""

from __future__ import annotations

import json
import os
import shutil
import subprocess
from typing import Any, Dict, List, Optional, Sequence, Tuple

# Where a keyword sits: the JSON Pointer of its schema object, and the keyword.
Place = Tuple[str, str]

# The environment variable naming the checker; else the one beside the sidecar, then PATH.
CHECKER_VARIABLE = "TARNWICK_APPLE_SCHEMA"
_CHECKER = "tarnwick_apple_schema"
# The checker reads a schema without any model; this is ample for the largest sane schema.
_CHECKER_SECONDS = 30.0


def _escape(part: object) -> str:
    return str(part).replace("~", "~0").replace("/", "~1")


def _resolve(root: Any, reference: str) -> Tuple[Any, Optional[str]]:
    """The schema a local "$ref" names and its pointer, or (None, None) when it cannot be followed."""
    if not reference.startswith("#"):
        return None, None
    pointer = reference[1:]
    node = root
    for raw in pointer.split("/")[1:]:
        part = raw.replace("~1", "/").replace("~0", "~")
        if isinstance(node, dict) and part in node:
            node = node[part]
        elif isinstance(node, list) and part.isdigit() and int(part) < len(node):
            node = node[int(part)]
        else:
            return None, None
    return node, pointer


def _step(root: Any, node: Any, pointer: str, part: object) -> Tuple[Any, Optional[str]]:
    """The subschema at `part` of `node`, following references as a validator does; None where there is none."""
    if part == "$ref" and isinstance(node, dict) and isinstance(node.get("$ref"), str):
        return _resolve(root, node["$ref"])
    while isinstance(node, dict) and part not in node and isinstance(node.get("$ref"), str):
        node, followed = _resolve(root, node["$ref"])
        if followed is None:
            return None, None
        pointer = followed
    if isinstance(node, dict) and part in node:
        return node[part], f"{pointer}/{_escape(part)}"
    if isinstance(node, list) and isinstance(part, int) and 0 <= part < len(node):
        return node[part], f"{pointer}/{part}"
    return None, None


def schema_place(root: Any, schema_path: Sequence[object]) -> Optional[Place]:
    """(pointer of the schema object, keyword) for a validator's path to the failing keyword.

    References are followed, so a keyword inside a definition is placed at the definition, as the
    checker places its notes; some validators list "$ref" in the path, others step over it.
    """
    if not schema_path:
        return None
    node: Any = root
    pointer = ""
    for part in schema_path[:-1]:
        node, found = _step(root, node, pointer, part)
        if found is None:
            return None
        pointer = found
    keyword = schema_path[-1]
    while isinstance(node, dict) and keyword not in node and isinstance(node.get("$ref"), str):
        node, found = _resolve(root, node["$ref"])
        if found is None:
            return None
        pointer = found
    return pointer, str(keyword)


def find_checker(sidecar: str) -> Optional[str]:
    """The schema checker to ask: $TARNWICK_APPLE_SCHEMA, the one installed beside the sidecar, or PATH."""
    named = os.environ.get(CHECKER_VARIABLE)
    if named:
        return named
    beside = os.path.join(os.path.dirname(os.path.realpath(sidecar)), _CHECKER)
    if os.access(beside, os.X_OK):
        return beside
    return shutil.which(_CHECKER)


def notes_of(schema: Any, sidecar: str) -> Optional[List[Dict[str, Any]]]:
    """The checker's notes on `schema` as sent, or None when no checker could say."""
    checker = find_checker(sidecar)
    if checker is None:
        return None
    try:
        done = subprocess.run([checker, "--explain"], input=json.dumps(schema).encode("utf-8"),
                              stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=_CHECKER_SECONDS,
                              check=False)
        line = json.loads(done.stdout)
    except (OSError, subprocess.TimeoutExpired, ValueError):
        return None
    notes = line.get("notes") if isinstance(line, dict) and line.get("status") == "ok" else None
    return notes if isinstance(notes, list) else None


def note_at(notes: Optional[List[Dict[str, Any]]], place: Optional[Place]) -> Optional[Dict[str, Any]]:
    """The note saying the model was not held to the keyword at `place`, if the checker made one."""
    if not notes or place is None:
        return None
    pointer, keyword = place
    for note in notes:
        if note.get("pointer") == pointer and note.get("keyword") == keyword and note.get("effect") != "order":
            return note
    return None
