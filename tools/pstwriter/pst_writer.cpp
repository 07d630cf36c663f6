#include "tools/pstwriter/pst_writer.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <unordered_map>

#include "platform/failure.h"
#include "pst/format.h"
#include "text/crc.h"
#include "tools/pstwriter/code_page.h"
#include "tools/pstwriter/ltp_writer.h"
#include "tools/pstwriter/ndb_writer.h"

// The messaging layer: the message store, the name-to-id map, folders with their hierarchy,
// contents and associated-contents tables, messages with recipients and attachments.

namespace tarnvex::pstwriter {

using namespace pst::format;

namespace {

constexpr std::uint32_t kBucketCount = 251;

// Columns of the tables, as full property tags.
const std::vector<std::uint32_t> kHierarchyColumns = {
    0x3001001F,  // PidTagDisplayName
    0x36020003,  // PidTagContentCount
    0x36030003,  // PidTagContentUnreadCount
    0x360A000B,  // PidTagSubfolders
    0x3613001F,  // PidTagContainerClass
};
const std::vector<std::uint32_t> kContentsColumns = {
    0x00170003,  // PidTagImportance
    0x001A001F,  // PidTagMessageClass
    0x00360003,  // PidTagSensitivity
    0x0037001F,  // PidTagSubject
    0x0E060040,  // PidTagMessageDeliveryTime
    0x0E070003,  // PidTagMessageFlags
    0x0E080003,  // PidTagMessageSize
    0x0E170003,  // PidTagMessageStatus
    0x30080040,  // PidTagLastModificationTime
};
const std::vector<std::uint32_t> kRecipientColumns = {
    0x0C150003,  // PidTagRecipientType
    0x0E0F000B,  // PidTagResponsibility
    0x0FFE0003,  // PidTagObjectType
    0x3001001F,  // PidTagDisplayName
    0x3002001F,  // PidTagAddressType
    0x3003001F,  // PidTagEmailAddress
    0x39000003,  // PidTagDisplayType
    0x39FE001F,  // PidTagSmtpAddress
};
const std::vector<std::uint32_t> kAttachmentColumns = {
    0x0E200003,  // PidTagAttachSize
    0x3704001F,  // PidTagAttachFilename
    0x37050003,  // PidTagAttachMethod
    0x3707001F,  // PidTagAttachLongFilename
    0x370B0003,  // PidTagRenderingPosition
};

std::uint64_t ValueSize(const Value& v) {
  switch (v.type()) {
    case PropType::kInt16:
    case PropType::kInt32:
    case PropType::kBoolean:
      return 4;
    case PropType::kInt64:
    case PropType::kTime:
    case PropType::kDouble:
      return 8;
    case PropType::kString:
      return 2 * v.AsString().size();
    case PropType::kString8:
      return v.AsString().size();
    case PropType::kBinary:
    case PropType::kGuid:
      return v.AsBinary().size();
    case PropType::kMultiInt32:
      return 4 * v.AsMultiInt32().size();
    case PropType::kMultiString:
    case PropType::kMultiString8: {
      const std::uint64_t unit = v.type() == PropType::kMultiString ? 2 : 1;
      std::uint64_t n = 4;
      for (const auto& s : v.AsMultiString())
        n += 4 + unit * s.size();
      return n;
    }
    case PropType::kMultiBinary: {
      std::uint64_t n = 4;
      for (const auto& b : v.AsMultiBinary())
        n += 4 + b.size();
      return n;
    }
  }
  return 0;
}

// Assigns property ids 0x8000 and up to named properties, in the order they are first used.
class NameMap {
 public:
  // Readers expect a map with entries: it starts with the contact properties every store has.
  NameMap() {
    for (std::uint32_t lid : {0x8005u, 0x8083u, 0x8015u})
      Add(PropName{kPsetidAddress, lid});
    Add(PropName{kPsPublicStrings, std::string("Keywords")});
  }

  void Collect(const PropertyBag& bag) {
    for (const Property& p : bag.all()) {
      if (p.key.IsNamed()) {
        Add(std::get<PropName>(p.key.key));
      }
    }
  }

