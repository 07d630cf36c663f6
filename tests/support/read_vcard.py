#!/usr/bin/python3
"""Reads vCard files with vobject and prints their properties as JSON, one card per file.

Usage: read_vcard.py [--no-qp] [--lexical] FILE...
Output: {"FILE": [{"name", "params", "singletons", "value"}, ...], ...}

--no-qp    reads without vobject's quoted-printable option (allowQP=False): a line is continued
           only by a folded line that starts with white space, as RFC 2425 has it. The default
           takes a line that ends in "=" inside a quoted-printable value as continued by the next
           one (vCard 2.1).
--lexical  uses vobject for the lexical layer only (line unfolding, quoted-printable, parameters)
           and reads the values by the rules of the card's own version below. vobject reads
           every card with its vCard 3.0 value rules, which do not fit 2.1 (where a bare comma is
           text, not a list separator) nor 4.0's URIs (a data URI holds a comma).

Structured values (N, ADR, ORG) and lists (CATEGORIES, NICKNAME) come out as lists of strings,
binary values (PHOTO) as base64 text, everything else as text.
"""
import base64
import io
import json
import sys

import vobject
from vobject import base

STRUCTURED = ("N", "ADR", "ORG")
LISTS = ("CATEGORIES", "NICKNAME")
# Values that are URIs or base64 data in 4.0: no text escapes (RELATED unless VALUE=text).
URIS = ("PHOTO", "URL", "IMPP", "X-MS-CARDPICTURE", "RELATED")


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


def split_unescaped(text, separator):
    """Splits at separators not preceded by a backslash escape; escapes are kept."""
    parts, current, i = [], [], 0
    while i < len(text):
        c = text[i]
        if c == "\\" and i + 1 < len(text):
            current.append(text[i:i + 2])
            i += 2
            continue
        if c == separator:
            parts.append("".join(current))
            current = []
        else:
            current.append(c)
        i += 1
    parts.append("".join(current))
    return parts


def unescape(text, escapes):
    """Undoes the backslash escapes named in `escapes` ("n" for a line break); others stay."""
    out, i = [], 0
    while i < len(text):
        c = text[i]
        if c == "\\" and i + 1 < len(text) and text[i + 1] in escapes:
            n = text[i + 1]
            out.append("\n" if n in "nN" else n)
            i += 2
            continue
        out.append(c)
        i += 1
    return "".join(out)


def lexical_value(line, version):
    """The value of an untransformed line by the rules of its vCard version."""
    raw = line.value
    if version == "2.1":
        # vCard 2.1 section 2.1.3: a semicolon inside a component of a compound value is
        # escaped "\;". A backslash is escaped "\\" (the writer's rule, which the readers of today
        # share); commas are text, except between the items of CATEGORIES, which 2.1 takes from
        # RFC 2426 with its list syntax.
        if line.name in STRUCTURED:
            return [unescape(p, ";\\") for p in split_unescaped(raw, ";")]
        if line.name in LISTS:
            return [unescape(p, ",\\") for p in split_unescaped(raw, ",")]
        if "BASE64" in [s.upper() for s in line.singletonparams] or \
                "BASE64" in [e.upper() for e in line.params.get("ENCODING", [])]:
            return "".join(raw.split())
        return unescape(raw, "\\")
    # RFC 6350 section 3.4 (and RFC 2426 section 4 for 3.0).
    escapes = ",;\\nN"
    if line.name in STRUCTURED:
        return [unescape(p, escapes) for p in split_unescaped(raw, ";")]
    if line.name in LISTS:
        return [unescape(p, escapes) for p in split_unescaped(raw, ",")]
    if line.name in URIS and "TEXT" not in [v.upper() for v in line.params.get("VALUE", [])]:
        return raw
    return unescape(raw, escapes)


def main():
    args = sys.argv[1:]
    allow_qp = "--no-qp" not in args
    lexical = "--lexical" in args
    paths = [a for a in args if not a.startswith("--")]
    out = {}
    for path in paths:
        with open(path, "rb") as f:
            raw = f.read()
        text = raw.decode("utf-8")
        if lexical:
            # vobject's own line reader and content-line parser; its behaviours, which decode
            # the values, are left out.
            lines = [base.textLineToContentLine(t, n)
                     for t, n in base.getLogicalLines(io.StringIO(text), allow_qp)]
            lines = [line for line in lines if line.name not in ("BEGIN", "END")]
        else:
            lines = list(vobject.readOne(text, allowQP=allow_qp).getChildren())
        version = ""
        for line in lines:
            if line.name == "VERSION":
                version = str(line.value)
        props = []
        for line in lines:
            if lexical:
                value = lexical_value(line, version)
            else:
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
