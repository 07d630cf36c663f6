#include "platform/standin/native_reader.h"

#include <algorithm>
#include <optional>
#include <unordered_set>
#include <utility>
#include <vector>

#include "platform/failure.h"
#include "pst/errors.h"
#include "pst/file_source.h"
#include "pst/format.h"
#include "pst/messaging/store.h"
#include "pst/ndb/damage.h"
#include "text/utf.h"

namespace tarnvex::standin::native {
namespace {

namespace format = pst::format;
namespace ltp = pst::ltp;
namespace messaging = pst::messaging;
namespace ndb = pst::ndb;
using format::Nid;
using ltp::PropertyContext;
using messaging::Store;
using pst::CorruptionError;
using pst::Defect;
using pst::Error;
using pst::Hex;
using pst::Location;
using pst::UnsupportedFormat;

constexpr std::uint16_t kTagDisplayName = 0x3001;
constexpr std::uint16_t kTagContainerClass = 0x3613;
constexpr std::uint16_t kTagAttributeHidden = 0x10F4;
constexpr std::uint16_t kTagMessageClass = 0x001A;
constexpr std::uint16_t kTagAttachDataBinary = 0x3701;

const std::string kNoName;

// The library's failures become the program's, with their texts as they are: they name the file
// and say what is wrong where.
template <typename F>
auto Translated(F&& f) -> decltype(f()) {
  try {
    return f();
  } catch (const Error& e) {
    throw Failure(e.what());
  }
}

[[noreturn]] void Fail(const Store& store, Defect defect, std::string description, Location where,
                       std::string expected = {}, std::string found = {}) {
  throw Failure(CorruptionError(store.name(), defect, std::move(description), where,
                                std::move(expected), std::move(found))
                    .what());
}

class NativeEntry : public store::Entry {
 public:
  // `keep` holds the store and the context for an entry that outlives the enumeration it came
  // from; an entry handed to ForEachEntry's callback lives only for the call and borrows them.
  // `decoding` and `codePage` decode 8-bit strings; the decoding outlives the entry (the file
  // keeps it).
  NativeEntry(const Store* store, const PropertyContext* pc, const PropertyContext::Record& r,
              const store::TextDecoding* decoding, uint32_t codePage,
              std::shared_ptr<const Store> keepStore = nullptr,
              std::shared_ptr<const PropertyContext> keep = nullptr)
      : store_(store),
        pc_(pc),
        r_(r),
        decoding_(decoding),
        codePage_(codePage),
        named_(store->names().Find(r.id)),
        keepStore_(std::move(keepStore)),
        keep_(std::move(keep)) {}

  uint32_t Tag() const override { return r_.id; }
  uint32_t ValueType() const override { return r_.type; }
  bool Named() const override { return named_ != nullptr; }
  const uint8_t* Guid() const override { return named_ ? named_->guid : kNoGuid; }
  uint32_t Lid() const override { return named_ && !named_->isString ? named_->lid : 0; }
  const std::string& Name() const override { return named_ ? named_->name : kNoName; }

  std::string Text() const override {
    if (r_.type == ltp::kTypeString8) {
      std::string held;
      return Decode8(Translated([&] { return pc_->ValueView(r_, held); }));
    }
    return Translated([&] { return pc_->ValueText(r_); });
  }
  std::string Bytes() const override {
    return Translated([&] { return pc_->ValueBytes(r_); });
  }
  uint64_t Filetime() const override {
    const std::string raw = Bytes();
    if (raw.size() < 8) {
      Fail(*store_, Defect::kBadStructure,
           "time property " + Hex(r_.id) + " of node " + Hex(pc_->node()) + " is too short",
           Location::OfNode(pc_->node()), "8 bytes", std::to_string(raw.size()) + " bytes");
    }
    return format::Load<uint64_t>(raw.data());
  }
  uint32_t Int32() const override {
    return r_.type == ltp::kTypeInt16 ? r_.hnid & 0xFFFF : r_.hnid;
  }
  bool Boolean() const override { return (r_.hnid & 0xFF) != 0; }

 protected:
  const std::string& FilePath() const override { return store_->name(); }
  std::string Decode8(std::string_view bytes) const override {
    return decoding_->Decode(bytes, codePage_);
  }

