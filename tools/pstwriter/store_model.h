#pragma once

// In-memory model of a message store as the PST writer lays it out: the store, its folder tree,
// messages with tagged and named properties, and attachments. Build one, then hand it to
// WritePst (tools/pstwriter/pst_writer.h). The model owns everything it holds; references
// returned by the Add* functions stay valid for the life of the model (folders and messages live
// in std::list).

#include <array>
#include <cstdint>
#include <list>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "mapi/mapi.h"

namespace tarnvex::pstwriter {

using Bytes = std::vector<std::uint8_t>;

// A GUID in its on-disk byte order (Data1..Data3 little-endian, Data4 as is).
struct Guid {
  std::array<std::uint8_t, 16> bytes{};

  // Parses "{00062004-0000-0000-C000-000000000046}" (braces optional); throws Failure.
  static Guid Parse(std::string_view text);
  static Guid Of(const mapi::GuidBytes& bytes);
  std::string ToString() const;  // "{XXXXXXXX-...}", upper case
  friend bool operator==(const Guid&, const Guid&) = default;
  friend auto operator<=>(const Guid&, const Guid&) = default;
};

// Property sets used by contacts.
extern const Guid kPsMapi;             // {00020328-0000-0000-C000-000000000046}
extern const Guid kPsPublicStrings;    // {00020329-0000-0000-C000-000000000046}
extern const Guid kPsetidAddress;      // {00062004-0000-0000-C000-000000000046}
extern const Guid kPsetidCommon;       // {00062008-0000-0000-C000-000000000046}
extern const Guid kPsetidAppointment;  // {00062002-0000-0000-C000-000000000046}
extern const Guid kPsetidTask;         // {00062003-0000-0000-C000-000000000046}

// MAPI property types the writer stores.
enum class PropType : std::uint16_t {
  kInt16 = mapi::kTypeInt16,
  kInt32 = mapi::kTypeInt32,
  kDouble = mapi::kTypeDouble,
  kBoolean = mapi::kTypeBoolean,
  kInt64 = mapi::kTypeInt64,
  kString8 = mapi::kTypeString8,  // bytes in the message's code page (already encoded)
  kString = mapi::kTypeUnicode,   // stored as UTF-16LE
  kTime = mapi::kTypeSystime,     // a FILETIME (100 ns ticks since 1601-01-01 UTC)
  kGuid = mapi::kTypeGuid,
  kBinary = mapi::kTypeBinary,
  kMultiInt32 = mapi::kTypeMultiInt32,
  kMultiString8 = mapi::kTypeMultiString8,
  kMultiString = mapi::kTypeMultiUnicode,
  kMultiBinary = mapi::kTypeMultiBinary,
};

// A FILETIME: 100-nanosecond intervals since 1601-01-01 00:00 UTC.
struct FileTime {
  std::uint64_t ticks = 0;
  // From seconds since the Unix epoch.
  static FileTime FromUnix(std::int64_t seconds);
  friend bool operator==(const FileTime&, const FileTime&) = default;
};

// One property value with its MAPI type. Strings are UTF-8 in the model and UTF-16LE on disk.
class Value {
 public:
  static Value Int16(std::int16_t v);
  static Value Int32(std::int32_t v);
  static Value Int64(std::int64_t v);
  static Value Double(double v);
  static Value Boolean(bool v);
  static Value Time(FileTime v);
  static Value String(std::string utf8);
  // An 8-bit string: its bytes as stored, in a code page (see EncodeInCodePage).
  static Value String8(std::string bytes);
  static Value Binary(Bytes bytes);
  static Value GuidValue(const Guid& guid);
  static Value MultiInt32(std::vector<std::int32_t> values);
  static Value MultiString(std::vector<std::string> utf8);
  static Value MultiString8(std::vector<std::string> bytes);
  static Value MultiBinary(std::vector<Bytes> values);