  void Add(const PropName& name) {
    if (ids_.count(name)) {
      return;
    }
    if (order_.size() >= 0x7FFF) {
      throw Failure("The store uses too many named properties.");
    }
    ids_.emplace(name, static_cast<std::uint16_t>(0x8000 + order_.size()));
    order_.push_back(name);
  }

  std::uint16_t Id(const PropKey& key) const {
    if (!key.IsNamed())
      return std::get<std::uint16_t>(key.key);
    return ids_.at(std::get<PropName>(key.key));
  }

  // The name-to-id map's property context.
  void Write(PcBuilder& pc) const {
    std::vector<Guid> guids;  // PS_MAPI is 1 and PS_PUBLIC_STRINGS 2; the stream starts at 3
    auto guidIndex = [&](const Guid& g) -> std::uint16_t {
      if (g == kPsMapi)
        return 1;
      if (g == kPsPublicStrings)
        return 2;
      for (std::size_t i = 0; i < guids.size(); ++i) {
        if (guids[i] == g)
          return static_cast<std::uint16_t>(3 + i);
      }
      guids.push_back(g);
      return static_cast<std::uint16_t>(2 + guids.size());
    };
    // PSETID_Address is always in the GUID stream, contacts need it.
    guidIndex(kPsetidAddress);
    Bytes entries, strings;
    std::map<std::uint32_t, Bytes> buckets;
    for (std::size_t i = 0; i < order_.size(); ++i) {
      const PropName& name = order_[i];
      NameId id{};
      const std::uint16_t g = guidIndex(name.set);
      id.wPropIdx = static_cast<std::uint16_t>(i);
      std::uint32_t hashKey = 0;
      if (const auto* lid = std::get_if<std::uint32_t>(&name.name)) {
        id.dwPropertyID = *lid;
        id.wGuidAndKind = static_cast<std::uint16_t>(g << 1);
        hashKey = *lid;
      } else {
        const Bytes utf16 = Utf16Le(std::get<std::string>(name.name));
        id.dwPropertyID = static_cast<std::uint32_t>(strings.size());
        id.wGuidAndKind = static_cast<std::uint16_t>((g << 1) | 1);
        const auto len = static_cast<std::uint32_t>(utf16.size());
        for (int k = 0; k < 4; ++k)
          strings.push_back((len >> (8 * k)) & 0xFF);
        strings.insert(strings.end(), utf16.begin(), utf16.end());
        while (strings.size() % 4)
          strings.push_back(0);
        hashKey = text::Crc32(utf16.data(), utf16.size());
      }
      const auto* raw = reinterpret_cast<const std::uint8_t*>(&id);
      entries.insert(entries.end(), raw, raw + sizeof id);
      Bytes& bucket = buckets[(hashKey ^ id.wGuidAndKind) % kBucketCount];
      bucket.insert(bucket.end(), raw, raw + sizeof id);
    }
    Bytes guidStream;
    for (const Guid& g : guids)
      guidStream.insert(guidStream.end(), g.bytes.begin(), g.bytes.end());
    pc.Add(0x0001, Value::Int32(kBucketCount));  // PidTagNameidBucketCount
    pc.Add(0x0002, Value::Binary(guidStream));   // PidTagNameidStreamGuid
    pc.Add(0x0003, Value::Binary(entries));      // PidTagNameidStreamEntry
    pc.Add(0x0004, Value::Binary(strings));      // PidTagNameidStreamString
    for (auto& [index, bucket] : buckets) {
      pc.Add(static_cast<std::uint16_t>(0x1000 + index), Value::Binary(std::move(bucket)));
    }
  }