 private:
  static constexpr uint8_t kNoGuid[16] = {};
  const Store* store_;
  const PropertyContext* pc_;
  PropertyContext::Record r_;
  const store::TextDecoding* decoding_;
  uint32_t codePage_;
  const messaging::NamedProperty* named_;
  std::shared_ptr<const Store> keepStore_;
  std::shared_ptr<const PropertyContext> keep_;
};

// A message listed by a node index page that fails its check sum under a parent that is no
// folder of the node index: what the page says of its folder is wrong, and no folder holds it.
bool OutsideFolders(const Store& store, Nid nid) {
  if (format::NidTypeOf(nid) != format::kNidTypeNormalMessage || !store.db()->DamagedPageOf(nid))
    return false;
  const ndb::Node* node = store.FindNode(nid);
  return node && (format::NidTypeOf(node->parent) != format::kNidTypeNormalFolder ||
                  !store.FindNode(node->parent));
}

// A folder the node index lacks, as its parent's hierarchy table lists it: the values of the
// columns a folder is known by, each with its tag (id and type).
struct ListedFolder {
  Nid nid;
  Nid parent;
  std::vector<std::pair<std::uint32_t, std::string>> values;
};

// A subfolder a folder's hierarchy table lists that the node index does not give it: made from
// the table's row, or a failure saying why it cannot be read.
struct ListedSubfolder {
  std::optional<ListedFolder> made;
  std::string failure;
};

// A message a folder's contents table lists that cannot be read, and why; `nid` is empty for a
// row the table's row index does not name.
struct Unreadable {
  std::optional<Nid> nid;
  std::string failure;
};

class NativeItem : public store::Item {
 public:
  // `inIndex`: a node of the node index (a folder or message); else a subnode (an attachment).
  // `inherited`: the code page of the item this one belongs to (store::CodePageOf).
  NativeItem(std::shared_ptr<const Store> store, Nid nid, format::Bid data, format::Bid sub,
             bool inIndex, std::shared_ptr<const store::TextDecoding> decoding, uint32_t inherited)
      : store_(std::move(store)),
        nid_(nid),
        data_(data),
        sub_(sub),
        inIndex_(inIndex),
        decoding_(std::move(decoding)),
        inherited_(inherited) {
    if (const auto page = inIndex ? store_->db()->DamagedPageOf(nid) : std::nullopt) {
      damage_.push_back("node " + Hex(nid) + " is listed by the node index page at offset " +
                        std::to_string(*page) + ", which fails its check sum");
    }
    if (inIndex && data != 0 && !store_->FindNode(nid)) {
      // Found again by its folder's contents table (Store::FindLostMessage).
      damage_.push_back("message " + Hex(nid) +
                        " is missing from the node index; its properties were found in block " +
                        Hex(data) + ", which no node uses, by its row of its folder's contents " +
                        "table, and its attachments and the values kept apart from them are not " +
                        "known");
    }
  }

  uint32_t Identifier() const override { return nid_; }
  std::vector<std::string> Damage() const override { return damage_; }
  bool IsFolder() const override {
    return inIndex_ && format::NidTypeOf(nid_) == format::kNidTypeNormalFolder;
  }

  void ForEachEntry(const std::function<void(const store::Entry&)>& f) const override {
    const PropertyContext* pc = Props().get();
    // The code page is looked up only for items with 8-bit strings.
    bool eightBit = false;
    for (const auto& r : pc->records())
      eightBit = eightBit || r.type == ltp::kTypeString8 || r.type == store::kTypeMultiString8;
    const uint32_t codePage = eightBit ? CodePage() : 0;
    for (const auto& r : pc->records())
      f(NativeEntry(store_.get(), pc, r, decoding_.get(), codePage));
  }

  std::unique_ptr<store::Entry> Find(uint32_t tag, uint32_t valueType) const override {
    const auto& pc = Props();
    for (const auto& r : pc->records()) {
      if (r.id == tag && r.type == valueType) {
        // Only text asks for the code page, which is itself found with Find.
        const bool text = valueType == ltp::kTypeString8 || valueType == store::kTypeMultiString8;
        return std::make_unique<NativeEntry>(store_.get(), pc.get(), r, decoding_.get(),
                                             text ? CodePage() : 0, store_, pc);
      }
    }
    return nullptr;
  }

  std::string FolderName() const override { return TextOf(kTagDisplayName); }
  // The node index's subfolders, then those the folder's hierarchy table lists that are not
  // among them: each of these is made from the table's row when the node index still lists its
  // items, and otherwise fails when it is taken, saying why it cannot be read.
  int SubFolderCount() const override {
    return static_cast<int>(Folders().size() + UnreadableFolders().size());
  }
  std::unique_ptr<store::Item> SubFolder(int index) const override;

  // The folders made from their parents' tables above an item, and those folders themselves:
  // made again below them, they would form a loop the node index cannot see.
  using MadeFolders = std::shared_ptr<const std::vector<Nid>>;

