#include "platform/standin/pff.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/failure.h"
#include "platform/standin/fallback_reader.h"
#include "text/utf.h"

namespace tarnvex::standin::pff {
namespace {

// libpff's error chain runs from the innermost cause outwards, one "function: message" line
// each. The innermost cause says what is wrong with the file; the function names mean nothing to
// the reader and are dropped.
std::string ErrorText(libpff_error_t* error) {
  if (!error)
    return "unknown error";
  std::vector<char> buf(4096);
  std::string text;
  if (libpff_error_backtrace_sprint(error, buf.data(), buf.size()) > 0) {
    text.assign(buf.data(), strnlen(buf.data(), buf.size()));
  } else if (libpff_error_sprint(error, buf.data(), buf.size()) > 0) {
    text.assign(buf.data(), strnlen(buf.data(), buf.size()));
  }
  libpff_error_free(&error);
  std::string first = text.substr(0, text.find('\n'));
  if (auto colon = first.find(": ");
      colon != std::string::npos && first.compare(0, 3, "lib") == 0) {
    first = first.substr(colon + 2);
  }
  while (!first.empty() && (first.back() == '.' || first.back() == ' ' || first.back() == '\r')) {
    first.pop_back();
  }
  return first.empty() ? "unknown error" : first;
}

[[noreturn]] void FailPath(const std::string& path, std::string_view what, libpff_error_t* error) {
  throw Failure(std::string(what) + " in the Outlook data file \"" + path +
                "\": " + ErrorText(error) + ".");
}

}  // namespace

std::shared_ptr<File> File::Open(const std::string& path,
                                 std::shared_ptr<const store::TextDecoding> decoding) {
  if (!decoding)
    decoding = std::make_shared<const store::TextDecoding>();
  // The signature first, so that a file of another kind is named as such rather than as damage.
  store::CheckSignature(path);
  libpff_error_t* error = nullptr;
  libpff_file_t* file = nullptr;
  if (libpff_file_initialize(&file, &error) != 1)
    FailPath(path, "Cannot open", error);
  if (libpff_file_open(file, path.c_str(), LIBPFF_OPEN_READ, &error) != 1) {
    libpff_file_free(&file, nullptr);
    throw Failure("The Outlook data file \"" + path +
                  "\" is damaged or truncated: " + ErrorText(error) + ".");
  }
  return std::shared_ptr<File>(new File(path, file, std::move(decoding)));
}

File::~File() {
  libpff_file_close(file_, nullptr);
  libpff_file_free(&file_, nullptr);
}

std::vector<std::string> File::MessagesOutsideFolders() {
  constexpr uint32_t kNidTypeMask = 0x1F;
  constexpr uint32_t kNidTypeNormalMessage = 0x04;  // MS-PST section 2.2.2.1
  libpff_error_t* error = nullptr;
  int n = 0;
  if (libpff_file_get_number_of_orphan_items(file_, &n, &error) != 1)
    Fail("Cannot read the items outside folders", error);
  std::vector<std::string> out;
  for (int i = 0; i < n; ++i) {
    libpff_item_t* item = nullptr;
    uint32_t id = 0;
    if (libpff_file_get_orphan_item_by_index(file_, i, &item, &error) != 1) {
      out.push_back("An item cannot be read from the Outlook data file \"" + path_ +
                    "\": it belongs to no folder, and " + ErrorText(error) + ".");
      continue;
    }
    const bool read = libpff_item_get_identifier(item, &id, nullptr) == 1;
    libpff_item_free(&item, nullptr);
    if (read && (id & kNidTypeMask) != kNidTypeNormalMessage)
      continue;
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%X", id);
    out.push_back("An item cannot be read from the Outlook data file \"" + path_ + "\": message " +
                  hex +
                  " belongs to no folder (the node index names a parent folder the file does "
                  "not have).");
  }
  return out;
}

void File::Fail(std::string_view what, libpff_error_t* error) const {
  FailPath(path_, what, error);
}

Entry::Entry(std::shared_ptr<File> file, libpff_record_entry_t* entry, uint32_t codePage)
    : file_(std::move(file)), entry_(entry), codePage_(codePage) {
  libpff_error_t* error = nullptr;
  if (libpff_record_entry_get_entry_type(entry_, &tag_, &error) != 1 ||
      libpff_record_entry_get_value_type(entry_, &valueType_, &error) != 1) {
    libpff_record_entry_free(&entry_, nullptr);
    file_->Fail("Cannot read a property", error);
  }
  libpff_name_to_id_map_entry_t* map = nullptr;
  const int rc = libpff_record_entry_get_name_to_id_map_entry(entry_, &map, &error);
  if (rc == -1) {
    libpff_error_free(&error);  // an unmapped named property: read as a plain tag
    return;
  }
  if (rc != 1 || !map)
    return;
  uint8_t type = 0;
  if (libpff_name_to_id_map_entry_get_type(map, &type, nullptr) != 1)
    return;
  if (libpff_name_to_id_map_entry_get_guid(map, guid_, sizeof guid_, nullptr) != 1) {
    std::memset(guid_, 0, sizeof guid_);
  }
  if (type == LIBPFF_NAME_TO_ID_MAP_ENTRY_TYPE_NUMERIC) {
    named_ = libpff_name_to_id_map_entry_get_number(map, &lid_, nullptr) == 1;
  } else if (type == LIBPFF_NAME_TO_ID_MAP_ENTRY_TYPE_STRING) {
    size_t size = 0;
    if (libpff_name_to_id_map_entry_get_utf8_string_size(map, &size, nullptr) == 1 && size > 0) {
      std::string s(size, '\0');
      if (libpff_name_to_id_map_entry_get_utf8_string(map, reinterpret_cast<uint8_t*>(s.data()),
                                                      size, nullptr) == 1) {
        s.resize(strnlen(s.c_str(), size));
        name_ = std::move(s);
        named_ = true;
      }
    }
  }
}

Entry::~Entry() {
  if (entry_)
    libpff_record_entry_free(&entry_, nullptr);
}

std::string Entry::Text() const {
  libpff_error_t* error = nullptr;
  if (valueType_ == kTypeUnicode) {
    const std::string raw = Bytes();
    return text::Utf16LeToUtf8(reinterpret_cast<const uint8_t*>(raw.data()), raw.size());
  }
  if (valueType_ == kTypeString8)
    return Decode8(Bytes());  // libpff reads them in one code page for the whole file
  size_t size = 0;
  const int rc = libpff_record_entry_get_data_as_utf8_string_size(entry_, &size, &error);
  if (rc == 0)
    return {};
  if (rc != 1)
    file_->Fail("Cannot read a text property", error);
  if (size <= 1)
    return {};
  std::string s(size, '\0');
  if (libpff_record_entry_get_data_as_utf8_string(entry_, reinterpret_cast<uint8_t*>(s.data()),
                                                  size, &error) != 1) {
    file_->Fail("Cannot read a text property", error);
  }
  s.resize(strnlen(s.c_str(), size));
  return s;
}

std::string Entry::Bytes() const {
  libpff_error_t* error = nullptr;
  size_t size = 0;
  if (libpff_record_entry_get_data_size(entry_, &size, &error) != 1) {
    file_->Fail("Cannot read a binary property", error);
  }
  std::string s(size, '\0');
  if (size > 0 && libpff_record_entry_get_data(entry_, reinterpret_cast<uint8_t*>(s.data()), size,
                                               &error) != 1) {
    file_->Fail("Cannot read a binary property", error);
  }
  return s;
}

uint64_t Entry::Filetime() const {
  libpff_error_t* error = nullptr;
  uint64_t v = 0;
  if (libpff_record_entry_get_data_as_filetime(entry_, &v, &error) != 1) {
    file_->Fail("Cannot read a time property", error);
  }
  return v;
}

uint32_t Entry::Int32() const {
  libpff_error_t* error = nullptr;
  uint32_t v = 0;
  if (libpff_record_entry_get_data_as_32bit_integer(entry_, &v, &error) != 1) {
    file_->Fail("Cannot read a number property", error);
  }
  return v;
}

bool Entry::Boolean() const {
  libpff_error_t* error = nullptr;
  uint8_t v = 0;
  if (libpff_record_entry_get_data_as_boolean(entry_, &v, &error) != 1) {
    file_->Fail("Cannot read a flag property", error);
  }
  return v != 0;
}

bool Item::IsFolder() const {
  uint8_t type = 0;
  return libpff_item_get_type(item_, &type, nullptr) == 1 && type == LIBPFF_ITEM_TYPE_FOLDER;
}

void Item::ForEachEntry(const std::function<void(const store::Entry&)>& f) const {
  libpff_record_set_t* set = FirstRecordSet();
  if (!set)
    return;
  struct SetGuard {
    libpff_record_set_t* s;
    ~SetGuard() { libpff_record_set_free(&s, nullptr); }
  } guard{set};
  const int count = EntryCount(set);
  for (int i = 0; i < count; ++i)
    f(*EntryAt(set, i));
}

Item::~Item() {
  if (item_)
    libpff_item_free(&item_, nullptr);
}

uint32_t Item::Identifier() const {
  libpff_error_t* error = nullptr;
  uint32_t id = 0;
  if (libpff_item_get_identifier(item_, &id, &error) != 1) {
    file_->Fail("Cannot read an item's identifier", error);
  }
  return id;
}

libpff_record_set_t* Item::FirstRecordSet() const {
  libpff_error_t* error = nullptr;
  int sets = 0;
  if (libpff_item_get_number_of_record_sets(item_, &sets, &error) != 1) {
    file_->Fail("Cannot read the properties of item " + std::to_string(Identifier()), error);
  }
  if (sets < 1)
    return nullptr;
  libpff_record_set_t* set = nullptr;
  if (libpff_item_get_record_set_by_index(item_, 0, &set, &error) != 1) {
    file_->Fail("Cannot read the properties of item " + std::to_string(Identifier()), error);
  }
  return set;
}

int Item::EntryCount(libpff_record_set_t* set) const {
  libpff_error_t* error = nullptr;
  int count = 0;
  if (libpff_record_set_get_number_of_entries(set, &count, &error) != 1) {
    file_->Fail("Cannot read the properties of item " + std::to_string(Identifier()), error);
  }
  return count;
}

std::unique_ptr<Entry> Item::EntryAt(libpff_record_set_t* set, int index) const {
  libpff_error_t* error = nullptr;
  libpff_record_entry_t* entry = nullptr;
  if (libpff_record_set_get_entry_by_index(set, index, &entry, &error) != 1) {
    file_->Fail("Cannot read the properties of item " + std::to_string(Identifier()), error);
  }
  return std::make_unique<Entry>(file_, entry, CodePage());
}

uint32_t Item::CodePage() const {
  if (codePage_)
    return *codePage_;
  codePage_ = inherited_;
  codePage_ = store::CodePageOf(*this, inherited_);
  return *codePage_;
}

std::unique_ptr<store::Entry> Item::Find(uint32_t tag, uint32_t valueType) const {
  libpff_record_set_t* set = FirstRecordSet();
  if (!set)
    return nullptr;
  struct SetGuard {
    libpff_record_set_t* s;
    ~SetGuard() { libpff_record_set_free(&s, nullptr); }
  } guard{set};
  libpff_error_t* error = nullptr;
  libpff_record_entry_t* entry = nullptr;
  const int rc = libpff_record_set_get_entry_by_type(
      set, tag, valueType, &entry, LIBPFF_ENTRY_VALUE_FLAG_IGNORE_NAME_TO_ID_MAP, &error);
  if (rc == 0)
    return nullptr;
  if (rc != 1) {
    file_->Fail("Cannot read the properties of item " + std::to_string(Identifier()), error);
  }
  return std::make_unique<Entry>(file_, entry, CodePage());
}

std::string Item::FolderName() const {
  if (auto name = Find(0x3001, kTypeUnicode))
    return name->Text();  // PidTagDisplayName
  if (auto name = Find(0x3001, kTypeString8))
    return name->Text();
  libpff_error_t* error = nullptr;
  size_t size = 0;
  const int rc = libpff_folder_get_utf8_name_size(item_, &size, &error);
  if (rc == 0)
    return {};
  if (rc != 1)
    file_->Fail("Cannot read a folder's name", error);
  std::string s(size, '\0');
  if (size > 0 &&
      libpff_folder_get_utf8_name(item_, reinterpret_cast<uint8_t*>(s.data()), size, &error) != 1) {
    file_->Fail("Cannot read a folder's name", error);
  }
  s.resize(strnlen(s.c_str(), size));
  return s;
}

int Item::SubFolderCount() const {
  libpff_error_t* error = nullptr;
  int n = 0;
  if (libpff_folder_get_number_of_sub_folders(item_, &n, &error) != 1) {
    file_->Fail("Cannot read the subfolders of folder \"" + FolderName() + "\"", error);
  }
  return n;
}

std::unique_ptr<store::Item> Item::SubFolder(int index) const {
  libpff_error_t* error = nullptr;
  libpff_item_t* sub = nullptr;
  if (libpff_folder_get_sub_folder(item_, index, &sub, &error) != 1) {
    file_->Fail("Cannot read subfolder " + std::to_string(index + 1) + " of folder \"" +
                    FolderName() + "\"",
                error);
  }
  return std::make_unique<Item>(file_, sub, CodePage());
}

std::vector<store::Item::Child> Item::NormalMessages() const {
  constexpr uint32_t kNidTypeMask = 0x1F;
  constexpr uint32_t kNidTypeNormalMessage = 0x04;  // MS-PST section 2.2.2.1
  libpff_error_t* error = nullptr;
  int n = 0;
  if (libpff_item_get_number_of_sub_items(item_, &n, &error) != 1) {
    file_->Fail("Cannot read the items of folder \"" + FolderName() + "\"", error);
  }
  std::vector<Child> out;
  for (int i = 0; i < n; ++i) {
    libpff_item_t* sub = nullptr;
    if (libpff_item_get_sub_item(item_, i, &sub, &error) != 1) {
      out.push_back({nullptr, "Cannot read item " + std::to_string(i + 1) + " of folder \"" +
                                  FolderName() + "\" in the Outlook data file \"" + file_->path() +
                                  "\": " + ErrorText(error) + "."});
      continue;
    }
    auto child = std::make_unique<Item>(file_, sub, CodePage());
    uint32_t id = 0;
    if (libpff_item_get_identifier(sub, &id, nullptr) == 1 &&
        (id & kNidTypeMask) == kNidTypeNormalMessage) {
      out.push_back({std::move(child), {}});
    }
  }
  return out;
}

std::string Item::MessageClass() const {
  libpff_error_t* error = nullptr;
  size_t size = 0;
  const int rc = libpff_message_get_utf8_class_size(item_, &size, &error);
  if (rc == 0)
    return {};
  if (rc != 1) {
    file_->Fail("Cannot read the message class of item " + std::to_string(Identifier()), error);
  }
  std::string s(size, '\0');
  if (size > 0 && libpff_message_get_utf8_class(item_, reinterpret_cast<uint8_t*>(s.data()), size,
                                                &error) != 1) {
    file_->Fail("Cannot read the message class of item " + std::to_string(Identifier()), error);
  }
  s.resize(strnlen(s.c_str(), size));
  return s;
}

int Item::AttachmentCount() const {
  libpff_error_t* error = nullptr;
  int n = 0;
  if (libpff_message_get_number_of_attachments(item_, &n, &error) != 1) {
    file_->Fail("Cannot read the attachments of item " + std::to_string(Identifier()), error);
  }
  return n;
}

std::unique_ptr<store::Item> Item::Attachment(int index) const {
  libpff_error_t* error = nullptr;
  libpff_item_t* sub = nullptr;
  if (libpff_message_get_attachment(item_, index, &sub, &error) != 1) {
    file_->Fail("Cannot read an attachment of item " + std::to_string(Identifier()), error);
  }
  return std::make_unique<Item>(file_, sub, CodePage());
}

bool Item::IsDataAttachment() const {
  libpff_error_t* error = nullptr;
  int type = 0;
  if (libpff_attachment_get_type(item_, &type, &error) != 1) {
    file_->Fail("Cannot read an attachment", error);
  }
  return type == LIBPFF_ATTACHMENT_TYPE_DATA;
}

std::string Item::AttachmentData() const {
  libpff_error_t* error = nullptr;
  size64_t size = 0;
  if (libpff_attachment_get_data_size(item_, &size, &error) != 1) {
    file_->Fail("Cannot read an attachment", error);
  }
  // A contact picture is small; a size beyond any picture means a damaged attachment table.
  constexpr size64_t kMaxPicture = 64 * 1024 * 1024;
  if (size > kMaxPicture) {
    throw Failure("A contact picture in the Outlook data file \"" + file_->path() +
                  "\" is damaged: its size is " + std::to_string(size) + " bytes.");
  }
  std::string data(static_cast<size_t>(size), '\0');
  if (size == 0)
    return data;
  if (libpff_attachment_data_seek_offset(item_, 0, SEEK_SET, &error) == -1) {
    file_->Fail("Cannot read an attachment", error);
  }
  size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = libpff_attachment_data_read_buffer(
        item_, reinterpret_cast<uint8_t*>(data.data()) + done, data.size() - done, &error);
    if (n < 0)
      file_->Fail("Cannot read an attachment", error);
    if (n == 0) {
      throw Failure("A contact picture in the Outlook data file \"" + file_->path() +
                    "\" is damaged: its data ends early.");
    }
    done += static_cast<size_t>(n);
  }
  return data;
}