 private:
  std::map<PropName, std::uint16_t> ids_;
  std::vector<PropName> order_;
};

const Layout& LayoutOf(StoreFormat format) {
  switch (format) {
    case StoreFormat::kAnsi:
      return kAnsiLayout;
    case StoreFormat::kOst2013:
      return kUnicode4kLayout;
    default:
      return kUnicodeLayout;
  }
}

class StoreWriter {
 public:
  StoreWriter(const Store& store, const std::string& path)
      : store_(store),
        ndb_(path, LayoutOf(store.format),
             store.format == StoreFormat::kOst || store.format == StoreFormat::kOst2013
                 ? kMagicClientOffline
                 : kMagicClient),
        codePage_(store.format == StoreFormat::kAnsi ? store.codePage : 0) {
    next_.fill(0x400);
    next_[kNidTypeNormalMessage] = 0x10000;
    next_[kNidTypeAssocMessage] = 0x8000;
    next_[kNidTypeSearchFolder] = 0x4000;
  }

  WriteStats Run() {
    CollectNames(store_.ipmSubtree);
    searchRoot_.displayName = "Search Root";
    rootModel_.displayName = "";
    folderNids_[&store_.ipmSubtree] = NewNid(kNidTypeNormalFolder);
    folderNids_[&searchRoot_] = NewNid(kNidTypeNormalFolder);
    AssignNids(store_.ipmSubtree);

    WriteMessageStore();
    WriteNameToIdMap();
    WriteTemplates();
    WriteFolder(rootModel_, kNidRootFolder, kNidRootFolder, {&store_.ipmSubtree, &searchRoot_});
    WriteFolder(searchRoot_, folderNids_.at(&searchRoot_), kNidRootFolder, {});
    WriteTree(store_.ipmSubtree, kNidRootFolder);

    WriteStats stats;
    stats.blocks = ndb_.blockCount();
    stats.nodes = ndb_.nodeCount();
    stats.folders = folders_;
    stats.messages = messages_;
    stats.fileSize = ndb_.Finish(next_);
    return stats;
  }

 private:
  std::uint32_t NewNid(std::uint32_t type) { return MakeNid(type, next_[type]++); }

  void CollectNames(const Folder& f) {
    for (const auto* list : {&f.messages, &f.associated}) {
      for (const Message& m : *list) {
        names_.Collect(m.props);
        for (const Attachment& a : m.attachments)
          names_.Collect(a.props);
      }
    }
    for (const Folder& sub : f.subfolders)
      CollectNames(sub);
  }

  void AssignNids(const Folder& f) {
    for (const Folder& sub : f.subfolders) {
      folderNids_[&sub] = NewNid(kNidTypeNormalFolder);
      AssignNids(sub);
    }
  }

  Value EntryId(std::uint32_t nid) const {
    pst::format::EntryId id{};
    std::memcpy(id.uid, store_.recordKey.bytes.data(), 16);
    id.nid = nid;
    const auto* raw = reinterpret_cast<const std::uint8_t*>(&id);
    return Value::Binary(Bytes(raw, raw + sizeof id));
  }

  std::optional<std::uint32_t> RoleNid(FolderRole role) const {
    const Folder* f = store_.ipmSubtree.FindRole(role);
    if (!f)
      return std::nullopt;
    return folderNids_.at(f);
  }

  // The entry ids of the special folders kept on the store, the root folder and the Inbox.
  void AddSpecialFolderIds(PcBuilder& pc) const {
    const std::pair<std::uint16_t, FolderRole> ids[] = {
        {0x36D0, FolderRole::kCalendar},  // PidTagIpmAppointmentEntryId
        {0x36D1, FolderRole::kContacts},  // PidTagIpmContactEntryId
        {0x36D2, FolderRole::kJournal},   // PidTagIpmJournalEntryId
        {0x36D3, FolderRole::kNotes},     // PidTagIpmNoteEntryId
        {0x36D4, FolderRole::kTasks},     // PidTagIpmTaskEntryId
        {0x36D7, FolderRole::kDrafts},    // PidTagIpmDraftsEntryId
    };
    for (const auto& [id, role] : ids) {
      if (auto nid = RoleNid(role))
        pc.Add(id, EntryId(*nid));
    }
  }