  // A folder the node index lacks, whose messages and subfolders it still lists: what is known
  // of it comes from the row of its parent's hierarchy table. Its code page is its parent's.
  // `made`: it and the folders made so above it.
  static std::unique_ptr<NativeItem> WithoutNode(
      std::shared_ptr<const Store> store, Nid nid,
      std::shared_ptr<const store::TextDecoding> decoding, uint32_t codePage, MadeFolders made) {
    auto item = std::make_unique<NativeItem>(std::move(store), nid, 0, 0, true, std::move(decoding),
                                             codePage);
    item->codePage_ = codePage;
    item->made_ = std::move(made);
    return item;
  }

  // The node index's children of the folder, then the messages its contents table lists that
  // are not among them, each as a failure saying why it cannot be read: the folder's item count
  // is the larger of the two records', and nothing either lists is dropped. A contents table
  // that cannot be read leaves the node index's children, which are checked on their own.
  std::vector<Child> NormalMessages() const override {
    auto children = NormalMessagesOneByOne();
    std::vector<Child> out;
    out.reserve(children->Count());
    for (std::size_t i = 0; i < children->Count(); ++i)
      out.push_back(children->Take(i));
    return out;
  }

  std::unique_ptr<Children> NormalMessagesOneByOne() const override;

  std::string MessageClass() const override { return TextOf(kTagMessageClass); }
  int AttachmentCount() const override { return static_cast<int>(Attachments().size()); }
  std::unique_ptr<store::Item> Attachment(int index) const override {
    const auto& a = Attachments();
    if (index < 0 || static_cast<size_t>(index) >= a.size()) {
      Fail(*store_, Defect::kMissing,
           "item " + Hex(nid_) + " has no attachment " + std::to_string(index + 1),
           Location::OfNode(nid_));
    }
    return std::make_unique<NativeItem>(store_, a[index].nid, a[index].data, a[index].sub, false,
                                        decoding_, CodePage());
  }
  bool IsDataAttachment() const override {
    for (const auto& r : Props()->records()) {
      if (r.id == kTagAttachDataBinary)
        return r.type == ltp::kTypeBinary;
    }
    return false;
  }
  std::string AttachmentData() const override {
    const PropertyContext& pc = *Props();
    const auto* r = pc.Find(kTagAttachDataBinary, ltp::kTypeBinary);
    return r ? Read([&] { return pc.ValueBytes(*r); }) : std::string();
  }

 private:
  // The messages the folder's contents table lists that are not among `messages` (the node
  // index's children), and the rows its row index does not name, each with why it cannot be
  // read. A message a damaged page of the node index lost that is found again by its row
  // (Store::FindLostMessage) is added to `messages` instead. `table`: the folder's contents
  // table, as read for this; null when it cannot be read or was read through damage.
  std::vector<Unreadable> UnreadableMessages(
      std::vector<const ndb::Node*>& messages,
      std::shared_ptr<const ltp::TableContext>& table) const {
    std::vector<Unreadable> out;
    // Sorted numbers rather than a hash set: a folder may hold a million messages.
    std::vector<Nid> children;
    children.reserve(messages.size());
    for (const ndb::Node* n : messages)
      children.push_back(n->nid);
    std::sort(children.begin(), children.end());
    std::unordered_set<Nid> reported;
    table = TableOf([&] { return store_->ContentsTable(nid_); });
    const std::string where = "the Outlook data file \"" + store_->name() + "\": ";
    const std::string folder = "folder " + Hex(nid_);
    if (!table) {
      // Without the table nothing else names what a lost page of the node index listed.
      if (const auto page = store_->db()->LostPageOfType(format::kNidTypeNormalMessage)) {
        out.push_back(
            {std::nullopt, "Items may be missing from " + where + "the contents table of " +
                               folder + " cannot be used, and the node index page at offset " +
                               std::to_string(*page) +
                               ", which may have listed some of its messages, is damaged; "
                               "those are not exported."});
      }
      return out;
    }
    RowsOfTable rows(*table);
    for (std::size_t i = 0; i < table->rowIds().size(); ++i) {
      const std::uint32_t row = table->rowIds()[i];
      if (std::binary_search(children.begin(), children.end(), row) ||
          !reported.insert(row).second) {
        continue;
      }
      std::string failure;
      if (OutsideFolders(*store_, row))
        continue;  // the file reports it among the messages outside folders
      if (!store_->FindNode(row) && store_->db()->LostPageOf(row)) {
        if (const ndb::Node* found = FoundAgain(row, [&] { return rows.Row(i); })) {
          messages.push_back(found);
          continue;
        }
      }
      if (const ndb::Node* n = store_->FindNode(row)) {
        failure = "message " + Hex(row) + ", listed in the contents table of " + folder +
                  ", belongs to " + Hex(n->parent) + " in the node index";
      } else {
        failure = "message " + Hex(row) + ", listed in the contents table of " + folder +
                  ", has no entry in the node index" + LostBecause(row);
      }
      out.push_back({row, "An item cannot be read from " + where + failure + "."});
    }
    // Rows the row index does not name: the table counts them, so they are items all the same.
    for (std::size_t i = table->rowIds().size(); i < table->rowCount(); ++i) {
      out.push_back({std::nullopt, "An item cannot be read from " + where +
                                       "the contents table of " + folder + " holds " +
                                       std::to_string(table->rowCount()) +
                                       " rows, but its row index names only " +
                                       std::to_string(table->rowIds().size()) + " of them."});
    }
    return out;
  }

