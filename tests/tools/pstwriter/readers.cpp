#include "tests/tools/pstwriter/readers.h"

#include "text/utf.h"
#include "tools/pstwriter/pst_writer.h"

#include <libpff.h>
#include <libpst/libpst.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <stdexcept>

namespace tarnvex::pstwriter::testing {

namespace {

std::string Hex(const std::uint8_t* data, std::size_t size) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (std::size_t i = 0; i < size; ++i) {
    out += digits[data[i] >> 4];
    out += digits[data[i] & 0xF];
  }
  return out;
}

std::string Join(const std::vector<std::string>& parts) {
  std::string out;
  for (std::size_t i = 0; i < parts.size(); ++i)
    out += (i ? " | " : "") + parts[i];
  return out;
}

std::string GuidText(const std::uint8_t* bytes) {
  Guid g;
  std::copy(bytes, bytes + 16, g.bytes.begin());
  return g.ToString();
}

std::string FromUtf16(const std::string& raw) {
  return text::Utf16LeToUtf8(reinterpret_cast<const std::uint8_t*>(raw.data()), raw.size());
}

std::uint32_t Le32(const std::string& raw, std::size_t at) {
  std::uint32_t v = 0;
  for (int k = 3; k >= 0; --k)
    v = (v << 8) | static_cast<std::uint8_t>(raw[at + k]);
  return v;
}

// A multi-valued property from its stored form: 32-bit values one after another, or for
// strings and binaries a count, that many offsets, then the values.
std::string MultiValue(std::uint32_t type, const std::string& raw) {
  std::vector<std::string> parts;
  if (type == 0x1003) {
    for (std::size_t i = 0; i + 4 <= raw.size(); i += 4) {
      parts.push_back(std::to_string(static_cast<std::int32_t>(Le32(raw, i))));
    }
    return Join(parts);
  }
  if (raw.size() < 4)
    return "(too short)";
  const std::uint32_t count = Le32(raw, 0);
  if (4 + 4ull * count > raw.size())
    return "(bad count)";
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint32_t start = Le32(raw, 4 + 4 * i);
    const std::uint32_t end =
        i + 1 < count ? Le32(raw, 8 + 4 * i) : static_cast<std::uint32_t>(raw.size());
    if (start > end || end > raw.size())
      return "(bad offset)";
    const std::string item = raw.substr(start, end - start);
    parts.push_back(type == 0x101F
                        ? FromUtf16(item)
                        : Hex(reinterpret_cast<const std::uint8_t*>(item.data()), item.size()));
  }
  return Join(parts);
}

std::string Path(const std::string& parent, const std::string& name) {
  return parent.empty() ? name : parent + "/" + name;
}

// --- libpff ---

struct PffError {
  libpff_error_t* error = nullptr;
  ~PffError() { libpff_error_free(&error); }
  [[noreturn]] void Throw(const std::string& what) {
    char text[2048] = "";
    if (error)
      libpff_error_sprint(error, text, sizeof text);
    throw std::runtime_error("libpff: " + what + ": " + text);
  }
};

struct PffItem {
  libpff_item_t* item = nullptr;
  PffItem() = default;
  PffItem(const PffItem&) = delete;
  ~PffItem() { libpff_item_free(&item, nullptr); }
};

class PffReader {
 public:
  explicit PffReader(const std::string& path, std::size_t every) : every_(every) {
    PffError e;
    if (libpff_file_initialize(&file_, &e.error) != 1)
      e.Throw("initialize");
    if (libpff_file_open(file_, path.c_str(), LIBPFF_OPEN_READ, &e.error) != 1) {
      e.Throw("open " + path);
    }
  }
  ~PffReader() {
    libpff_file_close(file_, nullptr);
    libpff_file_free(&file_, nullptr);
  }