  void WriteMessageStore() {
    SubnodeSink sink(ndb_);
    PcBuilder pc(sink, codePage_);
    pc.Add(0x0FF9, Value::Binary(Bytes(store_.recordKey.bytes.begin(),
                                       store_.recordKey.bytes.end())));  // PidTagRecordKey
    pc.Add(0x3001, Value::String(store_.displayName));                   // PidTagDisplayName
    std::int32_t mask = 0x01 | 0x80;  // FOLDER_IPM_SUBTREE_VALID | FOLDER_FINDER_VALID
    pc.Add(0x35E0, EntryId(folderNids_.at(&store_.ipmSubtree)));  // PidTagIpmSubTreeEntryId
    if (auto nid = RoleNid(FolderRole::kOutbox)) {
      pc.Add(0x35E2, EntryId(*nid));  // PidTagIpmOutboxEntryId
      mask |= 0x04;
    }
    if (auto nid = RoleNid(FolderRole::kDeletedItems)) {
      pc.Add(0x35E3, EntryId(*nid));  // PidTagIpmWastebasketEntryId
      mask |= 0x08;
    }
    if (auto nid = RoleNid(FolderRole::kSentItems)) {
      pc.Add(0x35E4, EntryId(*nid));  // PidTagIpmSentMailEntryId
      mask |= 0x10;
    }
    pc.Add(0x35E7, EntryId(folderNids_.at(&searchRoot_)));  // PidTagFinderEntryId
    pc.Add(0x35DF, Value::Int32(mask));                     // PidTagValidFolderMask
    if (!store_.password.empty()) {
      pc.Add(0x67FF, Value::Int32(static_cast<std::int32_t>(
                         PstPasswordChecksum(store_.password))));  // PidTagPstPassword
    }
    AddSpecialFolderIds(pc);
    ndb_.AddNode(kNidMessageStore, ndb_.AddBlocks(pc.Finish()), sink.Finish(), 0);
  }

  void WriteNameToIdMap() {
    SubnodeSink sink(ndb_);
    PcBuilder pc(sink);
    names_.Write(pc);
    ndb_.AddNode(kNidNameToIdMap, ndb_.AddBlocks(pc.Finish()), sink.Finish(), 0);
  }

  void WriteTable(std::uint32_t nid, TcBuilder& tc, SubnodeSink& sink) {
    const std::uint64_t data = ndb_.AddBlocks(tc.Finish());
    ndb_.AddNode(nid, data, sink.Finish(), 0);
  }

  void WriteEmptyTable(std::uint32_t nid, const std::vector<std::uint32_t>& columns) {
    SubnodeSink sink(ndb_);
    TcBuilder tc(sink, columns, codePage_);
    WriteTable(nid, tc, sink);
  }

  void WriteTemplates() {
    WriteEmptyTable(kNidHierarchyTableTemplate, kHierarchyColumns);
    WriteEmptyTable(kNidContentsTableTemplate, kContentsColumns);
    WriteEmptyTable(kNidAssocContentsTableTemplate, kContentsColumns);
    WriteEmptyTable(kNidSearchContentsTableTemplate, kContentsColumns);
    WriteEmptyTable(kNidAttachmentTable, kAttachmentColumns);
    WriteEmptyTable(kNidRecipientTable, kRecipientColumns);
    // The search management queue and the search activity list start empty.
    ndb_.AddNode(kNidSearchManagementQueue, ndb_.AddBlock(nullptr, 0), 0, 0);
    ndb_.AddNode(kNidSearchActivityList, ndb_.AddBlock(nullptr, 0), 0, 0);
  }

  void WriteTree(const Folder& f, std::uint32_t parent) {
    std::vector<const Folder*> children;
    for (const Folder& sub : f.subfolders)
      children.push_back(&sub);
    const std::uint32_t nid = folderNids_.at(&f);
    WriteFolder(f, nid, parent, children);
    for (const Folder& sub : f.subfolders)
      WriteTree(sub, nid);
  }