  // The cells of a table's rows, each column read once, when first asked.
  class RowsOfTable {
   public:
    explicit RowsOfTable(const ltp::TableContext& table) : table_(table) {}
    Store::Row Row(std::size_t index) {
      if (!columns_) {
        columns_.emplace();
        for (const std::uint32_t tag : table_.ColumnTags())
          columns_->emplace_back(tag, table_.ColumnValues(tag));
      }
      Store::Row row;
      for (const auto& [tag, values] : *columns_) {
        if (values.at(index))
          row.emplace_back(tag, *values[index]);
      }
      return row;
    }

   private:
    const ltp::TableContext& table_;
    std::optional<std::vector<std::pair<std::uint32_t, std::vector<std::optional<std::string>>>>>
        columns_;
  };

  // A message of this folder the node index lost, found again by its row; null when it is not.
  const ndb::Node* FoundAgain(Nid message, const std::function<Store::Row()>& row) const {
    try {
      return store_->FindLostMessage(message, nid_, row());
    } catch (const Error&) {
      return nullptr;  // the table's cells cannot be read: the message is reported as lost
    }
  }

  // Why a node the node index lacks may be missing: the page that would list it is damaged.
  std::string LostBecause(Nid nid) const {
    const auto page = store_->db()->LostPageOf(nid);
    return page ? " (the node index page at offset " + std::to_string(*page) +
                      " that would list it is damaged)"
                : std::string();
  }

  const std::shared_ptr<const PropertyContext>& Props() const {
    if (!pc_) {
      pc_ = Read(
          [&] { return std::make_shared<const PropertyContext>(store_->db(), nid_, data_, sub_); });
    }
    return pc_;
  }

  std::string TextOf(uint16_t tag) const {
    const PropertyContext& pc = *Props();
    if (const auto* r = pc.Find(tag, ltp::kTypeUnicode))
      return Read([&] { return pc.ValueText(*r); });
    if (const auto* r = pc.Find(tag, ltp::kTypeString8)) {
      std::string held;
      return decoding_->Decode(Read([&] { return pc.ValueView(*r, held); }), CodePage());
    }
    return {};
  }

  uint32_t CodePage() const override {
    if (!codePage_)
      codePage_ = store::CodePageOf(*this, inherited_);
    return *codePage_;
  }

  const std::vector<const ndb::Node*>& Folders() const {
    if (!folders_)
      folders_ = Read([&] { return store_->SubFolders(nid_); });
    return *folders_;
  }

  const std::vector<ListedSubfolder>& UnreadableFolders() const {
    if (unreadableFolders_)
      return *unreadableFolders_;
    unreadableFolders_.emplace();
    // Without the table the node index's subfolders stand, checked on their own.
    const auto table = TableOf([&] { return store_->HierarchyTable(nid_); });
    if (!table) {
      if (const auto page = store_->db()->LostPageOfType(format::kNidTypeNormalFolder)) {
        unreadableFolders_->push_back(
            {std::nullopt,
             "Folders may be missing from the Outlook data file \"" + store_->name() +
                 "\": the hierarchy table of folder " + Hex(nid_) +
                 " cannot be used, and the node index page at offset " + std::to_string(*page) +
                 ", which may have listed some of its subfolders, is damaged; their items are not "
                 "exported."});
      }
      return *unreadableFolders_;
    }
    std::unordered_set<Nid> listed{nid_};
    for (const ndb::Node* n : Folders())
      listed.insert(n->nid);
    const auto& rows = table->rowIds();
    for (std::size_t i = 0; i < rows.size(); ++i) {
      const std::uint32_t row = rows[i];
      if (format::NidTypeOf(row) != format::kNidTypeNormalFolder || !listed.insert(row).second)
        continue;
      const ndb::Node* n = store_->FindNode(row);
      if (!n && HoldsItemsOfItsOwn(row)) {
        unreadableFolders_->push_back({ListedFolder{row, nid_, RowValues(*table, i)}, {}});
        continue;
      }
      unreadableFolders_->push_back(
          {std::nullopt, "A folder cannot be read from the Outlook data file \"" + store_->name() +
                             "\": folder " + Hex(row) +
                             ", listed in the hierarchy table of folder " + Hex(nid_) +
                             (n ? ", belongs to " + Hex(n->parent) + " in the node index"
                                : ", has no entry in the node index" + LostBecause(row)) +
                             "; its items are not exported."});
    }
    return *unreadableFolders_;
  }