  PropType type() const { return type_; }
  // Accessors; each throws Failure when the value has another type.
  std::int64_t AsInteger() const;  // kInt16, kInt32, kInt64, kBoolean, kTime (ticks)
  double AsDouble() const;
  bool AsBoolean() const;
  FileTime AsTime() const;
  const std::string& AsString() const;                    // kString (UTF-8) and kString8 (bytes)
  const Bytes& AsBinary() const;                          // kBinary and kGuid
  const std::vector<std::string>& AsMultiString() const;  // kMultiString and kMultiString8
  const std::vector<Bytes>& AsMultiBinary() const;
  const std::vector<std::int32_t>& AsMultiInt32() const;

  friend bool operator==(const Value&, const Value&) = default;

 private:
  using Payload = std::variant<std::int64_t, double, std::string, Bytes, std::vector<std::string>,
                               std::vector<Bytes>, std::vector<std::int32_t>>;
  Value(PropType type, Payload payload) : type_(type), payload_(std::move(payload)) {}
  PropType type_;
  Payload payload_;
};

// A named property's name: a numeric LID or a string name within a property set.
struct PropName {
  Guid set;
  std::variant<std::uint32_t, std::string> name;
  friend bool operator==(const PropName&, const PropName&) = default;
  friend auto operator<=>(const PropName&, const PropName&) = default;
};

// What a property is keyed by: a fixed property id (below 0x8000) or a named property. The
// writer assigns the ids (0x8000 and up) of named properties through the store's name-to-id map.
struct PropKey {
  std::variant<std::uint16_t, PropName> key;
  static PropKey Tag(std::uint16_t id) { return PropKey{id}; }
  static PropKey Named(const Guid& set, std::uint32_t lid) { return PropKey{PropName{set, lid}}; }
  static PropKey Named(const Guid& set, std::string name) {
    return PropKey{PropName{set, std::move(name)}};
  }
  bool IsNamed() const { return key.index() == 1; }
  friend bool operator==(const PropKey&, const PropKey&) = default;
};

struct Property {
  PropKey key;
  Value value;
};

// Properties of one object, in the order they were set; setting a key again replaces its value.
class PropertyBag {
 public:
  void Set(const PropKey& key, Value value);
  void Set(std::uint16_t tagId, Value value) { Set(PropKey::Tag(tagId), std::move(value)); }
  void SetNamed(const Guid& set, std::uint32_t lid, Value value) {
    Set(PropKey::Named(set, lid), std::move(value));
  }
  void SetNamed(const Guid& set, std::string name, Value value) {
    Set(PropKey::Named(set, std::move(name)), std::move(value));
  }
  // By canonical name ("PidTagGivenName", "PidLidFileUnder", "PidNameKeywords", see
  // property_names.h). Strings given for a string property become Value::String. Throws Failure
  // for an unknown name or a value whose type does not fit the property.
  void Set(std::string_view canonicalName, Value value);
  void SetString(std::string_view canonicalName, std::string utf8) {
    Set(canonicalName, Value::String(std::move(utf8)));
  }

  const Value* Find(const PropKey& key) const;
  const Value* Find(std::string_view canonicalName) const;
  void Remove(const PropKey& key);
  const std::vector<Property>& all() const { return props_; }
  bool empty() const { return props_.empty(); }

 private:
  std::vector<Property> props_;
};

struct Attachment {
  PropertyBag props;

  // A file attachment by value (PidTagAttachMethod 1) with file name, extension and bytes.
  static Attachment File(const std::string& fileName, Bytes data);
  // The contact photo as Outlook stores it: "ContactPicture.jpg", extension ".jpg",
  // PidTagAttachmentContactPhoto true, PidTagAttachmentHidden true. Pair it with
  // PidLidHasPicture true on the contact (Message::SetContactPhoto does both).
  static Attachment ContactPhoto(Bytes jpeg);
};

struct Recipient {
  std::string displayName;
  std::string emailAddress;  // SMTP address
  int type = 1;              // PidTagRecipientType: 1 To, 2 Cc, 3 Bcc
};

struct Message {
  // PidTagMessageClass, e.g. "IPM.Contact", "IPM.DistList", "IPM.Note".
  std::string messageClass = "IPM.Note";
  PropertyBag props;
  std::vector<Attachment> attachments;
  std::vector<Recipient> recipients;