  SeenStore Read() {
    SeenStore s;
    PffItem store;
    PffError e;
    if (libpff_file_get_message_store(file_, &store.item, &e.error) != 1)
      e.Throw("message store");
    s.storeName = String(store.item, 0x3001);
    if (libpff_record_entry_t* password = Entry(store.item, 0, 0x67FF)) {
      s.passwordChecksum = ValueOf(password);
      libpff_record_entry_free(&password, nullptr);
    }
    const std::uint32_t subtree = EntryNid(store.item, 0x35E0);
    PffItem root;
    if (libpff_file_get_root_folder(file_, &root.item, &e.error) != 1)
      e.Throw("root folder");
    int count = 0;
    libpff_folder_get_number_of_sub_folders(root.item, &count, nullptr);
    for (int i = 0; i < count; ++i) {
      PffItem sub;
      if (libpff_folder_get_sub_folder(root.item, i, &sub.item, &e.error) != 1)
        e.Throw("sub folder");
      std::uint32_t id = 0;
      libpff_item_get_identifier(sub.item, &id, nullptr);
      if (id == subtree) {
        s.ipmSubtreeName = String(sub.item, 0x3001);
        ReadFolder(sub.item, "", s.folders);
      }
    }
    s.defaultContactsPath = PathOf(EntryNid(store.item, 0x36D1));
    s.rootContactsPath = PathOf(EntryNid(root.item, 0x36D1));
    for (const auto& [nid, path] : paths_) {
      if (path == "Inbox") {
        PffItem inbox;
        if (libpff_file_get_item_by_identifier(file_, nid, &inbox.item, nullptr) == 1) {
          s.inboxContactsPath = PathOf(EntryNid(inbox.item, 0x36D1));
        }
      }
    }
    return s;
  }

 private:
  std::string PathOf(std::uint32_t nid) const {
    auto it = paths_.find(nid);
    return it == paths_.end() ? "(none)" : it->second;
  }

  static libpff_record_entry_t* Entry(libpff_item_t* item, int set, std::uint32_t id) {
    libpff_record_set_t* rs = nullptr;
    if (libpff_item_get_record_set_by_index(item, set, &rs, nullptr) != 1)
      return nullptr;
    libpff_record_entry_t* entry = nullptr;
    const int found = libpff_record_set_get_entry_by_type(
        rs, id, 0, &entry, LIBPFF_ENTRY_VALUE_FLAG_MATCH_ANY_VALUE_TYPE, nullptr);
    libpff_record_set_free(&rs, nullptr);
    return found == 1 ? entry : nullptr;
  }

  static std::string String(libpff_item_t* item, std::uint32_t id, int set = 0) {
    libpff_record_entry_t* entry = Entry(item, set, id);
    if (!entry)
      return "";
    std::string out = EntryString(entry);
    libpff_record_entry_free(&entry, nullptr);
    return out;
  }

  // Strings from their raw UTF-16LE bytes: this libpff's own UTF-8 conversion mangles
  // characters outside the Basic Multilingual Plane.
  static std::string EntryString(libpff_record_entry_t* entry) {
    std::uint32_t type = 0;
    libpff_record_entry_get_value_type(entry, &type, nullptr);
    const std::string raw = EntryBytes(entry);
    if (type == 0x001E)
      return raw.substr(0, raw.find('\0'));
    return FromUtf16(raw);
  }

  static std::string EntryBytes(libpff_record_entry_t* entry) {
    std::size_t size = 0;
    libpff_record_entry_get_data_size(entry, &size, nullptr);
    std::string s(size, '\0');
    if (size) {
      libpff_record_entry_get_data(entry, reinterpret_cast<std::uint8_t*>(s.data()), size, nullptr);
    }
    return s;
  }

  static std::uint32_t EntryNid(libpff_item_t* item, std::uint32_t id) {
    libpff_record_entry_t* entry = Entry(item, 0, id);
    if (!entry)
      return 0;
    const std::string b = EntryBytes(entry);
    libpff_record_entry_free(&entry, nullptr);
    if (b.size() < 24)
      return 0;
    std::uint32_t nid;
    std::memcpy(&nid, b.data() + 20, 4);
    return nid;
  }