  // Whether the node index lists messages or subfolders of a folder it lacks, or the folder's
  // contents table, which names its messages.
  bool HoldsItemsOfItsOwn(Nid folder) const {
    const Nid contents = (folder & ~format::kNidTypeMask) | format::kNidTypeContentsTable;
    // The node index's children alone: a loop among them is found when the folder is walked.
    return store_->FindNode(contents) || !store_->Messages(folder).empty() ||
           !store_->db()->Children(folder, format::kNidTypeNormalFolder).empty();
  }

  // The values of the hierarchy table's row a folder is known by: its name, class and whether
  // it is hidden.
  static std::vector<std::pair<std::uint32_t, std::string>> RowValues(
      const ltp::TableContext& table, std::size_t row) {
    static constexpr std::uint32_t kColumns[] = {
        kTagDisplayName << 16 | ltp::kTypeUnicode, kTagDisplayName << 16 | ltp::kTypeString8,
        kTagContainerClass << 16 | ltp::kTypeUnicode, kTagContainerClass << 16 | ltp::kTypeString8,
        kTagAttributeHidden << 16 | store::kTypeBoolean};
    std::vector<std::pair<std::uint32_t, std::string>> out;
    for (const std::uint32_t tag : kColumns) {
      try {
        if (auto value = table.ColumnValues(tag).at(row))
          out.emplace_back(tag, std::move(*value));
      } catch (const Error&) {
        // A column that cannot be read leaves the folder without that value.
      }
    }
    return out;
  }

  const std::vector<ndb::Subnode>& Attachments() const {
    if (!attachments_) {
      const PropertyContext& pc = *Props();
      attachments_ = Read([&] { return Store::Attachments(pc); });
    }
    return *attachments_;
  }

  // A folder's table as `read` gives it; null when it cannot be read, or when it was read
  // through damage: its rows would name items that are not there.
  template <typename F>
  static std::shared_ptr<const ltp::TableContext> TableOf(F&& read) {
    std::vector<std::string> damage;
    try {
      pst::ndb::DamageScope scope(damage);
      auto table = read();
      return damage.empty() ? table : nullptr;
    } catch (const Error&) {
      return nullptr;
    }
  }

  // Reads through the library with the item's damage noted (pst/ndb/damage.h).
  template <typename F>
  auto Read(F&& f) const -> decltype(f()) {
    pst::ndb::DamageScope scope(damage_);
    return Translated(std::forward<F>(f));
  }

  std::shared_ptr<const Store> store_;
  Nid nid_;
  format::Bid data_;
  format::Bid sub_;
  bool inIndex_;
  std::shared_ptr<const store::TextDecoding> decoding_;
  uint32_t inherited_;
  mutable std::optional<uint32_t> codePage_;
  mutable std::shared_ptr<const PropertyContext> pc_;
  mutable std::optional<std::vector<const ndb::Node*>> folders_;
  mutable std::optional<std::vector<ListedSubfolder>> unreadableFolders_;
  mutable std::optional<std::vector<ndb::Subnode>> attachments_;
  mutable std::vector<std::string> damage_;
  MadeFolders made_;
};

// A folder's messages as nodes of the node index, each made an item when it is taken, then the
// failures of those that cannot be read.
class NativeChildren : public store::Item::Children {
 public:
  NativeChildren(std::shared_ptr<const Store> store,
                 std::shared_ptr<const store::TextDecoding> decoding, uint32_t codePage,
                 std::shared_ptr<const ltp::TableContext> contents,
                 std::vector<const ndb::Node*> messages, std::vector<Unreadable> unreadable)
      : store_(std::move(store)),
        contents_(std::move(contents)),
        decoding_(std::move(decoding)),
        codePage_(codePage),
        messages_(std::move(messages)),
        unreadable_(std::move(unreadable)) {}

  std::size_t Count() const override { return messages_.size() + unreadable_.size(); }

