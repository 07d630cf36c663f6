#pragma once

// Reading a contact item's properties into a Contact, in one pass over its record set, through
// the table of contact properties (vcard/contact_properties.h).

#include <string>

#include "platform/standin/store_reader.h"
#include "vcard/contact.h"
#include "vcard/writer.h"

namespace tarnvex::standin {

// The stand-in reads contacts into the vCard library's model and writes them with its writer.
using vcard::Contact;
using vcard::VCardVersion;

// Throws Failure naming the file when the item's properties or its file-as text cannot be read.
// Another field, or the picture, that cannot be read is left out, and the damage is told to the
// DamageScopes of the thread (store_reader.h).
Contact ReadContact(const store::Item& message);

// The file-as text (PidLidFileUnder) alone; empty text when the item has none.
std::string ReadFileAs(const store::Item& message);

// The texts a card is named after, in one pass: the file-as text, display name, given name,
// surname, company and the first e-mail address (its SMTP form); the other fields stay empty.
Contact ReadNames(const store::Item& message);

}  // namespace tarnvex::standin