  void WriteFolder(const Folder& f, std::uint32_t nid, std::uint32_t parent,
                   const std::vector<const Folder*>& children) {
    ++folders_;
    const std::uint32_t index = nid >> 5;

    // Hierarchy table: one row per subfolder.
    {
      SubnodeSink sink(ndb_);
      TcBuilder tc(sink, kHierarchyColumns, codePage_);
      for (const Folder* c : children) {
        const Value name = Value::String(c->displayName);
        const Value count = Value::Int32(static_cast<std::int32_t>(c->messages.size()));
        const Value unread = Value::Int32(0);
        const Value subs = Value::Boolean(!c->subfolders.empty() || c == &store_.ipmSubtree);
        const Value cls = Value::String(c->containerClass);
        tc.AddRow(folderNids_.at(c),
                  {&name, &count, &unread, &subs, c->containerClass.empty() ? nullptr : &cls});
      }
      WriteTable(MakeNid(kNidTypeHierarchyTable, index), tc, sink);
    }
    // Contents and associated contents tables, with the messages themselves.
    WriteMessages(f.messages, nid, MakeNid(kNidTypeContentsTable, index), kNidTypeNormalMessage);
    WriteMessages(f.associated, nid, MakeNid(kNidTypeAssocContentsTable, index),
                  kNidTypeAssocMessage);

    SubnodeSink sink(ndb_);
    PcBuilder pc(sink, codePage_);
    pc.Add(0x3001, Value::String(f.displayName));  // PidTagDisplayName
    pc.Add(0x3602, Value::Int32(static_cast<std::int32_t>(f.messages.size())));    // ContentCount
    pc.Add(0x3603, Value::Int32(0));                                               // Unread
    pc.Add(0x360A, Value::Boolean(!children.empty()));                             // Subfolders
    pc.Add(0x3617, Value::Int32(static_cast<std::int32_t>(f.associated.size())));  // Associated
    if (!f.containerClass.empty())
      pc.Add(0x3613, Value::String(f.containerClass));
    pc.Add(0x10F4, Value::Boolean(f.hidden));  // PidTagAttributeHidden
    if (nid == kNidRootFolder || f.role == FolderRole::kInbox)
      AddSpecialFolderIds(pc);
    ndb_.AddNode(nid, ndb_.AddBlocks(pc.Finish()), sink.Finish(), parent);
  }

  void WriteMessages(const std::list<Message>& messages, std::uint32_t folderNid,
                     std::uint32_t tableNid, std::uint32_t nidType) {
    SubnodeSink tableSink(ndb_);
    TcBuilder table(tableSink, kContentsColumns, codePage_);
    for (const Message& m : messages) {
      const std::uint32_t nid = NewNid(nidType);
      WriteMessage(m, nid, folderNid, nidType == kNidTypeAssocMessage, table);
    }
    WriteTable(tableNid, table, tableSink);
  }

