#include "tools/pstwriter/store_model.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

#include "platform/failure.h"
#include "tools/pstwriter/property_names.h"

namespace tarnvex::pstwriter {

std::optional<StoreFormat> StoreFormatNamed(std::string_view name) {
  if (name == "unicode")
    return StoreFormat::kUnicode;
  if (name == "ansi")
    return StoreFormat::kAnsi;
  if (name == "ost")
    return StoreFormat::kOst;
  if (name == "ost2013")
    return StoreFormat::kOst2013;
  return std::nullopt;
}

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

[[noreturn]] void WrongType(const char* wanted) {
  throw Failure(std::string("Property value is not ") + wanted + ".");
}

}  // namespace

const Guid kPsMapi = Guid::Of(mapi::kPsMapi);
const Guid kPsPublicStrings = Guid::Of(mapi::kPsPublicStrings);
const Guid kPsetidAddress = Guid::Of(mapi::kPsetidAddress);
const Guid kPsetidCommon = Guid::Of(mapi::kPsetidCommon);
const Guid kPsetidAppointment = Guid::Of(mapi::kPsetidAppointment);
const Guid kPsetidTask = Guid::Of(mapi::kPsetidTask);

Guid Guid::Of(const mapi::GuidBytes& bytes) {
  Guid guid;
  std::copy(std::begin(bytes), std::end(bytes), guid.bytes.begin());
  return guid;
}

Guid Guid::Parse(std::string_view text) {
  std::string hex;
  for (char c : text) {
    if (c == '{' || c == '}' || c == '-')
      continue;
    if (HexDigit(c) < 0)
      throw Failure("Not a GUID: \"" + std::string(text) + "\".");
    hex += c;
  }
  if (hex.size() != 32)
    throw Failure("Not a GUID: \"" + std::string(text) + "\".");
  std::array<std::uint8_t, 16> big{};
  for (int i = 0; i < 16; ++i)
    big[i] = HexDigit(hex[2 * i]) * 16 + HexDigit(hex[2 * i + 1]);
  Guid g;
  // Data1 (4), Data2 (2), Data3 (2) are little-endian on disk; Data4 keeps its order.
  const int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
  for (int i = 0; i < 16; ++i)
    g.bytes[i] = big[order[i]];
  return g;
}

std::string Guid::ToString() const {
  const int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
  std::string out = "{";
  char buf[3];
  for (int i = 0; i < 16; ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10)
      out += '-';
    std::snprintf(buf, sizeof buf, "%02X", bytes[order[i]]);
    out += buf;
  }
  return out + "}";
}

FileTime FileTime::FromUnix(std::int64_t seconds) {
  // 11644473600 s lie between 1601-01-01 and 1970-01-01.
  return FileTime{static_cast<std::uint64_t>((seconds + 11644473600LL) * 10000000LL)};
}

Value Value::Int16(std::int16_t v) {
  return Value(PropType::kInt16, std::int64_t{v});
}
Value Value::Int32(std::int32_t v) {
  return Value(PropType::kInt32, std::int64_t{v});
}
Value Value::Int64(std::int64_t v) {
  return Value(PropType::kInt64, v);
}
Value Value::Double(double v) {
  return Value(PropType::kDouble, v);
}
Value Value::Boolean(bool v) {
  return Value(PropType::kBoolean, std::int64_t{v ? 1 : 0});
}
Value Value::Time(FileTime v) {
  return Value(PropType::kTime, static_cast<std::int64_t>(v.ticks));
}
Value Value::String(std::string utf8) {
  return Value(PropType::kString, std::move(utf8));
}
Value Value::String8(std::string bytes) {
  return Value(PropType::kString8, std::move(bytes));
}
Value Value::MultiString8(std::vector<std::string> bytes) {
  return Value(PropType::kMultiString8, std::move(bytes));
}
Value Value::Binary(Bytes bytes) {
  return Value(PropType::kBinary, std::move(bytes));
}
Value Value::GuidValue(const Guid& guid) {
  return Value(PropType::kGuid, Bytes(guid.bytes.begin(), guid.bytes.end()));
}
Value Value::MultiInt32(std::vector<std::int32_t> values) {
  return Value(PropType::kMultiInt32, std::move(values));
}
Value Value::MultiString(std::vector<std::string> utf8) {
  return Value(PropType::kMultiString, std::move(utf8));
}
Value Value::MultiBinary(std::vector<Bytes> values) {
  return Value(PropType::kMultiBinary, std::move(values));
}

std::int64_t Value::AsInteger() const {
  if (auto* v = std::get_if<std::int64_t>(&payload_))
    return *v;
  WrongType("an integer");
}
double Value::AsDouble() const {
  if (auto* v = std::get_if<double>(&payload_))
    return *v;
  WrongType("a floating-point number");
}
bool Value::AsBoolean() const {
  if (type_ != PropType::kBoolean)
    WrongType("a boolean");
  return std::get<std::int64_t>(payload_) != 0;
}
FileTime Value::AsTime() const {
  if (type_ != PropType::kTime)
    WrongType("a time");
  return FileTime{static_cast<std::uint64_t>(std::get<std::int64_t>(payload_))};
}
const std::string& Value::AsString() const {
  if (auto* v = std::get_if<std::string>(&payload_))
    return *v;
  WrongType("a string");
}
const Bytes& Value::AsBinary() const {
  if (auto* v = std::get_if<Bytes>(&payload_))
    return *v;
  WrongType("binary");
}
const std::vector<std::string>& Value::AsMultiString() const {
  if (auto* v = std::get_if<std::vector<std::string>>(&payload_))
    return *v;
  WrongType("a list of strings");
}
const std::vector<Bytes>& Value::AsMultiBinary() const {
  if (auto* v = std::get_if<std::vector<Bytes>>(&payload_))
    return *v;
  WrongType("a list of binaries");
}
const std::vector<std::int32_t>& Value::AsMultiInt32() const {
  if (auto* v = std::get_if<std::vector<std::int32_t>>(&payload_))
    return *v;
  WrongType("a list of integers");
}