  // For a message the node index lacks as well: its listed class is all there is of it, and a
  // mail listed in a mail folder is no contact there, readable or not.
  std::optional<std::string> ListedClass(std::size_t index) override {
    if (index >= Count())
      return std::nullopt;
    if (!listed_) {
      listed_ = ListedClasses();
      contents_.reset();
    }
    const std::optional<Nid> listedNid = index < messages_.size()
                                             ? std::optional<Nid>(messages_[index]->nid)
                                             : unreadable_[index - messages_.size()].nid;
    if (!listedNid)
      return std::nullopt;
    const Nid nid = *listedNid;
    const auto at = std::lower_bound(listed_->begin(), listed_->end(), nid,
                                     [](const auto& entry, Nid n) { return entry.first < n; });
    if (at == listed_->end() || at->first != nid)
      return std::nullopt;
    return at->second;
  }

  store::Item::Child Take(std::size_t index) override {
    // Taken without asking for their classes: the table is not needed any more.
    if (!listed_)
      contents_.reset();
    if (index >= messages_.size())
      return {nullptr, std::move(unreadable_.at(index - messages_.size()).failure)};
    const ndb::Node* n = messages_[index];
    return {
        std::make_unique<NativeItem>(store_, n->nid, n->data, n->sub, true, decoding_, codePage_),
        {}};
  }

 private:
  std::shared_ptr<const Store> store_;
  // The folder's contents table, kept for ListedClass until the first child is taken.
  std::shared_ptr<const ltp::TableContext> contents_;
  std::shared_ptr<const store::TextDecoding> decoding_;
  uint32_t codePage_;
  // The message classes of the folder's contents table by message, sorted; none when the table
  // cannot be read, and then each message's own class is asked for.
  std::vector<std::pair<Nid, std::string>> ListedClasses() const {
    std::vector<std::pair<Nid, std::string>> out;
    const std::shared_ptr<const ltp::TableContext> table = contents_;
    if (messages_.size() + unreadable_.size() == 0 || !table)
      return out;
    // Classes read through damage could pass a contact over as a mail: then none are used.
    std::vector<std::string> damage;
    pst::ndb::DamageScope scope(damage);
    try {
      const auto& rows = table->rowIds();
      const std::uint32_t unicodeTag = kTagMessageClass << 16 | ltp::kTypeUnicode;
      const bool unicode = table->HasColumn(unicodeTag);
      const auto values =
          table->ColumnValues(unicode ? unicodeTag : kTagMessageClass << 16 | ltp::kTypeString8);
      for (std::size_t i = 0; i < rows.size(); ++i) {
        if (!values[i])
          continue;
        const std::string& value = *values[i];
        out.emplace_back(rows[i], unicode ? text::Utf16LeToUtf8(
                                                reinterpret_cast<const std::uint8_t*>(value.data()),
                                                value.size())
                                          : decoding_->Decode(value, codePage_));
      }
    } catch (const Error&) {
      return {};
    }
    if (!damage.empty())
      return {};
    std::sort(out.begin(), out.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    return out;
  }

  std::vector<const ndb::Node*> messages_;
  std::vector<Unreadable> unreadable_;
  std::optional<std::vector<std::pair<Nid, std::string>>> listed_;
};

// One value of a hierarchy table's row, kept whole: it may outlive its folder.
class RowEntry : public store::Entry {
 public:
  RowEntry(std::uint32_t tag, std::string value, std::string path,
           std::shared_ptr<const store::TextDecoding> decoding, uint32_t codePage)
      : tag_(tag),
        value_(std::move(value)),
        path_(std::move(path)),
        decoding_(std::move(decoding)),
        codePage_(codePage) {}

  uint32_t Tag() const override { return tag_ >> 16; }
  uint32_t ValueType() const override { return tag_ & 0xFFFF; }
  bool Named() const override { return false; }
  const uint8_t* Guid() const override { return nullptr; }
  uint32_t Lid() const override { return 0; }
  const std::string& Name() const override { return kNoName; }
  std::string Text() const override {
    if (ValueType() == ltp::kTypeUnicode) {
      return text::Utf16LeToUtf8(reinterpret_cast<const std::uint8_t*>(value_.data()),
                                 value_.size());
    }
    return Decode8(value_);
  }
  std::string Bytes() const override { return value_; }
  uint64_t Filetime() const override { return 0; }
  uint32_t Int32() const override {
    return value_.size() >= 4 ? format::Load<uint32_t>(value_.data()) : 0;
  }
  bool Boolean() const override { return !value_.empty() && value_[0] != 0; }

 protected:
  const std::string& FilePath() const override { return path_; }
  std::string Decode8(std::string_view bytes) const override {
    return decoding_->Decode(bytes, codePage_);
  }