  // Adds the contact photo attachment and sets PidLidHasPicture.
  void SetContactPhoto(Bytes jpeg);
};

// Well-known folders the store points at with entry ids.
enum class FolderRole {
  kNone,
  kInbox,
  kOutbox,
  kSentItems,
  kDeletedItems,  // the wastebasket
  kContacts,      // the default contacts folder (PidTagIpmContactEntryId)
  kCalendar,
  kDrafts,
  kJournal,
  kNotes,
  kTasks,
};

struct Folder {
  std::string displayName;
  std::string containerClass;  // PidTagContainerClass, e.g. "IPF.Note", "IPF.Contact"; may be empty
  bool hidden = false;         // PidTagAttributeHidden
  FolderRole role = FolderRole::kNone;
  std::list<Folder> subfolders;
  std::list<Message> messages;    // the contents table
  std::list<Message> associated;  // the associated contents table (hidden items)

  Folder& AddFolder(std::string name, std::string containerClass = "IPF.Note");
  Message& AddMessage(std::string messageClass);
  // Depth-first search by display name (this folder included); nullptr when absent.
  Folder* FindFolder(std::string_view name);
  // The folder with the given role in this subtree; nullptr when absent.
  Folder* FindRole(FolderRole role);
  const Folder* FindRole(FolderRole role) const;
};

// The file format the store is written in: Unicode (file format version 23), ANSI (version 15:
// 32-bit block identifiers and offsets, strings as 8-bit strings in a code page), an offline
// folders file as Outlook 2003 to 2010 keep for an Exchange or IMAP account (OST: Unicode, with
// the client signature "SO"), or one as Outlook 2013 and later keep (version 36: 4 KiB pages,
// compressed data blocks).
enum class StoreFormat { kUnicode, kAnsi, kOst, kOst2013 };

// The format a name gives ("unicode", "ansi", "ost", "ost2013"); empty for any other name.
std::optional<StoreFormat> StoreFormatNamed(std::string_view name);
// The names StoreFormatNamed takes, for messages.
inline constexpr const char* kStoreFormatNames = "\"unicode\", \"ansi\", \"ost\" or \"ost2013\"";

struct Store {
  StoreFormat format = StoreFormat::kUnicode;
  // An ANSI store's code page: the store's and folders' names, the table columns and every
  // message's strings not given as 8-bit strings are written in it. A message that records its
  // own code page (PidTagMessageCodepage) is written in that one; a message with text this code
  // page lacks, that records none, is written in UTF-8 (code page 65001); a message the writer
  // encodes records the code page it is written in.
  std::uint32_t codePage = 1252;
  // PidTagDisplayName of the message store.
  std::string displayName = "Personal Folders";
  // The store's password: empty for none. The store keeps only its checksum, as PidTagPstPassword
  // (see PstPasswordChecksum in pst_writer.h); readers that honour it ask for the password.
  std::string password;
  // PidTagRecordKey of the store; entry ids of its folders carry it as provider UID.
  Guid recordKey = Guid::Parse("{5A6E2D14-8C3F-4B71-9E0D-1F2A3B4C5D6E}");
  // The IPM subtree ("Top of Personal Folders"), the folder a mail client shows as the top.
  Folder ipmSubtree{"Top of Personal Folders", "", false, FolderRole::kNone, {}, {}, {}};

  // A store with the folders Outlook creates in a new PST: Deleted Items, Inbox, Outbox,
  // Sent Items, Calendar, Contacts ("IPF.Contact", the default contacts folder), Journal, Notes,
  // Tasks, Drafts.
  static Store WithStandardFolders(std::string displayName = "Personal Folders");

  Folder* Contacts() { return ipmSubtree.FindRole(FolderRole::kContacts); }
};

}  // namespace tarnvex::pstwriter
