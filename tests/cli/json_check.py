#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""Checks what `orvex COMMAND --json` printed: exactly one JSON object on one
line, valid UTF-8, valid against docs/json/orvex.schema.json, of that
command, with no top-level field the schema does not describe.  Prints each
leaf as PATH=VALUE (PATH joined with ".", VALUE as JSON) for the test to
look at.  Exit status 0 when sound, 1 when not, 77 without python3-jsonschema.

usage: json_check.py SCHEMA COMMAND OUTPUT_FILE
"""
import json
import sys

try:
    import jsonschema
except ImportError:
    print("python3-jsonschema is not installed", file=sys.stderr)
    sys.exit(77)


def fail(message):
    print(message, file=sys.stderr)
    sys.exit(1)


def leaves(value, path):
    if isinstance(value, dict):
        for key, item in value.items():
            yield from leaves(item, f"{path}.{key}" if path else key)
    elif isinstance(value, list):
        for index, item in enumerate(value):
            yield from leaves(item, f"{path}.{index}")
        if not value:
            yield f"{path}=[]"
    else:
        yield f"{path}={json.dumps(value, ensure_ascii=False)}"


def main():
    schema_path, command, output_path = sys.argv[1:4]
    with open(schema_path, encoding="utf-8") as f:
        schema = json.load(f)
    with open(output_path, "rb") as f:
        raw = f.read()
    try:
        text = raw.decode("utf-8", errors="strict")
    except UnicodeDecodeError as error:
        fail(f"not UTF-8: {error}")
    if not text.endswith("\n") or text.count("\n") != 1:
        fail(f"not one line ending in a newline: {text!r}")
    try:
        document = json.loads(text)
    except json.JSONDecodeError as error:
        fail(f"not JSON: {error}: {text!r}")
    if not isinstance(document, dict):
        fail("not an object")
    errors = sorted(jsonschema.Draft202012Validator(schema).iter_errors(document), key=str)
    if errors:
        fail("\n".join(f"{'/'.join(map(str, e.absolute_path))}: {e.message}" for e in errors))
    if document["command"] != command:
        fail(f"command {document['command']!r}, not {command!r}")
    own = schema["$defs"][command]
    known = set(schema["properties"]) | set(own.get("properties", {}))
    for part in own.get("allOf", []):
        known |= set(schema["$defs"][part["$ref"].split("/")[-1]].get("properties", {}))
    unknown = sorted(set(document) - known)
    if unknown:
        fail(f"fields the schema does not describe: {unknown}")
    for line in leaves(document, ""):
        print(line)


if __name__ == "__main__":
    main()