 private:
  static inline const std::string kNoName;
  std::uint32_t tag_;
  std::string value_;
  std::string path_;
  std::shared_ptr<const store::TextDecoding> decoding_;
  uint32_t codePage_;
};

// A folder the node index lacks, made from its parent's hierarchy table: its name, class and
// whether it is hidden from the table's row, its messages and subfolders from the node index,
// as those of any folder are.
class FolderFromTable : public store::Item {
 public:
  FolderFromTable(ListedFolder listed, std::shared_ptr<const Store> store,
                  std::shared_ptr<const store::TextDecoding> decoding, uint32_t codePage,
                  NativeItem::MadeFolders made)
      : listed_(std::move(listed)),
        store_(store),
        decoding_(decoding),
        codePage_(codePage),
        folder_(NativeItem::WithoutNode(std::move(store), listed_.nid, std::move(decoding),
                                        codePage, std::move(made))) {}

  uint32_t Identifier() const override { return listed_.nid; }
  bool IsFolder() const override { return true; }
  void ForEachEntry(const std::function<void(const store::Entry&)>& f) const override {
    for (const auto& [tag, value] : listed_.values)
      f(RowEntry(tag, value, store_->name(), decoding_, codePage_));
  }
  std::unique_ptr<store::Entry> Find(uint32_t tag, uint32_t valueType) const override {
    for (const auto& [listedTag, value] : listed_.values) {
      if (listedTag == (tag << 16 | valueType))
        return std::make_unique<RowEntry>(listedTag, value, store_->name(), decoding_, codePage_);
    }
    return nullptr;
  }
  std::string FolderName() const override {
    if (auto e = Find(kTagDisplayName, ltp::kTypeUnicode))
      return e->Text();
    if (auto e = Find(kTagDisplayName, ltp::kTypeString8))
      return e->Text();
    return {};
  }
  int SubFolderCount() const override { return folder_->SubFolderCount(); }
  std::unique_ptr<Item> SubFolder(int index) const override { return folder_->SubFolder(index); }
  std::vector<Child> NormalMessages() const override { return folder_->NormalMessages(); }
  std::unique_ptr<Children> NormalMessagesOneByOne() const override {
    return folder_->NormalMessagesOneByOne();
  }
  uint32_t CodePage() const override { return codePage_; }
  std::string MessageClass() const override { return {}; }
  int AttachmentCount() const override { return 0; }
  std::unique_ptr<Item> Attachment(int) const override {
    Fail(*store_, Defect::kMissing, "folder " + Hex(listed_.nid) + " has no attachments",
         Location::OfNode(listed_.nid));
  }
  bool IsDataAttachment() const override { return false; }
  std::string AttachmentData() const override { return {}; }

 private:
  ListedFolder listed_;
  std::shared_ptr<const Store> store_;
  std::shared_ptr<const store::TextDecoding> decoding_;
  uint32_t codePage_;
  std::unique_ptr<NativeItem> folder_;
};

std::unique_ptr<store::Item> NativeItem::SubFolder(int index) const {
  const auto& f = Folders();
  const auto& listed = UnreadableFolders();
  if (index >= 0 && static_cast<size_t>(index) >= f.size() &&
      static_cast<size_t>(index) - f.size() < listed.size()) {
    const ListedSubfolder& sub = listed[static_cast<size_t>(index) - f.size()];
    if (!sub.made)
      throw Failure(sub.failure);
    const Nid folder = sub.made->nid;
    if (made_ && std::find(made_->begin(), made_->end(), folder) != made_->end()) {
      throw Failure("A folder cannot be read from the Outlook data file \"" + store_->name() +
                    "\": folder " + Hex(folder) + ", listed in the hierarchy table of folder " +
                    Hex(nid_) + ", has no entry in the node index and lies above it; the folders " +
                    "form a loop, and its items are not exported again.");
    }
    store_->db()->RecordDamage("folder " + Hex(folder) +
                               " has no entry in the node index; its name and class are read "
                               "from the hierarchy table of folder " +
                               Hex(sub.made->parent) + ", its items from the node index");
    auto made = std::make_shared<std::vector<Nid>>(made_ ? *made_ : std::vector<Nid>{});
    made->push_back(folder);
    return std::make_unique<FolderFromTable>(*sub.made, store_, decoding_, CodePage(),
                                             std::move(made));
  }
  if (index < 0 || static_cast<size_t>(index) >= f.size()) {
    Fail(*store_, Defect::kMissing,
         "folder " + Hex(nid_) + " has no subfolder " + std::to_string(index + 1),
         Location::OfNode(nid_));
  }
  auto item = std::make_unique<NativeItem>(store_, f[index]->nid, f[index]->data, f[index]->sub,
                                           true, decoding_, CodePage());
  item->made_ = made_;
  return item;
}

std::unique_ptr<store::Item::Children> NativeItem::NormalMessagesOneByOne() const {
  std::vector<const ndb::Node*> messages = store_->Messages(nid_);
  std::shared_ptr<const ltp::TableContext> table;
  std::vector<Unreadable> unreadable = UnreadableMessages(messages, table);
  return std::make_unique<NativeChildren>(store_, decoding_, CodePage(), std::move(table),
                                          std::move(messages), std::move(unreadable));
}

class NativeFile : public store::File {
 public:
  NativeFile(std::shared_ptr<const Store> store,
             std::shared_ptr<const store::TextDecoding> decoding)
      : store_(std::move(store)), decoding_(std::move(decoding)) {}
  const std::string& path() const override { return store_->name(); }
  const char* ReaderName() const override { return "native"; }
  std::vector<std::string> DamageNotes(std::size_t from) const override {
    return store_->db()->DamageNotes(from);
  }