  static std::string KeyOf(libpff_record_entry_t* entry) {
    std::uint32_t type = 0;
    libpff_record_entry_get_entry_type(entry, &type, nullptr);
    libpff_name_to_id_map_entry_t* named = nullptr;
    char buf[16];
    if (type >= 0x8000 &&
        libpff_record_entry_get_name_to_id_map_entry(entry, &named, nullptr) == 1 && named) {
      std::uint8_t guid[16];
      libpff_name_to_id_map_entry_get_guid(named, guid, 16, nullptr);
      std::uint8_t kind = 0;
      libpff_name_to_id_map_entry_get_type(named, &kind, nullptr);
      std::string key = GuidText(guid) + ":";
      if (kind == LIBPFF_NAME_TO_ID_MAP_ENTRY_TYPE_NUMERIC) {
        std::uint32_t number = 0;
        libpff_name_to_id_map_entry_get_number(named, &number, nullptr);
        std::snprintf(buf, sizeof buf, "0x%04X", number);
        key += buf;
      } else {
        std::size_t size = 0;
        libpff_name_to_id_map_entry_get_utf8_string_size(named, &size, nullptr);
        std::string name(size, '\0');
        libpff_name_to_id_map_entry_get_utf8_string(
            named, reinterpret_cast<std::uint8_t*>(name.data()), size, nullptr);
        if (size)
          name.resize(size - 1);
        key += name;
      }
      return key;
    }
    std::snprintf(buf, sizeof buf, "0x%04X", type);
    return buf;
  }

  static std::string ValueOf(libpff_record_entry_t* entry) {
    std::uint32_t type = 0;
    libpff_record_entry_get_value_type(entry, &type, nullptr);
    switch (type) {
      case 0x0002: {
        std::uint16_t v = 0;
        libpff_record_entry_get_data_as_16bit_integer(entry, &v, nullptr);
        return std::to_string(static_cast<std::int16_t>(v));
      }
      case 0x0003: {
        std::uint32_t v = 0;
        libpff_record_entry_get_data_as_32bit_integer(entry, &v, nullptr);
        return std::to_string(static_cast<std::int32_t>(v));
      }
      case 0x000B: {
        std::uint8_t v = 0;
        libpff_record_entry_get_data_as_boolean(entry, &v, nullptr);
        return v ? "true" : "false";
      }
      case 0x0014: {
        std::uint64_t v = 0;
        libpff_record_entry_get_data_as_64bit_integer(entry, &v, nullptr);
        return std::to_string(static_cast<std::int64_t>(v));
      }
      case 0x0040: {
        std::uint64_t v = 0;
        libpff_record_entry_get_data_as_filetime(entry, &v, nullptr);
        return std::to_string(static_cast<std::int64_t>(v));
      }
      case 0x0005: {
        double v = 0;
        libpff_record_entry_get_data_as_floating_point(entry, &v, nullptr);
        return std::to_string(v);
      }
      case 0x001E:
      case 0x001F:
        return EntryString(entry);
      case 0x1003:
      case 0x101E:
      case 0x101F:
      case 0x1102:
        // Parsed from the raw value: this libpff's multi-value functions report no values for
        // multi-valued strings and binaries.
        return MultiValue(type, EntryBytes(entry));
      default: {
        const std::string b = EntryBytes(entry);
        return Hex(reinterpret_cast<const std::uint8_t*>(b.data()), b.size());
      }
    }
  }

  static std::map<std::string, std::string> Properties(libpff_item_t* item) {
    std::map<std::string, std::string> out;
    libpff_record_set_t* rs = nullptr;
    if (libpff_item_get_record_set_by_index(item, 0, &rs, nullptr) != 1)
      return out;
    int n = 0;
    libpff_record_set_get_number_of_entries(rs, &n, nullptr);
    for (int i = 0; i < n; ++i) {
      libpff_record_entry_t* entry = nullptr;
      if (libpff_record_set_get_entry_by_index(rs, i, &entry, nullptr) != 1)
        continue;
      out[KeyOf(entry)] = ValueOf(entry);
      libpff_record_entry_free(&entry, nullptr);
    }
    libpff_record_set_free(&rs, nullptr);
    return out;
  }

  // Rows of a table node and the given column of each.
  std::size_t TableRows(std::uint32_t nid, std::vector<std::string>* classes) {
    PffItem table;
    if (libpff_file_get_item_by_identifier(file_, nid, &table.item, nullptr) != 1)
      return 0;
    int sets = 0;
    libpff_item_get_number_of_record_sets(table.item, &sets, nullptr);
    if (classes) {
      for (int i = 0; i < sets; ++i)
        classes->push_back(String(table.item, 0x001A, i));
    }
    return static_cast<std::size_t>(sets);
  }

