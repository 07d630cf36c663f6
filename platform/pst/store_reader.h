#pragma once

// What the stand-in reads from an Outlook data file, whichever reader serves it: items (the
// message store, folders, messages, attachments) with their properties. Two readers serve it:
// the native one (platform/pst/native_reader.h, over the PST library in pst/) for Unicode PST
// files, and libpff (platform/pst/pff.h) for every other file. Every read failure is a
// tarnvex::Failure naming the data file; "not present" is an empty pointer, never a failure.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tarnvex::pst::store {

// MAPI property value types.
inline constexpr uint32_t kTypeInt16 = 0x0002;
inline constexpr uint32_t kTypeInt32 = 0x0003;
inline constexpr uint32_t kTypeBoolean = 0x000B;
inline constexpr uint32_t kTypeInt64 = 0x0014;
inline constexpr uint32_t kTypeString8 = 0x001E;
inline constexpr uint32_t kTypeUnicode = 0x001F;
inline constexpr uint32_t kTypeSystime = 0x0040;
inline constexpr uint32_t kTypeBinary = 0x0102;
inline constexpr uint32_t kTypeMultiString8 = 0x101E;
inline constexpr uint32_t kTypeMultiUnicode = 0x101F;

// One property of an item: its tag, value type and, for a named property, its property-set
// GUID and LID or name.
class Entry {
 public:
  virtual ~Entry() = default;

  virtual uint32_t Tag() const = 0;
  virtual uint32_t ValueType() const = 0;
  // Named property: true with the GUID (16 bytes as stored) and the LID or the name.
  virtual bool Named() const = 0;
  virtual const uint8_t* Guid() const = 0;
  virtual uint32_t Lid() const = 0;
  virtual const std::string& Name() const = 0;

  // Text of a PT_UNICODE / PT_STRING8 value, as UTF-8.
  virtual std::string Text() const = 0;
  // The values of a multi-valued string property, as UTF-8.
  std::vector<std::string> Texts() const;
  // The value's bytes as stored.
  virtual std::string Bytes() const = 0;
  virtual uint64_t Filetime() const = 0;
  virtual uint32_t Int32() const = 0;
  virtual bool Boolean() const = 0;

 protected:
  // The data file's path, for failures.
  virtual const std::string& FilePath() const = 0;
};

// A folder, message, attachment or the message store.
class Item {
 public:
  virtual ~Item() = default;

  virtual uint32_t Identifier() const = 0;
  virtual bool IsFolder() const = 0;

  // The item's properties in stored order.
  virtual void ForEachEntry(const std::function<void(const Entry&)>& f) const = 0;
  // A fixed-tag property of the given value type, or null when the item has none.
  virtual std::unique_ptr<Entry> Find(uint32_t tag, uint32_t valueType) const = 0;

  // Folder operations.
  virtual std::string FolderName() const = 0;
  virtual int SubFolderCount() const = 0;
  virtual std::unique_ptr<Item> SubFolder(int index) const = 0;

  // The folder's normal messages in the order of the store's node index, in one pass. A child
  // that cannot be read is kept as its failure text, at its place.
  struct Child {
    std::unique_ptr<Item> item;
    std::string failure;
  };
  virtual std::vector<Child> NormalMessages() const = 0;

  // Message operations.
  virtual std::string MessageClass() const = 0;
  virtual int AttachmentCount() const = 0;
  virtual std::unique_ptr<Item> Attachment(int index) const = 0;
  // Attachment operations: the attached data ('by value' attachments) read whole.
  virtual bool IsDataAttachment() const = 0;
  virtual std::string AttachmentData() const = 0;
};

// An open data file. Items read from it keep it open.
class File {
 public:
  virtual ~File() = default;
  virtual const std::string& path() const = 0;
  // Which reader serves the file: "native" or "libpff".
  virtual const char* ReaderName() const = 0;

  virtual std::unique_ptr<Item> RootFolder() = 0;
  // The message store, or null when the file has none.
  virtual std::unique_ptr<Item> MessageStore() = 0;
  // The item with the given node identifier, or null when the file has none.
  virtual std::unique_ptr<Item> ItemByIdentifier(uint32_t identifier) = 0;

  // Normal messages the file holds that no folder holds (their parent folder is missing), one
  // failure text each, saying which and where. The stand-in counts them among the items of the
  // store's top-level folder, so that they are reported rather than dropped. The native reader
  // gives none: its folders' contents tables list such messages in their own folders.
  virtual std::vector<std::string> MessagesOutsideFolders() { return {}; }
};

// The quick check: an existing regular file that starts with the PST signature. Throws Failure
// naming the file.
void CheckSignature(const std::string& path);

// Opens the file with the native reader when it is a Unicode PST the reader takes, else with
// libpff. A file of a format the native reader reads is never handed to libpff: when its header
// or indexes are damaged, that is the failure. Throws Failure naming the file when it is
// missing, unreadable, not a PST/OST file or damaged beyond opening.
std::shared_ptr<File> OpenFile(const std::string& path);

}  // namespace tarnvex::pst::store
