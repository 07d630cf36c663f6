#!/usr/bin/python3
"""Reads vCard files with vobject and prints their properties as JSON, one card per file.

Usage: read_vcard.py FILE...   Output: {"FILE": [{"name", "params", "value"}, ...], ...}
Structured values (N, ADR, ORG) and lists (CATEGORIES) come out as lists of strings, binary
values (PHOTO) as base64 text, everything else as text.
"""
import base64
import json
import sys

import vobject


def value_of(line):
    v = line.value
    if line.name == "N":
        return [v.family, v.given, v.additional, v.prefix, v.suffix]
    if line.name == "ADR":
        return [v.box, v.extended, v.street, v.city, v.region, v.code, v.country]
    if isinstance(v, bytes):
        return base64.b64encode(v).decode("ascii")
    if isinstance(v, list):
        return [str(x) for x in v]
    return str(v)


def flat(parts):
    # vobject gives a name part as a list when the part held commas.
    return [" ".join(p) if isinstance(p, list) else p for p in parts]


def main():
    out = {}
    for path in sys.argv[1:]:
        with open(path, "rb") as f:
            raw = f.read()
        text = raw.decode("utf-8")
        card = vobject.readOne(text, allowQP=True)
        props = []
        for line in card.getChildren():
            value = value_of(line)
            if line.name in ("N", "ADR"):
                value = flat(value)
            params = {k: [str(x) for x in v] for k, v in line.params.items()}
            singles = [str(x) for x in getattr(line, "singletonparams", [])]
            props.append({"name": line.name, "params": params, "singletons": singles,
                          "value": value})
        out[path] = props
    json.dump(out, sys.stdout, ensure_ascii=False)


if __name__ == "__main__":
    main()
