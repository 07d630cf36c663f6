#pragma once

// The reader over libpff, for every data file the native reader does not take (ANSI PST, OST,
// files it refuses). Every libpff failure becomes tarnvex::Failure whose description names the
// data file, what was being read and libpff's own error text.

#include <libpff.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/standin/store_reader.h"

namespace tarnvex::standin::pff {

using store::kTypeBinary;
using store::kTypeBoolean;
using store::kTypeInt16;
using store::kTypeInt32;
using store::kTypeMultiString8;
using store::kTypeMultiUnicode;
using store::kTypeString8;
using store::kTypeSystime;
using store::kTypeUnicode;

// An open data file. Shared by every item read from it, so it stays open while any is alive.
class File : public store::File, public std::enable_shared_from_this<File> {
 public:
  // Opens the file for reading; throws Failure naming the file when it is missing, unreadable,
  // not a PST/OST file or damaged beyond opening.
  // 8-bit strings are decoded as `decoding` says (Latin-1 when null).
  static std::shared_ptr<File> Open(const std::string& path,
                                    std::shared_ptr<const store::TextDecoding> decoding = nullptr);
  ~File() override;
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  const std::string& path() const override { return path_; }
  const char* ReaderName() const override { return "libpff"; }
  libpff_file_t* get() const { return file_; }

  std::unique_ptr<store::Item> RootFolder() override;
  std::unique_ptr<store::Item> MessageStore() override;
  std::unique_ptr<store::Item> ItemByIdentifier(uint32_t identifier) override;
  // libpff's orphan items that are normal messages: its index lists them under a parent it
  // does not have. Read once.
  std::vector<std::string> MessagesOutsideFolders() override;

  // Throws Failure "<what> in the Outlook data file "<path>": <libpff's text>" and frees the error.
  [[noreturn]] void Fail(std::string_view what, libpff_error_t* error) const;

  const store::TextDecoding& decoding() const { return *decoding_; }

 private:
  File(std::string path, libpff_file_t* file, std::shared_ptr<const store::TextDecoding> decoding)
      : path_(std::move(path)), file_(file), decoding_(std::move(decoding)) {}
  // The code page of the message store, which the items found from the file belong to.
  uint32_t StoreCodePage();

  std::string path_;
  libpff_file_t* file_;
  std::shared_ptr<const store::TextDecoding> decoding_;
  std::optional<uint32_t> storeCodePage_;
};

class Entry : public store::Entry {
 public:
  // `codePage`: the item's, for 8-bit strings.
  Entry(std::shared_ptr<File> file, libpff_record_entry_t* entry, uint32_t codePage);
  ~Entry() override;
  Entry(const Entry&) = delete;
  Entry& operator=(const Entry&) = delete;

  uint32_t Tag() const override { return tag_; }
  uint32_t ValueType() const override { return valueType_; }
  bool Named() const override { return named_; }
  const uint8_t* Guid() const override { return guid_; }
  uint32_t Lid() const override { return lid_; }
  const std::string& Name() const override { return name_; }

  std::string Text() const override;
  std::string Bytes() const override;
  uint64_t Filetime() const override;
  uint32_t Int32() const override;
  bool Boolean() const override;

 protected:
  const std::string& FilePath() const override { return file_->path(); }
  std::string Decode8(std::string_view bytes) const override {
    return file_->decoding().Decode(bytes, codePage_);
  }

 private:
  std::shared_ptr<File> file_;
  libpff_record_entry_t* entry_;
  uint32_t codePage_;
  uint32_t tag_ = 0;
  uint32_t valueType_ = 0;
  bool named_ = false;
  uint8_t guid_[16] = {};
  uint32_t lid_ = 0;
  std::string name_;
};

class Item : public store::Item {
 public:
  // `inherited`: the code page of the item this one belongs to (store::CodePageOf).
  Item(std::shared_ptr<File> file, libpff_item_t* item, uint32_t inherited)
      : file_(std::move(file)), item_(item), inherited_(inherited) {}
  ~Item() override;
  Item(const Item&) = delete;
  Item& operator=(const Item&) = delete;

  uint32_t Identifier() const override;
  bool IsFolder() const override;
  void ForEachEntry(const std::function<void(const store::Entry&)>& f) const override;
  std::unique_ptr<store::Entry> Find(uint32_t tag, uint32_t valueType) const override;

  std::string FolderName() const override;
  int SubFolderCount() const override;
  std::unique_ptr<store::Item> SubFolder(int index) const override;
  // libpff finds each item of a folder by a linear search among its siblings, so fetching them
  // one by one costs time in the square of the folder's size and, through the contents table,
  // memory in proportion to it; one walk over the folder's children costs half that time and no
  // table.
  std::vector<Child> NormalMessages() const override;

  std::string MessageClass() const override;
  int AttachmentCount() const override;
  std::unique_ptr<store::Item> Attachment(int index) const override;
  bool IsDataAttachment() const override;
  std::string AttachmentData() const override;
  uint32_t CodePage() const override;

 private:
  libpff_record_set_t* FirstRecordSet() const;
  int EntryCount(libpff_record_set_t* set) const;
  std::unique_ptr<Entry> EntryAt(libpff_record_set_t* set, int index) const;

  std::shared_ptr<File> file_;
  libpff_item_t* item_;
  uint32_t inherited_;
  // While the code page is being found (with Find), entries take the inherited one: only the
  // numbers that name it are read then.
  mutable std::optional<uint32_t> codePage_;
};

}  // namespace tarnvex::standin::pff