  void ReadFolder(libpff_item_t* folder, const std::string& path, SeenFolders& out) {
    std::uint32_t nid = 0;
    libpff_item_get_identifier(folder, &nid, nullptr);
    paths_[nid] = path;
    SeenFolder& f = out[path];
    f.containerClass = String(folder, 0x3613);
    f.hidden = String(folder, 0x10F4) == "true";
    {
      libpff_record_entry_t* hidden = Entry(folder, 0, 0x10F4);
      if (hidden) {
        std::uint8_t v = 0;
        libpff_record_entry_get_data_as_boolean(hidden, &v, nullptr);
        f.hidden = v != 0;
        libpff_record_entry_free(&hidden, nullptr);
      }
    }
    f.contentsTableRows = TableRows((nid & ~0x1Fu) | 0x0E, &f.contentsTableClasses);
    f.hierarchyTableRows = TableRows((nid & ~0x1Fu) | 0x0D, nullptr);
    f.associatedTableRows = TableRows((nid & ~0x1Fu) | 0x0F, nullptr);
    PffError e;
    int messages = 0;
    libpff_folder_get_number_of_sub_messages(folder, &messages, nullptr);
    for (int i = 0; i < messages; ++i) {
      PffItem m;
      if (libpff_folder_get_sub_message(folder, i, &m.item, &e.error) != 1)
        e.Throw("message");
      SeenItem& item = f.items.emplace_back();
      item.messageClass = String(m.item, 0x001A);
      if (every_ && i % every_ == 0)
        ReadMessage(m.item, item);
    }
    int associated = 0;
    libpff_folder_get_number_of_sub_associated_contents(folder, &associated, nullptr);
    f.associated = static_cast<std::size_t>(associated);
    int subs = 0;
    libpff_folder_get_number_of_sub_folders(folder, &subs, nullptr);
    for (int i = 0; i < subs; ++i) {
      PffItem sub;
      if (libpff_folder_get_sub_folder(folder, i, &sub.item, &e.error) != 1)
        e.Throw("sub folder");
      ReadFolder(sub.item, Path(path, String(sub.item, 0x3001)), out);
    }
  }

  void ReadMessage(libpff_item_t* m, SeenItem& item) {
    item.props = Properties(m);
    item.props.erase("0x001A");
    int attachments = 0;
    libpff_message_get_number_of_attachments(m, &attachments, nullptr);
    for (int i = 0; i < attachments; ++i) {
      PffItem a;
      if (libpff_message_get_attachment(m, i, &a.item, nullptr) != 1)
        continue;
      SeenAttachment& att = item.attachments.emplace_back();
      att.props = Properties(a.item);
      size64_t size = 0;
      if (libpff_attachment_get_data_size(a.item, &size, nullptr) == 1 && size > 0) {
        att.data.resize(size);
        libpff_attachment_data_seek_offset(a.item, 0, SEEK_SET, nullptr);
        libpff_attachment_data_read_buffer(a.item, reinterpret_cast<std::uint8_t*>(att.data.data()),
                                           size, nullptr);
      }
    }
    PffItem recipients;
    if (libpff_message_get_recipients(m, &recipients.item, nullptr) == 1 && recipients.item) {
      int rows = 0;
      libpff_item_get_number_of_record_sets(recipients.item, &rows, nullptr);
      for (int i = 0; i < rows; ++i) {
        item.recipients.push_back(String(recipients.item, 0x3001, i) + " <" +
                                  String(recipients.item, 0x3003, i) + ">");
      }
    }
  }

  libpff_file_t* file_ = nullptr;
  std::size_t every_;
  std::map<std::uint32_t, std::string> paths_;
};

// --- libpst ---

class PstReader {
 public:
  PstReader(const std::string& path, std::size_t every) : every_(every) {
    if (pst_open(&pf_, path.c_str(), nullptr) != 0)
      throw std::runtime_error("libpst: cannot open " + path);
    opened_ = true;
    if (pst_load_index(&pf_) != 0)
      throw std::runtime_error("libpst: cannot load the index of " + path);
    pst_load_extended_attributes(&pf_);
  }
  ~PstReader() {
    if (opened_)
      pst_close(&pf_);
  }