void PropertyBag::Set(const PropKey& key, Value value) {
  if (props_.empty())
    props_.reserve(24);
  for (auto& p : props_) {
    if (p.key == key) {
      p.value = std::move(value);
      return;
    }
  }
  props_.push_back(Property{key, std::move(value)});
}

void PropertyBag::Set(std::string_view canonicalName, Value value) {
  auto def = LookupPropertyName(canonicalName);
  if (!def)
    throw Failure("Unknown property name \"" + std::string(canonicalName) + "\".");
  if (value.type() != def->type) {
    // Integers of another width are accepted for integer properties.
    const bool integer = value.type() == PropType::kInt16 || value.type() == PropType::kInt32 ||
                         value.type() == PropType::kInt64;
    if (integer && def->type == PropType::kInt16) {
      value = Value::Int16(static_cast<std::int16_t>(value.AsInteger()));
    } else if (integer && def->type == PropType::kInt32) {
      value = Value::Int32(static_cast<std::int32_t>(value.AsInteger()));
    } else if (integer && def->type == PropType::kInt64) {
      value = Value::Int64(value.AsInteger());
    } else {
      throw Failure("Property \"" + std::string(canonicalName) + "\" takes another type of value.");
    }
  }
  Set(def->key, std::move(value));
}

const Value* PropertyBag::Find(const PropKey& key) const {
  for (const auto& p : props_) {
    if (p.key == key)
      return &p.value;
  }
  return nullptr;
}

const Value* PropertyBag::Find(std::string_view canonicalName) const {
  auto def = LookupPropertyName(canonicalName);
  return def ? Find(def->key) : nullptr;
}

void PropertyBag::Remove(const PropKey& key) {
  std::erase_if(props_, [&](const Property& p) { return p.key == key; });
}

Attachment Attachment::File(const std::string& fileName, Bytes data) {
  Attachment a;
  std::string extension;
  if (auto dot = fileName.rfind('.'); dot != std::string::npos)
    extension = fileName.substr(dot);
  a.props.Set("PidTagAttachMethod", Value::Int32(1));
  a.props.SetString("PidTagAttachFilename", fileName);
  a.props.SetString("PidTagAttachLongFilename", fileName);
  a.props.SetString("PidTagAttachExtension", extension);
  a.props.Set("PidTagAttachSize", Value::Int32(static_cast<std::int32_t>(data.size())));
  a.props.Set("PidTagAttachDataBinary", Value::Binary(std::move(data)));
  a.props.Set("PidTagRenderingPosition", Value::Int32(-1));
  return a;
}

Attachment Attachment::ContactPhoto(Bytes jpeg) {
  Attachment a = File("ContactPicture.jpg", std::move(jpeg));
  a.props.Set("PidTagAttachmentContactPhoto", Value::Boolean(true));
  a.props.Set("PidTagAttachmentHidden", Value::Boolean(true));
  return a;
}

void Message::SetContactPhoto(Bytes jpeg) {
  std::erase_if(attachments, [](const Attachment& a) {
    const Value* v = a.props.Find("PidTagAttachmentContactPhoto");
    return v && v->AsBoolean();
  });
  attachments.push_back(Attachment::ContactPhoto(std::move(jpeg)));
  props.Set("PidLidHasPicture", Value::Boolean(true));
}

Folder& Folder::AddFolder(std::string name, std::string containerClass) {
  Folder& f = subfolders.emplace_back();
  f.displayName = std::move(name);
  f.containerClass = std::move(containerClass);
  return f;
}

Message& Folder::AddMessage(std::string messageClass) {
  Message& m = messages.emplace_back();
  m.messageClass = std::move(messageClass);
  return m;
}

Folder* Folder::FindFolder(std::string_view name) {
  if (displayName == name)
    return this;
  for (auto& f : subfolders) {
    if (Folder* hit = f.FindFolder(name))
      return hit;
  }
  return nullptr;
}

Folder* Folder::FindRole(FolderRole wanted) {
  return const_cast<Folder*>(static_cast<const Folder*>(this)->FindRole(wanted));
}

const Folder* Folder::FindRole(FolderRole wanted) const {
  if (role == wanted)
    return this;
  for (const auto& f : subfolders) {
    if (const Folder* hit = f.FindRole(wanted))
      return hit;
  }
  return nullptr;
}

Store Store::WithStandardFolders(std::string displayName) {
  Store s;
  s.displayName = std::move(displayName);
  struct Standard {
    const char* name;
    const char* containerClass;
    FolderRole role;
  };
  const Standard standard[] = {
      {"Deleted Items", "IPF.Note", FolderRole::kDeletedItems},
      {"Inbox", "IPF.Note", FolderRole::kInbox},
      {"Outbox", "IPF.Note", FolderRole::kOutbox},
      {"Sent Items", "IPF.Note", FolderRole::kSentItems},
      {"Calendar", "IPF.Appointment", FolderRole::kCalendar},
      {"Contacts", "IPF.Contact", FolderRole::kContacts},
      {"Journal", "IPF.Journal", FolderRole::kJournal},
      {"Notes", "IPF.StickyNote", FolderRole::kNotes},
      {"Tasks", "IPF.Task", FolderRole::kTasks},
      {"Drafts", "IPF.Note", FolderRole::kDrafts},
  };
  for (const auto& st : standard)
    s.ipmSubtree.AddFolder(st.name, st.containerClass).role = st.role;
  return s;
}

}  // namespace tarnvex::pstwriter
