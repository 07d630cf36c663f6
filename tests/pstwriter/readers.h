#pragma once

// What independent readers (libpff and libpst) see in a PST file, in one comparable shape, and
// what the writer's model says they should see.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "tools/pstwriter/store_model.h"

namespace tarnvex::pstwriter::testing {

struct SeenAttachment {
  std::map<std::string, std::string> props;  // key (PropKeyText) -> value (ValueText)
  std::string data;                          // the attachment's bytes
};

struct SeenItem {
  std::string messageClass;
  std::map<std::string, std::string> props;
  std::vector<SeenAttachment> attachments;
  std::vector<std::string> recipients;  // "name <address>"
};

struct SeenFolder {
  std::string containerClass;
  bool hidden = false;
  std::vector<SeenItem> items;
  std::size_t associated = 0;
  std::size_t contentsTableRows = 0;              // rows of the folder's contents table
  std::vector<std::string> contentsTableClasses;  // message class column, in row order
  std::size_t hierarchyTableRows = 0;             // rows of the folder's hierarchy table
};

// Folders by path below the IPM subtree ("Contacts", "Contacts/Contacts 2").
using SeenFolders = std::map<std::string, SeenFolder>;

struct SeenStore {
  std::string storeName;
  std::string ipmSubtreeName;
  std::string defaultContactsPath;  // the folder the contacts entry id of the store points at
  std::string rootContactsPath;     // ... of the root folder
  std::string inboxContactsPath;    // ... of the Inbox
  SeenFolders folders;
};

// Keys and values as text: "0x3A06" for a tagged property, "{GUID}:0x8005" and
// "{GUID}:Keywords" for named ones; strings as UTF-8, numbers in decimal, booleans "true" /
// "false", binaries in hex, several values joined with " | ".
std::string PropKeyText(const PropKey& key);
std::string ValueText(const Value& value);

// What the readers should report for a store.
SeenStore Expected(const Store& store);

// Reads with libpff. withProperties: collect every property of every item (slow for big files).
// Throws std::runtime_error with libpff's message on failure.
SeenStore ReadWithLibpff(const std::string& path, bool withProperties = true);

// Reads with libpst: folder names and classes, item counts, message classes, and the contact
// fields libpst knows, under the same keys as above.
SeenStore ReadWithLibpst(const std::string& path, bool withProperties = true);

}  // namespace tarnvex::pstwriter::testing
