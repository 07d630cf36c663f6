// Reads vCard 3.0 and 4.0 files with ical.js (Thunderbird's address book parser) and prints what
// its component model holds as the importer JSON of tests/importers.
//
//   node icaljs_adapter.mjs FILE.vcf...
//
// Thunderbird turns 2.1 cards into 3.0 itself before ical.js sees them, so only 3.0 and 4.0 cards
// are meant to be given here. Nothing repairs what the library gets wrong: the output is meant to
// show its faults.

import ICAL from "ical.js";
import { createHash } from "node:crypto";
import { readFileSync } from "node:fs";

function libraryName() {
  const manifest = new URL("../package.json", import.meta.resolve("ical.js"));
  const { name, version } = JSON.parse(readFileSync(manifest, "utf8"));
  return `${name} ${version}`;
}

// An empty value (or a structured one of empty parts) counts as absent: KContacts cannot tell
// the two apart, and the importers should compare alike.
function textOrNull(text) {
  return text === null || text === undefined || text === "" ? null : String(text);
}

// ical.js splits N and ADR components, NICKNAME and the 3.0 NOTE at unescaped commas into arrays;
// where the contract wants one string, the pieces are joined with the comma they were split at.
function componentText(component) {
  return Array.isArray(component) ? component.join(",") : String(component ?? "");
}

function structuredParts(value, count) {
  const parts = (Array.isArray(value) ? value : [value]).map(componentText);
  while (parts.length < count) parts.push("");
  return parts.slice(0, count);
}

function parameterValues(property, name) {
  const value = property.getParameter(name);
  if (value === undefined || value === null) return [];
  return (Array.isArray(value) ? value : [value]).flatMap((item) => String(item).split(","));
}

function typesAndPref(property) {
  const types = parameterValues(property, "type").map((type) => type.toLowerCase()).filter(Boolean);
  const pref = types.includes("pref") || parameterValues(property, "pref").length > 0;
  const sorted = [...new Set(types.filter((type) => type !== "pref"))].sort();
  return { types: sorted, pref };
}

function firstText(card, name) {
  const property = card.getFirstProperty(name);
  return property ? textOrNull(property.getValues().map(componentText).join(",")) : null;
}

function nullIfAllEmpty(parts) {
  return parts.every((part) => part === "") ? null : parts;
}

function nameParts(card) {
  const property = card.getFirstProperty("n");
  return property ? nullIfAllEmpty(structuredParts(property.getFirstValue(), 5)) : null;
}

function organisation(card) {
  const property = card.getFirstProperty("org");
  if (!property) return null;
  const value = property.getFirstValue();
  return nullIfAllEmpty((Array.isArray(value) ? value : [value]).map(componentText));
}

function valuesWithTypes(card, name) {
  return card.getAllProperties(name).map((property) => ({
    value: componentText(property.getFirstValue()),
    ...typesAndPref(property),
  }));
}

function addresses(card) {
  return card.getAllProperties("adr").map((property) => ({
    ...typesAndPref(property),
    parts: structuredParts(property.getFirstValue(), 7),
  }));
}

function urls(card) {
  return card.getAllProperties("url").map((property) => ({
    value: componentText(property.getFirstValue()),
    types: typesAndPref(property).types,
  }));
}

function twoDigits(number) {
  return String(number).padStart(2, "0");
}

// A VCardTime for typed dates; a plain string when the card says VALUE=text.
function birthday(card) {
  const value = card.getFirstPropertyValue("bday");
  if (value === null || value === undefined) return null;
  if (typeof value === "object" && value.month && value.day) {
    const year = value.year ? String(value.year).padStart(4, "0") : "-";
    return `${year}-${twoDigits(value.month)}-${twoDigits(value.day)}`;
  }
  const digits = /^(\d{4})-?(\d{2})-?(\d{2})/.exec(String(value));
  return digits ? `${digits[1]}-${digits[2]}-${digits[3]}` : null;
}

function note(card) {
  const text = firstText(card, "note");
  return text === null ? null : text.replace(/\r\n?/g, "\n");
}

function nicknames(card) {
  return card
    .getAllProperties("nickname")
    .flatMap((property) => property.getValues())
    .map(componentText)
    .filter((name) => name !== "");
}

function sha256Hex(bytes) {
  return createHash("sha256").update(bytes).digest("hex");
}

function dataUriBytes(uri) {
  const comma = uri.indexOf(",");
  const header = uri.slice(0, comma);
  const payload = uri.slice(comma + 1);
  if (/;base64$/i.test(header)) return Buffer.from(payload, "base64");
  return Buffer.from(payload.replace(/%([0-9a-f]{2})/gi, (_, hex) => String.fromCharCode(parseInt(hex, 16))), "latin1");
}

// 3.0 carries the image as a binary value (ICAL.Binary, base64 text); 4.0 as a URI.
function photo(card) {
  const property = card.getFirstProperty("photo");
  if (!property) return null;
  const value = property.getFirstValue();
  if (value instanceof ICAL.Binary) return sha256Hex(Buffer.from(value.toString(), "base64"));
  const uri = String(value ?? "");
  if (uri === "") return null;
  if (/^data:/i.test(uri)) return sha256Hex(dataUriBytes(uri));
  return `uri:${uri}`;
}

function fields(card) {
  return {
    fn: firstText(card, "fn"),
    n: nameParts(card),
    org: organisation(card),
    title: firstText(card, "title"),
    tel: valuesWithTypes(card, "tel"),
    email: valuesWithTypes(card, "email"),
    adr: addresses(card),
    url: urls(card),
    bday: birthday(card),
    note: note(card),
    nickname: nicknames(card),
    photo: photo(card),
  };
}

// ICAL.parse gives one jCard for a single component and an array of them for several.
function components(jcal) {
  if (!Array.isArray(jcal) || jcal.length === 0) return [];
  return Array.isArray(jcal[0]) ? jcal : [jcal];
}

function readCard(path) {
  const refused = (why) => ({ file: path, error: why, fields: null });
  let text;
  try {
    text = readFileSync(path, "utf8");
  } catch (error) {
    return refused(`cannot read the file: ${error.message}`);
  }
  let cards;
  try {
    cards = components(ICAL.parse(text)).map((jcal) => new ICAL.Component(jcal));
  } catch (error) {
    return refused(`${error.name}: ${error.message}`);
  }
  const vcards = cards.filter((card) => card.name === "vcard");
  if (vcards.length === 0) return refused("ICAL.parse found no vcard component");
  try {
    const result = { file: path, error: null, fields: fields(vcards[0]) };
    if (vcards.length > 1) result.warning = `${vcards.length} cards in file`;
    return result;
  } catch (error) {
    // ical.js parses values lazily, so some malformed values only throw when read.
    return refused(`${error.name}: ${error.message}`);
  }
}

const cards = process.argv.slice(2).map(readCard);
process.stdout.write(JSON.stringify({ importer: "ical.js", library: libraryName(), cards }, null, 2) + "\n");