  SeenStore Read() {
    SeenStore s;
    pst_item* root = pst_parse_item(&pf_, pf_.d_head, nullptr);
    if (!root)
      throw std::runtime_error("libpst: no message store");
    s.storeName = Text(root, root->file_as);
    pst_desc_tree* top = pst_getTopOfFolders(&pf_, root);
    pst_freeItem(root);
    if (!top)
      throw std::runtime_error("libpst: no top of folders");
    pst_item* topItem = pst_parse_item(&pf_, top, nullptr);
    if (topItem) {
      s.ipmSubtreeName = Text(topItem, topItem->file_as);
      pst_freeItem(topItem);
    }
    s.folders[""];
    Walk(top, "", s.folders);
    return s;
  }

 private:
  static std::string Text(pst_item* item, pst_string& str) {
    if (!str.str)
      return "";
    pst_convert_utf8(item, &str);
    return str.str;
  }

  void Walk(pst_desc_tree* folder, const std::string& path, SeenFolders& out) {
    for (pst_desc_tree* d = folder->child; d; d = d->next) {
      pst_item* item = pst_parse_item(&pf_, d, nullptr);
      if (!item)
        continue;
      if (item->folder) {
        const std::string sub = Path(path, Text(item, item->file_as));
        SeenFolder& f = out[sub];
        f.containerClass = item->ascii_type ? item->ascii_type : "";
        pst_freeItem(item);
        Walk(d, sub, out);
        continue;
      }
      if (item->flags & 0x40) {  // MSGFLAG_ASSOCIATED: a hidden item of the folder
        ++out[path].associated;
        pst_freeItem(item);
        continue;
      }
      SeenItem& seen = out[path].items.emplace_back();
      seen.messageClass = item->ascii_type ? item->ascii_type : "";
      if (every_ && (out[path].items.size() - 1) % every_ == 0) {
        Fields(item, seen);
      }
      pst_freeItem(item);
    }
  }

  void Fields(pst_item* item, SeenItem& seen) {
    const std::string address = kPsetidAddress.ToString();
    auto put = [&](const std::string& key, pst_string& s) {
      if (s.str)
        seen.props[key] = Text(item, s);
    };
    put("0x3001", item->file_as);
    put("0x0037", item->subject);
    put("0x1000", item->body);
    // libpst fills its contact fields from recipient rows as well: read them on contacts only.
    if (item->contact && seen.messageClass.rfind("IPM.Contact", 0) == 0) {
      pst_item_contact* c = item->contact;
      put(address + ":0x8005", c->fullname);
      put("0x3A06", c->first_name);
      put("0x3A11", c->surname);
      put("0x3A16", c->company_name);
      put("0x3A1C", c->mobile_phone);
      put("0x3A08", c->business_phone);
      put(address + ":0x8083", c->address1);
      put(address + ":0x8093", c->address2);
      put(address + ":0x8046", c->work_address_city);
      if (c->birthday) {
        const std::uint64_t ticks =
            (static_cast<std::uint64_t>(c->birthday->dwHighDateTime) << 32) |
            c->birthday->dwLowDateTime;
        seen.props["0x3A42"] = std::to_string(ticks);
      }
    }
    std::vector<pst_item_attach*> attachments;
    for (pst_item_attach* a = item->attach; a; a = a->next) {
      // libpst adds an empty attachment for every recipient row (its delivery-report
      // handling): those have no method.
      if (a->method != 0)
        attachments.push_back(a);
    }
    for (pst_item_attach* a : attachments) {
      SeenAttachment& att = seen.attachments.emplace_back();
      if (a->filename1.str)
        att.props["0x3704"] = Text(item, a->filename1);
      if (a->filename2.str)
        att.props["0x3707"] = Text(item, a->filename2);
      pst_binary data = pst_attach_to_mem(&pf_, a);
      if (data.data) {
        att.data.assign(data.data, data.size);
        free(data.data);
      } else if (a->data.data) {
        att.data.assign(a->data.data, a->data.size);
      }
    }
  }

  pst_file pf_{};
  bool opened_ = false;
  std::size_t every_;
};