  // The messages of damaged node index pages that name no folder of the index as theirs.
  std::vector<std::string> MessagesOutsideFolders() override {
    std::vector<std::string> out;
    for (const auto& [nid, page] : store_->db()->DamagedNodes()) {
      if (!OutsideFolders(*store_, nid))
        continue;
      out.push_back("An item cannot be read from the Outlook data file \"" + path() +
                    "\": message " + Hex(nid) + " is listed by the node index page at offset " +
                    std::to_string(page) + ", which fails its check sum, under " +
                    Hex(store_->FindNode(nid)->parent) +
                    ", no folder of the node index; which folder holds it is not known.");
    }
    return out;
  }

  std::unique_ptr<store::Item> RootFolder() override {
    auto item = ItemByIdentifier(format::kNidRootFolder);
    if (!item) {
      throw Failure("The Outlook data file \"" + path() +
                    "\" is damaged or truncated: its folder tree cannot be found.");
    }
    return item;
  }
  std::unique_ptr<store::Item> MessageStore() override {
    return ItemByIdentifier(format::kNidMessageStore);
  }
  std::unique_ptr<store::Item> ItemByIdentifier(uint32_t identifier) override {
    const ndb::Node* n = store_->FindNode(identifier);
    if (!n)
      return nullptr;
    const uint32_t inherited =
        identifier == format::kNidMessageStore ? decoding_->fallback() : StoreCodePage();
    return std::make_unique<NativeItem>(store_, n->nid, n->data, n->sub, true, decoding_,
                                        inherited);
  }

 private:
  // The code page of the message store, which items found by identifier belong to.
  uint32_t StoreCodePage() {
    if (!storeCodePage_) {
      auto store = MessageStore();
      storeCodePage_ =
          store ? store::CodePageOf(*store, decoding_->fallback()) : decoding_->fallback();
    }
    return *storeCodePage_;
  }

  std::shared_ptr<const Store> store_;
  std::shared_ptr<const store::TextDecoding> decoding_;
  std::optional<uint32_t> storeCodePage_;
};

}  // namespace

std::shared_ptr<store::File> OpenNative(std::shared_ptr<const pst::ByteSource> source,
                                        std::string& why,
                                        std::shared_ptr<const store::TextDecoding> decoding,
                                        std::string* damage) {
  if (!decoding)
    decoding = std::make_shared<const store::TextDecoding>();
  try {
    return std::make_shared<NativeFile>(Store::Open(std::move(source)), std::move(decoding));
  } catch (const UnsupportedFormat& e) {
    why = e.reason();
  } catch (const CorruptionError& e) {
    // A node listed twice is damage no reader should pass over: it can make the folders a loop.
    if (e.defect() == Defect::kDuplicateNode)
      throw Failure(e.what());
    why = e.description();
    if (damage)
      *damage = e.what();
  } catch (const Failure& e) {  // the source cannot be read
    why = e.what();
    if (damage)
      *damage = e.what();
  }
  return nullptr;
}

std::shared_ptr<store::File> OpenNative(const std::string& path) {
  std::string why;
  return OpenNative(pst::OpenFileSource(path), why);
}

std::shared_ptr<store::File> OpenNativeOrFail(const std::string& path) {
  std::string why;
  auto file = OpenNative(pst::OpenFileSource(path), why);
  if (!file)
    throw Failure("The Outlook data file \"" + path + "\" is not read natively: " + why + ".");
  return file;
}

}  // namespace tarnvex::standin::native
