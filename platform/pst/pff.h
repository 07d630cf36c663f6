#pragma once

// Owning wrappers over libpff. Every libpff failure becomes tarnvex::Failure whose description
// names the data file, what was being read and libpff's own error text. "Not present" is an
// empty optional, never a failure.

#include <libpff.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarnvex::pst::pff {

// MAPI property value types.
inline constexpr uint32_t kTypeInt16 = 0x0002;
inline constexpr uint32_t kTypeInt32 = 0x0003;
inline constexpr uint32_t kTypeBoolean = 0x000B;
inline constexpr uint32_t kTypeString8 = 0x001E;
inline constexpr uint32_t kTypeUnicode = 0x001F;
inline constexpr uint32_t kTypeSystime = 0x0040;
inline constexpr uint32_t kTypeBinary = 0x0102;
inline constexpr uint32_t kTypeMultiString8 = 0x101E;
inline constexpr uint32_t kTypeMultiUnicode = 0x101F;

// An open data file. Shared by every item read from it, so it stays open while any is alive.
class File {
 public:
  // Opens the file for reading; throws Failure naming the file when it is missing, unreadable,
  // not a PST/OST file or damaged beyond opening.
  static std::shared_ptr<File> Open(const std::string& path);
  // The quick check of Open alone: an existing regular file that starts with the PST signature.
  static void CheckSignature(const std::string& path);
  ~File();
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  const std::string& path() const { return path_; }
  libpff_file_t* get() const { return file_; }

  // Throws Failure "<what> in the Outlook data file "<path>": <libpff's text>" and frees the error.
  [[noreturn]] void Fail(std::string_view what, libpff_error_t* error) const;

 private:
  File(std::string path, libpff_file_t* file) : path_(std::move(path)), file_(file) {}
  std::string path_;
  libpff_file_t* file_;
};

// One entry of an item's record set: the property's tag, value type and, for a named property,
// its property-set GUID and LID or name.
class Entry {
 public:
  Entry(std::shared_ptr<File> file, libpff_record_entry_t* entry);
  ~Entry();
  Entry(Entry&& other) noexcept;
  Entry(const Entry&) = delete;
  Entry& operator=(const Entry&) = delete;
  Entry& operator=(Entry&&) = delete;

  uint32_t Tag() const { return tag_; }
  uint32_t ValueType() const { return valueType_; }
  // Named property: true with the GUID (16 bytes as stored) and the LID or the name.
  bool Named() const { return named_; }
  const uint8_t* Guid() const { return guid_; }
  uint32_t Lid() const { return lid_; }
  const std::string& Name() const { return name_; }

  // Text of a PT_UNICODE / PT_STRING8 value, as UTF-8.
  std::string Text() const;
  std::vector<std::string> Texts() const;  // multi-valued strings
  std::string Bytes() const;
  uint64_t Filetime() const;
  uint32_t Int32() const;
  bool Boolean() const;

 private:
  std::shared_ptr<File> file_;
  libpff_record_entry_t* entry_;
  uint32_t tag_ = 0;
  uint32_t valueType_ = 0;
  bool named_ = false;
  uint8_t guid_[16] = {};
  uint32_t lid_ = 0;
  std::string name_;
};

// A folder, message, attachment or the message store.
class Item {
 public:
  Item(std::shared_ptr<File> file, libpff_item_t* item) : file_(std::move(file)), item_(item) {}
  ~Item();
  Item(const Item&) = delete;
  Item& operator=(const Item&) = delete;

  const std::shared_ptr<File>& file() const { return file_; }
  libpff_item_t* get() const { return item_; }
  uint32_t Identifier() const;

  // The entries of the item's first record set, in stored order; calls f(Entry&) for each.
  template <typename F>
  void ForEachEntry(F&& f) const {
    libpff_record_set_t* set = FirstRecordSet();
    if (!set)
      return;
    struct SetGuard {
      libpff_record_set_t* s;
      ~SetGuard() { libpff_record_set_free(&s, nullptr); }
    } guard{set};
    const int count = EntryCount(set);
    for (int i = 0; i < count; ++i) {
      Entry e = EntryAt(set, i);
      f(e);
    }
  }

  // A fixed-tag property of the given value type, or empty when the item has none.
  std::optional<Entry> Find(uint32_t tag, uint32_t valueType) const;

  // Folder operations.
  std::string FolderName() const;
  int SubFolderCount() const;
  std::unique_ptr<Item> SubFolder(int index) const;
  int MessageCount() const;
  std::unique_ptr<Item> Message(int index) const;

  // The folder's normal messages in the order of the store's node index, in one pass. libpff
  // finds each item of a folder by a linear search among its siblings, so fetching them one by
  // one costs time in the square of the folder's size and, through the contents table, memory in
  // proportion to it; one walk over the folder's children costs half that time and no table.
  // A child that cannot be read is kept as its failure text, at its place.
  struct Child {
    std::unique_ptr<Item> item;
    std::string failure;
  };
  std::vector<Child> NormalMessages() const;

  // Message operations.
  std::string MessageClass() const;
  int AttachmentCount() const;
  std::unique_ptr<Item> Attachment(int index) const;
  // Attachment operations: the attached data ('d' attachments) read whole.
  bool IsDataAttachment() const;
  std::string AttachmentData() const;

 private:
  libpff_record_set_t* FirstRecordSet() const;
  int EntryCount(libpff_record_set_t* set) const;
  Entry EntryAt(libpff_record_set_t* set, int index) const;

  std::shared_ptr<File> file_;
  libpff_item_t* item_;
};

std::unique_ptr<Item> RootFolder(const std::shared_ptr<File>& file);
std::unique_ptr<Item> MessageStore(const std::shared_ptr<File>& file);
// The item with the given node identifier, or null when the file has none.
std::unique_ptr<Item> ItemByIdentifier(const std::shared_ptr<File>& file, uint32_t identifier);

}  // namespace tarnvex::pst::pff
