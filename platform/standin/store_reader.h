#pragma once

// What the stand-in reads from an Outlook data file, whichever reader serves it: items (the
// message store, folders, messages, attachments) with their properties. Two readers serve it:
// the native one (platform/standin/native_reader.h, over the PST library in pst/) for every PST
// and OST format known (Unicode, ANSI, and Outlook 2013's 4 KiB pages), and libpff
// (platform/standin/pff.h) for any other file, where the build has it. Every read failure is a
// tarnvex::Failure naming the data file; "not present" is an empty pointer, never a failure.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "mapi/mapi.h"
#include "platform/code_pages.h"
#include "pst/ndb/damage.h"

namespace tarnvex::standin::store {

// MAPI property value types.
using mapi::kTypeBinary;
using mapi::kTypeBoolean;
using mapi::kTypeInt16;
using mapi::kTypeInt32;
using mapi::kTypeInt64;
using mapi::kTypeMultiString8;
using mapi::kTypeMultiUnicode;
using mapi::kTypeString8;
using mapi::kTypeSystime;
using mapi::kTypeUnicode;

// How 8-bit strings (PT_STRING8, PT_MSTRING8) become UTF-8. Each item's strings are in the code
// page CodePageOf gives it; the readers decode them through the platform's code pages. Without
// code pages (null) every 8-bit string is read as Latin-1. The first value that does not decode
// (an unknown code page, bytes the code page lacks: shown as U+FFFD) is reported through `warn`,
// once for the life of the object: one run.
class TextDecoding {
 public:
  using Warn = std::function<void(const std::string&)>;
  TextDecoding(const CodePages* pages = nullptr, uint32_t fallback = kDefaultCodePage,
               Warn warn = nullptr)
      : pages_(pages), fallback_(fallback), warn_(std::move(warn)) {}

  static constexpr uint32_t kDefaultCodePage = 1252;  // Windows-1252 (Western)

  // The code page of items for which the file records none: the user's, else Windows-1252.
  uint32_t fallback() const { return fallback_; }
  // The 8-bit string up to its first NUL byte, as UTF-8.
  std::string Decode(std::string_view bytes, uint32_t codePage) const;

 private:
  const CodePages* pages_;
  uint32_t fallback_;
  Warn warn_;
  mutable std::atomic<bool> warned_{false};
};

// PidTagMessageCodepage (0x3FFD), PidTagMessageLocaleId (0x3FF1) and PidTagCodePageId (0x66C3).
inline constexpr uint32_t kTagMessageCodepage = 0x3FFD;
inline constexpr uint32_t kTagMessageLocaleId = 0x3FF1;
inline constexpr uint32_t kTagCodePageId = 0x66C3;

class Item;

// Collects the damage met reading on this thread while it lives (Item::Damage).
using DamageScope = pst::ndb::DamageScope;

// The code page of an item's 8-bit strings: its PidTagMessageCodepage when not 0, else the ANSI
// code page of its PidTagMessageLocaleId, else its PidTagCodePageId when not 0, else `inherited`:
// the code page of the item it belongs to (a message's folder, an attachment's message, the root
// folder's message store; the fall-back for the store). PidTagInternetCodepage (0x3FDE) is not
// used: it names the code page of the body only, which may be a 7-bit one such as ISO-2022-JP.
uint32_t CodePageOf(const Item& item, uint32_t inherited);

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
  // The values of a multi-valued binary property, as stored.
  std::vector<std::string> Binaries() const;
  // The value's bytes as stored.
  virtual std::string Bytes() const = 0;
  virtual uint64_t Filetime() const = 0;
  virtual uint32_t Int32() const = 0;
  virtual bool Boolean() const = 0;

 protected:
  // The data file's path, for failures.
  virtual const std::string& FilePath() const = 0;
  // An 8-bit string of the item as UTF-8, in the item's code page.
  virtual std::string Decode8(std::string_view bytes) const = 0;

 private:
  // The values of a multi-valued property of variable size (MS-PST section 2.3.3.4.2: a count,
  // then each value's offset, then the values); throws Failure when the table does not fit.
  std::vector<std::string_view> SplitValues(std::string_view raw) const;
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
  // The same children, each made only when it is taken: a folder of a million contacts does not
  // hold a million items at once. Taken in order, each once.
  class Children {
   public:
    virtual ~Children() = default;
    virtual std::size_t Count() const = 0;
    virtual Child Take(std::size_t index) = 0;
    // The message class the folder's contents table lists for the child, found without opening
    // the child; empty when the reader knows none for it. The class of the message itself
    // decides what it is: the two differ only in a damaged file.
    virtual std::optional<std::string> ListedClass(std::size_t) { return std::nullopt; }
  };
  // By default, over NormalMessages().
  virtual std::unique_ptr<Children> NormalMessagesOneByOne() const;

  // The code page of the item's 8-bit strings (CodePageOf).
  virtual uint32_t CodePage() const = 0;

  // The damage met so far reading the item, one note each ("block 0x1c at offset 8192 fails
  // its check sum; its data are used"): the reader read through it, so what the item gives is
  // more likely right than not, but not sound. Empty for an item read from sound data. Damage
  // met while reading its values, attachments and other items is told to the DamageScopes of
  // the reading thread (pst/ndb/damage.h) as well.
  virtual std::vector<std::string> Damage() const { return {}; }

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

  // The damage the reader read through in the file so far, one note per page or block, in the
  // order met (a header, an index page or a block whose check sum fails but whose structure
  // holds); those after the first `from`.
  virtual std::vector<std::string> DamageNotes(std::size_t /*from*/) const { return {}; }

  // Normal messages the file holds that no folder holds (their parent folder is missing), one
  // failure text each, saying which and where. The stand-in counts them among the items of the
  // store's top-level folder, so that they are reported rather than dropped. The native reader
  // gives none: its folders' contents tables list such messages in their own folders.
  virtual std::vector<std::string> MessagesOutsideFolders() { return {}; }
};

// The quick check: an existing regular file that starts with the PST signature. Throws Failure
// naming the file.
void CheckSignature(const std::string& path);

// Opens the file with the native reader when it is of a format the reader takes, else
// with libpff; 8-bit strings are decoded as `decoding` says (it is kept for the file's life). A
// file of a format the native reader reads is never handed to libpff: when its header or indexes
// are damaged, that is the failure. Throws Failure naming the file when it is missing, unreadable,
// not a PST/OST file or damaged beyond opening.
std::shared_ptr<File> OpenFile(const std::string& path,
                               std::shared_ptr<const TextDecoding> decoding = nullptr);

}  // namespace tarnvex::standin::store