std::unique_ptr<store::Item> File::RootFolder() {
  auto file = shared_from_this();
  const uint32_t inherited = StoreCodePage();
  libpff_error_t* error = nullptr;
  libpff_item_t* item = nullptr;
  const int rc = libpff_file_get_root_folder(file->get(), &item, &error);
  if (rc == 0) {
    throw Failure("The Outlook data file \"" + file->path() +
                  "\" is damaged or truncated: its folder tree cannot be found.");
  }
  if (rc != 1)
    file->Fail("Cannot read the root folder", error);
  return std::make_unique<Item>(file, item, inherited);
}

std::unique_ptr<store::Item> File::MessageStore() {
  auto file = shared_from_this();
  libpff_error_t* error = nullptr;
  libpff_item_t* item = nullptr;
  const int rc = libpff_file_get_message_store(file->get(), &item, &error);
  if (rc == 0)
    return nullptr;
  if (rc != 1)
    file->Fail("Cannot read the message store", error);
  return std::make_unique<Item>(file, item, decoding_->fallback());
}

uint32_t File::StoreCodePage() {
  if (!storeCodePage_) {
    auto store = MessageStore();
    storeCodePage_ =
        store ? store::CodePageOf(*store, decoding_->fallback()) : decoding_->fallback();
  }
  return *storeCodePage_;
}

std::unique_ptr<store::Item> File::ItemByIdentifier(uint32_t identifier) {
  auto file = shared_from_this();
  constexpr uint32_t kNidMessageStore = 0x21;  // MS-PST section 2.4.1
  const uint32_t inherited =
      identifier == kNidMessageStore ? decoding_->fallback() : StoreCodePage();
  libpff_error_t* error = nullptr;
  libpff_item_t* item = nullptr;
  const int rc = libpff_file_get_item_by_identifier(file->get(), identifier, &item, &error);
  if (rc == 0)
    return nullptr;
  if (rc != 1) {
    libpff_error_free(&error);
    return nullptr;  // an identifier that leads nowhere is the same as none
  }
  return std::make_unique<Item>(file, item, inherited);
}

}  // namespace tarnvex::standin::pff

namespace tarnvex::standin::store {

// libpff reads what the native reader does not take.
std::shared_ptr<File> OpenWithFallback(const std::string& path, const std::string&,
                                       std::shared_ptr<const TextDecoding> decoding) {
  return pff::File::Open(path, std::move(decoding));
}

}  // namespace tarnvex::standin::store