void Collect(const Folder& f, const std::string& path, SeenStore& s, std::size_t every) {
  SeenFolder& seen = s.folders[path];
  seen.containerClass = f.containerClass;
  seen.hidden = f.hidden;
  seen.associated = f.associated.size();
  seen.contentsTableRows = f.messages.size();
  seen.hierarchyTableRows = f.subfolders.size();
  seen.associatedTableRows = f.associated.size();
  if (f.role == FolderRole::kContacts)
    s.defaultContactsPath = path;
  for (const Message& m : f.messages) {
    SeenItem& item = seen.items.emplace_back();
    item.messageClass = m.messageClass;
    seen.contentsTableClasses.push_back(m.messageClass);
    if (every == 0 || (seen.items.size() - 1) % every != 0)
      continue;
    for (const Property& p : m.props.all()) {
      const std::string key = PropKeyText(p.key);
      if (key != "0x001A")
        item.props[key] = ValueText(p.value);
    }
    for (const Attachment& a : m.attachments) {
      SeenAttachment& att = item.attachments.emplace_back();
      for (const Property& p : a.props.all())
        att.props[PropKeyText(p.key)] = ValueText(p.value);
      if (const Value* data = a.props.Find(PropKey::Tag(0x3701))) {
        att.data.assign(data->AsBinary().begin(), data->AsBinary().end());
      }
    }
    for (const Recipient& r : m.recipients) {
      item.recipients.push_back(r.displayName + " <" + r.emailAddress + ">");
    }
  }
  for (const Folder& sub : f.subfolders)
    Collect(sub, Path(path, sub.displayName), s, every);
}

}  // namespace

std::string PropKeyText(const PropKey& key) {
  char buf[16];
  if (!key.IsNamed()) {
    std::snprintf(buf, sizeof buf, "0x%04X", std::get<std::uint16_t>(key.key));
    return buf;
  }
  const PropName& name = std::get<PropName>(key.key);
  if (const auto* lid = std::get_if<std::uint32_t>(&name.name)) {
    std::snprintf(buf, sizeof buf, "0x%04X", *lid);
    return name.set.ToString() + ":" + buf;
  }
  return name.set.ToString() + ":" + std::get<std::string>(name.name);
}

std::string ValueText(const Value& v) {
  switch (v.type()) {
    case PropType::kBoolean:
      return v.AsBoolean() ? "true" : "false";
    case PropType::kDouble:
      return std::to_string(v.AsDouble());
    case PropType::kString:
      return v.AsString();
    case PropType::kString8:  // the bytes as stored, up to a NUL
      return v.AsString().substr(0, v.AsString().find('\0'));
    case PropType::kMultiString8: {
      std::vector<std::string> parts;
      for (const std::string& s : v.AsMultiString())
        parts.push_back(Hex(reinterpret_cast<const std::uint8_t*>(s.data()), s.size()));
      return Join(parts);
    }
    case PropType::kBinary:
    case PropType::kGuid:
      return Hex(v.AsBinary().data(), v.AsBinary().size());
    case PropType::kMultiString:
      return Join(v.AsMultiString());
    case PropType::kMultiBinary: {
      std::vector<std::string> parts;
      for (const Bytes& b : v.AsMultiBinary())
        parts.push_back(Hex(b.data(), b.size()));
      return Join(parts);
    }
    case PropType::kMultiInt32: {
      std::vector<std::string> parts;
      for (std::int32_t i : v.AsMultiInt32())
        parts.push_back(std::to_string(i));
      return Join(parts);
    }
    default:
      return std::to_string(v.AsInteger());
  }
}

SeenStore Expected(const Store& store, std::size_t every) {
  SeenStore s;
  s.storeName = store.displayName;
  s.ipmSubtreeName = store.ipmSubtree.displayName;
  s.defaultContactsPath = "(none)";
  if (!store.password.empty()) {
    s.passwordChecksum =
        std::to_string(static_cast<std::int32_t>(PstPasswordChecksum(store.password)));
  }
  Collect(store.ipmSubtree, "", s, every);
  s.rootContactsPath = s.defaultContactsPath;
  s.inboxContactsPath = store.ipmSubtree.FindRole(FolderRole::kInbox) ? s.defaultContactsPath : "";
  return s;
}

SeenStore ReadWithLibpff(const std::string& path, std::size_t every) {
  return PffReader(path, every).Read();
}

SeenStore ReadWithLibpst(const std::string& path, std::size_t every) {
  return PstReader(path, every).Read();
}

}  // namespace tarnvex::pstwriter::testing