  void WriteMessage(const Message& given, std::uint32_t nid, std::uint32_t parent, bool associated,
                    TcBuilder& table) {
    ++messages_;
    Message narrowed;
    std::uint32_t codePage = 0;
    if (codePage_) {
      narrowed = given;
      codePage = NarrowStrings(narrowed, store_.codePage);
    }
    const Message& m = codePage_ ? narrowed : given;
    SubnodeSink sink(ndb_);
    PcBuilder pc(sink, codePage);
    const Value messageClass = Value::String(m.messageClass);
    const Value defaultTime = Value::Time(FileTime::FromUnix(1704067200));  // 2024-01-01 UTC
    const Value one = Value::Int32(1);
    const Value zero = Value::Int32(0);
    // MSGFLAG_READ, MSGFLAG_HASATTACH, MSGFLAG_ASSOCIATED
    const Value flags =
        Value::Int32(0x01 | (m.attachments.empty() ? 0 : 0x10) | (associated ? 0x40 : 0));
    std::uint64_t size = 0;
    std::unordered_map<std::uint16_t, const Value*> byId;
    for (const Property& p : m.props.all()) {
      const std::uint16_t id = names_.Id(p.key);
      if (id == 0x001A)
        continue;  // the message class comes from Message::messageClass
      pc.Add(id, p.value);
      byId[id] = &p.value;
      size += ValueSize(p.value);
    }
    auto value = [&](std::uint16_t id, const Value* fallback) {
      auto it = byId.find(id);
      if (it != byId.end())
        return it->second;
      if (fallback)
        pc.Add(id, *fallback);
      return fallback;
    };
    pc.Add(0x001A, messageClass);
    const Value* importance = value(0x0017, &one);
    const Value* sensitivity = value(0x0036, &zero);
    const Value* messageFlags = value(0x0E07, &flags);
    const Value* status = value(0x0E17, &zero);
    value(0x3007, &defaultTime);  // PidTagCreationTime
    const Value* modified = value(0x3008, &defaultTime);
    const Value hasAttachments = Value::Boolean(true);
    if (!m.attachments.empty())
      value(0x0E1B, &hasAttachments);  // PidTagHasAttachments
    for (const Attachment& a : m.attachments) {
      for (const Property& p : a.props.all())
        size += ValueSize(p.value);
    }
    const Value sizeValue =
        Value::Int32(static_cast<std::int32_t>(std::min<std::uint64_t>(size, 0x7FFFFFFF)));
    const Value* messageSize = value(0x0E08, &sizeValue);

    // Recipients.
    {
      SubnodeSink tableSink(ndb_);
      TcBuilder recipients(tableSink, kRecipientColumns, codePage);
      std::uint32_t row = 0;
      for (const Recipient& r : m.recipients) {
        const Value type = Value::Int32(r.type);
        const Value responsibility = Value::Boolean(true);
        const Value objectType = Value::Int32(6);  // MAPI_MAILUSER
        // An ANSI store's recipients are in the message's code page already.
        const Value name = codePage ? Value::String8(r.displayName) : Value::String(r.displayName);
        const Value addrType = Value::String("SMTP");
        const Value address =
            codePage ? Value::String8(r.emailAddress) : Value::String(r.emailAddress);
        const Value displayType = Value::Int32(0);  // DT_MAILUSER
        recipients.AddRow(row++, {&type, &responsibility, &objectType, &name, &addrType, &address,
                                  &displayType, &address});
      }
      const std::uint64_t data = ndb_.AddBlocks(recipients.Finish());
      sink.Add(SubnodeEntry{kNidRecipientTable, data, tableSink.Finish()});
    }

    // Attachments: one subnode each, listed in the attachment table.
    if (!m.attachments.empty()) {
      SubnodeSink tableSink(ndb_);
      TcBuilder attachments(tableSink, kAttachmentColumns, codePage);
      std::uint32_t number = 0;
      for (const Attachment& a : m.attachments) {
        const std::uint32_t attNid = MakeNid(kNidTypeAttachment, 0x400 + number);
        SubnodeSink attSink(ndb_);
        PcBuilder attPc(attSink, codePage);
        std::unordered_map<std::uint16_t, const Value*> attById;
        for (const Property& p : a.props.all()) {
          const std::uint16_t id = names_.Id(p.key);
          attPc.Add(id, p.value);
          attById[id] = &p.value;
        }
        const Value attNumber = Value::Int32(static_cast<std::int32_t>(number));
        const Value method = Value::Int32(1);  // ATTACH_BY_VALUE
        const Value renderingPosition = Value::Int32(-1);
        auto attValue = [&](std::uint16_t id, const Value* fallback) {
          auto it = attById.find(id);
          if (it != attById.end())
            return it->second;
          if (fallback)
            attPc.Add(id, *fallback);
          return fallback;
        };
        std::uint64_t attSize = 0;
        for (const Property& p : a.props.all())
          attSize += ValueSize(p.value);
        const Value sizeOfAtt = Value::Int32(static_cast<std::int32_t>(attSize));
        attValue(0x0E21, &attNumber);  // PidTagAttachNumber
        const Value* attSizeValue = attValue(0x0E20, &sizeOfAtt);
        const Value* attMethod = attValue(0x3705, &method);
        const Value* rendering = attValue(0x370B, &renderingPosition);
        const Value* fileName = attValue(0x3704, nullptr);
        const Value* longName = attValue(0x3707, nullptr);
        const std::uint64_t data = ndb_.AddBlocks(attPc.Finish());
        sink.Add(SubnodeEntry{attNid, data, attSink.Finish()});
        attachments.AddRow(attNid, {attSizeValue, fileName, attMethod, longName, rendering});
        ++number;
      }
      const std::uint64_t data = ndb_.AddBlocks(attachments.Finish());
      sink.Add(SubnodeEntry{kNidAttachmentTable, data, tableSink.Finish()});
    }

    const std::uint64_t data = ndb_.AddBlocks(pc.Finish());
    ndb_.AddNode(nid, data, sink.Finish(), parent);

    auto find = [&](std::uint16_t id) -> const Value* {
      auto it = byId.find(id);
      return it == byId.end() ? nullptr : it->second;
    };
    table.AddRow(nid, {importance, &messageClass, sensitivity, find(0x0037), find(0x0E06),
                       messageFlags, messageSize, status, modified});
  }

