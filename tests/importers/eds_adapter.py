#!/usr/bin/python3
"""Read vCard files the way Evolution does (evolution-data-server's
EBookContacts) and print what it makes of them as one JSON document.

Usage: eds_adapter.py FILE.vcf...

Single-valued fields come from EContact's own getters (full-name, name,
org/org-unit, title, note, nickname, birth-date, photo), because those are
what Evolution's editor and preview show.  Phones, e-mails, addresses and
URLs come from the EVCard attribute list, which Evolution's importer walks
itself; EContact's fixed slots (one URL, three addresses) would hide entries
the card does carry.

Runs with Debian's python3, where python3-gi and gir1.2-ebookcontacts-1.2
are installed.
"""

import base64
import binascii
import hashlib
import json
import re
import sys
import urllib.parse

import gi

gi.require_version("EBookContacts", "1.2")
gi.require_version("EDataServer", "1.2")
from gi.repository import EBookContacts, EDataServer  # noqa: E402

# pygobject maps a boxed property to its wrapper class only once that class
# has been looked up; before that, get_property() hands back a bare GBoxed.
BOXED_WRAPPERS = (EBookContacts.ContactName, EBookContacts.ContactDate,
                  EBookContacts.ContactPhoto)

IMPORTER = "evolution-data-server"
ADR_PART_COUNT = 7


def library_version():
    return "evolution-data-server %d.%d.%d (EBookContacts 1.2)" % (
        EDataServer.EDS_MAJOR_VERSION,
        EDataServer.EDS_MINOR_VERSION,
        EDataServer.EDS_MICRO_VERSION,
    )


def warn(path, message):
    print("%s: %s" % (path, message), file=sys.stderr)


def text_for_library(path, raw):
    """EBookContacts takes only UTF-8 text from Python.  Evolution's importer
    hands such a file over as raw bytes, but EVCard then turns every byte
    that is not UTF-8 into U+FFFD before it looks at CHARSET, so those values
    come out garbled in Evolution too.  Decoding with 'replace' here gives
    the same garbling, give or take how many U+FFFD a broken sequence
    becomes."""
    try:
        return raw.decode("utf-8")
    except UnicodeDecodeError:
        charsets = sorted(set(re.findall(rb";CHARSET=([^;:]+)", raw, re.I)))
        names = ", ".join(c.decode("ascii", "replace") for c in charsets)
        warn(path, "not UTF-8 (CHARSET: %s); EDS keeps no byte that is "
                   "not UTF-8, these values arrive as U+FFFD"
             % (names or "none given"))
        return raw.decode("utf-8", errors="replace")


def count_cards(text):
    return len(re.findall(r"^BEGIN:VCARD\s*$", text, re.I | re.M))


def unix_newlines(value):
    return value.replace("\r\n", "\n") if value is not None else None


def attributes_named(contact, name):
    # EContact.get_attributes() takes a field id; the EVCard one lists all.
    return [a for a in EBookContacts.VCard.get_attributes(contact)
            if a.get_name().upper() == name]


def type_values(attr):
    """Lower-cased TYPE values.  EVCard already files the bare 2.1 form
    (TEL;WORK;VOICE) under TYPE.  A 4.0 PREF=n parameter is left out on
    purpose: EDS 3.46 gives it no meaning (it does not make the number the
    primary phone), only TYPE=PREF counts as preferred there."""
    values = attr.get_param("TYPE") or []
    return {v.lower() for v in values}


def types_and_pref(attr):
    types = type_values(attr)
    return sorted(types - {"pref"}), "pref" in types


def first_value(attr):
    # What Evolution displays: e_vcard_attribute_get_value() keeps only the
    # part before the first unescaped ';'.
    value = attr.get_value()
    return unix_newlines(value) if value is not None else ""


def typed_values(contact, name):
    entries = []
    for attr in attributes_named(contact, name):
        types, pref = types_and_pref(attr)
        entries.append({"value": first_value(attr), "types": types,
                        "pref": pref})
    return entries


def addresses(contact):
    entries = []
    for attr in attributes_named(contact, "ADR"):
        types, pref = types_and_pref(attr)
        parts = [unix_newlines(p) for p in attr.get_values()]
        parts += [""] * (ADR_PART_COUNT - len(parts))
        entries.append({"types": types, "pref": pref, "parts": parts})
    return entries


def urls(contact):
    return [{"value": e["value"], "types": e["types"]}
            for e in typed_values(contact, "URL")]


def name_parts(contact):
    name = contact.get_property("name")
    if name is None:
        return None
    parts = (name.family, name.given, name.additional, name.prefixes,
             name.suffixes)
    return [p or "" for p in parts]


def organisation(contact):
    org = contact.get_property("org")
    unit = contact.get_property("org-unit")
    if org is None and unit is None:
        return None
    return [org or ""] + ([unit] if unit is not None else [])


def birthday(path, contact):
    date = contact.get_property("birth-date")
    if date is None:
        return None
    if not (date.month and date.day):
        warn(path, "EDS could not read BDAY; it gave %04d-%02d-%02d"
             % (date.year, date.month, date.day))
    return "%04d-%02d-%02d" % (date.year, date.month, date.day)


def nicknames(contact):
    nickname = contact.get_property("nickname")
    return [nickname] if nickname is not None else []


def sha256_hex(data):
    return hashlib.sha256(bytes(data)).hexdigest()


def data_uri_bytes(uri):
    header, _, payload = uri[len("data:"):].partition(",")
    if header.lower().endswith(";base64"):
        return base64.b64decode(payload, validate=False)
    return urllib.parse.unquote_to_bytes(payload)


def photo_digest(path, contact):
    photo = contact.get_property("photo")
    if photo is None:
        return None
    if photo.type == EBookContacts.ContactPhotoType.INLINED:
        data = photo.get_inlined()
        return sha256_hex(data) if data else None
    uri = photo.get_uri() or ""
    if uri.lower().startswith("data:"):
        try:
            return sha256_hex(data_uri_bytes(uri))
        except (binascii.Error, ValueError) as exc:
            warn(path, "PHOTO data: URI does not decode: %s" % exc)
            return None
    return "uri:" + uri


def fields_of(path, contact):
    return {
        "fn": unix_newlines(contact.get_property("full-name")),
        "n": name_parts(contact),
        "org": organisation(contact),
        "title": unix_newlines(contact.get_property("title")),
        "tel": typed_values(contact, "TEL"),
        "email": typed_values(contact, "EMAIL"),
        "adr": addresses(contact),
        "url": urls(contact),
        "bday": birthday(path, contact),
        "note": unix_newlines(contact.get_property("note")),
        "nickname": nicknames(contact),
        "photo": photo_digest(path, contact),
    }


def read_card(path):
    card = {"file": path, "error": None, "fields": None}
    try:
        with open(path, "rb") as handle:
            text = text_for_library(path, handle.read())
        contact = EBookContacts.Contact.new_from_vcard(text)
        if not EBookContacts.VCard.get_attributes(contact):
            card["error"] = "EDS found no attributes in the card"
            return card
        card["fields"] = fields_of(path, contact)
    except Exception as exc:  # any refusal is a result, not a crash
        card["error"] = "%s: %s" % (type(exc).__name__, exc)
        return card
    cards = count_cards(text)
    if cards > 1:
        card["warning"] = "%d cards in file" % cards
    return card


def main(paths):
    document = {"importer": IMPORTER, "library": library_version(),
                "cards": [read_card(path) for path in paths]}
    text = json.dumps(document, ensure_ascii=False) + "\n"
    sys.stdout.buffer.write(text.encode("utf-8"))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
