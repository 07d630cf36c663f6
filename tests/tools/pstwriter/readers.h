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
  std::size_t associatedTableRows = 0;            // rows of the associated contents table
};

// Folders by path below the IPM subtree ("Contacts", "Contacts/Contacts 2").
using SeenFolders = std::map<std::string, SeenFolder>;

struct SeenStore {
  std::string storeName;
  std::string ipmSubtreeName;
  std::string defaultContactsPath;  // the folder the contacts entry id of the store points at
  std::string rootContactsPath;     // ... of the root folder
  std::string inboxContactsPath;    // ... of the Inbox
  std::string passwordChecksum;     // PidTagPstPassword of the store, "" when absent
  SeenFolders folders;
};

// Keys and values as text: "0x3A06" for a tagged property, "{GUID}:0x8005" and
// "{GUID}:Keywords" for named ones; strings as UTF-8, numbers in decimal, booleans "true" /
// "false", binaries in hex, several values joined with " | ".
std::string PropKeyText(const PropKey& key);
std::string ValueText(const Value& value);

// What the readers should report for a store. every: the properties, attachments and
// recipients of every n-th item of a folder (the first included); 0: none. The readers take the
// same argument, so big stores can be compared on a sample.
SeenStore Expected(const Store& store, std::size_t every = 1);

// Reads with libpff. Throws std::runtime_error with libpff's message on failure.
SeenStore ReadWithLibpff(const std::string& path, std::size_t every = 1);

// Reads with libpst: folder names and classes, item counts, message classes, and the contact
// fields libpst knows, under the same keys as above.
SeenStore ReadWithLibpst(const std::string& path, std::size_t every = 1);

}  // namespace tarnvex::pstwriter::testing