  const Store& store_;
  NdbWriter ndb_;
  std::uint32_t codePage_;  // an ANSI store's code page; 0 for a Unicode store
  NameMap names_;
  std::array<std::uint32_t, 32> next_{};
  std::map<const Folder*, std::uint32_t> folderNids_;
  Folder rootModel_;
  Folder searchRoot_;
  std::uint64_t folders_ = 0;
  std::uint64_t messages_ = 0;
};

}  // namespace

std::uint32_t NarrowStrings(Message& m, std::uint32_t storeCodePage) {
  constexpr std::uint16_t kTagMessageCodepage = 0x3FFD;  // PidTagMessageCodepage
  constexpr std::uint32_t kCodePageUtf8 = 65001;
  const Value* recorded = m.props.Find(PropKey::Tag(kTagMessageCodepage));
  const bool records = recorded && recorded->type() == PropType::kInt32 && recorded->AsInteger();
  const std::uint32_t codePage =
      records ? static_cast<std::uint32_t>(recorded->AsInteger()) : storeCodePage;
  auto encode = [&](std::uint32_t cp) {
    EncodeStrings(m.props, cp);
    for (Attachment& a : m.attachments)
      EncodeStrings(a.props, cp);
    for (Recipient& r : m.recipients) {
      r.displayName = EncodeInCodePage(r.displayName, cp);
      r.emailAddress = EncodeInCodePage(r.emailAddress, cp);
    }
  };
  bool unicode = false;
  for (const Property& p : m.props.all())
    unicode =
        unicode || p.value.type() == PropType::kString || p.value.type() == PropType::kMultiString;
  const Message original = m;
  try {
    encode(codePage);
    // Text the writer encoded says in which code page, as Outlook's messages do.
    if (unicode && !records)
      m.props.Set(kTagMessageCodepage, Value::Int32(static_cast<std::int32_t>(codePage)));
    return codePage;
  } catch (const Failure&) {
    if (records)
      throw;
  }
  m = original;
  encode(kCodePageUtf8);
  m.props.Set(kTagMessageCodepage, Value::Int32(static_cast<std::int32_t>(kCodePageUtf8)));
  return kCodePageUtf8;
}

std::uint32_t PstPasswordChecksum(std::string_view password) {
  return text::Crc32(password.data(), password.size());
}

WriteStats WritePst(const Store& store, const std::string& path) {
  const std::string partial = path + ".partial";
  try {
    WriteStats stats;
    {
      StoreWriter writer(store, partial);
      stats = writer.Run();
    }
    if (std::rename(partial.c_str(), path.c_str()) != 0) {
      throw Failure("Cannot write \"" + path + "\": " + std::strerror(errno) + ".");
    }
    return stats;
  } catch (...) {
    std::remove(partial.c_str());
    throw;
  }
}

}  // namespace tarnvex::pstwriter
