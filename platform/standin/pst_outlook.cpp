#include "platform/standin/pst_outlook.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <utility>
#include <vector>

#include "platform/failure.h"
#include "platform/standin/contact_reader.h"
#include "platform/standin/password.h"
#include "platform/standin/profile.h"
#include "platform/standin/read_ahead.h"
#include "platform/standin/store_reader.h"
#include "text/case.h"
#include "text/crc.h"
#include "vcard/writer.h"

namespace tarnvex::standin {
namespace {

constexpr uint32_t kTagContainerClass = 0x3613;
constexpr uint32_t kTagAttributeHidden = 0x10F4;
constexpr uint32_t kTagIpmSubtreeEntryId = 0x35E0;
constexpr uint32_t kTagIpmWastebasketEntryId = 0x35E3;
constexpr uint32_t kTagIpmContactEntryId = 0x36D1;
constexpr uint32_t kTagPstPassword = 0x67FF;

// The NID an entry id (MS-OXCDATA section 2.2.4.1, as a PST keeps it: 4 flag bytes, the 16-byte
// provider UID, then the NID) points at; empty when the value is not one.
std::optional<uint32_t> EntryIdNid(const std::string& bytes) {
  if (bytes.size() < 24)
    return std::nullopt;
  uint32_t nid = 0;
  for (int i = 3; i >= 0; --i)
    nid = (nid << 8) | static_cast<unsigned char>(bytes[20 + i]);
  if (nid == 0)
    return std::nullopt;
  return nid;
}

std::optional<uint32_t> Int32Of(const store::Item& item, uint32_t tag) {
  auto e = item.Find(tag, store::kTypeInt32);
  if (!e)
    return std::nullopt;
  return e->Int32();
}

std::optional<uint32_t> EntryIdOf(const store::Item& item, uint32_t tag) {
  auto e = item.Find(tag, store::kTypeBinary);
  if (!e)
    return std::nullopt;
  return EntryIdNid(e->Bytes());
}

std::string ContainerClassOf(const store::Item& folder) {
  if (auto e = folder.Find(kTagContainerClass, store::kTypeUnicode))
    return e->Text();
  if (auto e = folder.Find(kTagContainerClass, store::kTypeString8))
    return e->Text();
  return {};
}

// The platform's code pages as the vCard writer asks for them.
class CodePagesEncoder : public vcard::CodePageEncoder {
 public:
  explicit CodePagesEncoder(const CodePages& pages) : pages_(pages) {}
  std::optional<std::string> Encode(std::string_view utf8, uint32_t codePage) const override {
    return pages_.Encode(utf8, codePage);
  }

 private:
  const CodePages& pages_;
};

// Tells the run, as warnings, the damage the reader read through in a store: each note once, in
// the order met.
class DamageTeller {
 public:
  DamageTeller(std::string path, std::shared_ptr<store::File> file,
               std::function<void(const std::string&)> warn)
      : path_(std::move(path)), file_(std::move(file)), warn_(std::move(warn)) {}

  // Tells the notes not told yet.
  void TellNew() { Tell(file_->DamageNotes(told_)); }
  // Tells notes the file gave after the first told(), in its order.
  void Tell(const std::vector<std::string>& notes) {
    for (const std::string& note : notes) {
      ++told_;
      if (warn_)
        warn_("the Outlook data file \"" + path_ + "\" is damaged: " + note);
    }
  }
  std::size_t told() const { return told_; }

  const std::string& path() const { return path_; }
  const store::File& file() const { return *file_; }

 private:
  std::string path_;
  std::shared_ptr<store::File> file_;
  std::function<void(const std::string&)> warn_;
  std::size_t told_ = 0;
};

// How SaveAs writes a card: in which form, through which writer; whom it tells of damage.
struct CardSaving {
  vcard::CardForm form;
  AtomicFileWriter* writer = nullptr;
  std::shared_ptr<const vcard::CodePageEncoder> encoder;  // what form.encoder points to
  std::shared_ptr<DamageTeller> damage;                   // of the store the items are in; set
  std::function<void(const std::string&)> warn;           // the run's warnings; may be empty
};

// An open data file and its place among the namespace's stores.
struct StoreState {
  std::string path;  // as it was named
  FileIdentity identity;
  std::shared_ptr<store::File> file;
  std::shared_ptr<OutlookFolder> root;
  std::shared_ptr<DamageTeller> damage;
};

// How the items of the store are saved.
CardSaving SavingOf(const PstOutlookOptions& options, PstPlatform platform,
                    const StoreState& state) {
  CardSaving saving;
  saving.form.version = options.vcardVersion;
  saving.form.charset = options.charset.value_or(vcard::Charset::kUtf8);
  saving.writer = &platform.writer;
  if (platform.codePages) {
    saving.encoder = std::make_shared<CodePagesEncoder>(*platform.codePages);
    saving.form.encoder = saving.encoder.get();
  }
  saving.damage = state.damage;
  saving.warn = options.warn;
  return saving;
}

// The damage notes, joined for one sentence.
std::string Joined(const std::vector<std::string>& notes) {
  std::string out;
  for (const auto& note : notes)
    out += (out.empty() ? "" : "; ") + note;
  return out;
}

// While it lives, the warnings of the text decoding raised on this thread are kept in `warnings`
// instead of told: a reading thread's warnings are told by the run at the item they belong to.
class WarningCapture {
 public:
  explicit WarningCapture(std::vector<std::string>& warnings)
      : warnings_(warnings), outer_(innermost_) {
    innermost_ = this;
  }
  ~WarningCapture() { innermost_ = outer_; }
  WarningCapture(const WarningCapture&) = delete;
  WarningCapture& operator=(const WarningCapture&) = delete;

  // The warning kept by the capture living on this thread, else told through `warn`.
  static void Warn(const std::string& warning,
                   const std::function<void(const std::string&)>& warn) {
    if (innermost_)
      innermost_->warnings_.push_back(warning);
    else if (warn)
      warn(warning);
  }

 private:
  std::vector<std::string>& warnings_;
  WarningCapture* outer_;
  static thread_local WarningCapture* innermost_;
};

thread_local WarningCapture* WarningCapture::innermost_ = nullptr;

// What was met reading for one of the run's questions, told when the run asks it: the warnings
// of the text decoding, then the file's new damage notes.
struct Tidings {
  std::vector<std::string> warnings;
  std::vector<std::string> damage;
  bool told = false;
};

// Tells the tidings, once.
void Tell(Tidings& tidings, const CardSaving& saving) {
  if (tidings.told)
    return;
  tidings.told = true;
  for (const std::string& warning : tidings.warnings) {
    if (saving.warn)
      saving.warn(warning);
  }
  saving.damage->Tell(tidings.damage);
}

// An answer read ahead: the value, or what reading it threw.
template <typename T>
struct Answer {
  std::optional<T> value;
  std::exception_ptr error;

  const T& Get() const {
    if (error)
      std::rethrow_exception(error);
    return *value;
  }
  template <typename Read>
  static Answer Of(Read read) {
    Answer answer;
    try {
      answer.value.emplace(read());
    } catch (...) {
      answer.error = std::current_exception();
    }
    return answer;
  }
};

// What a card is named after when the file-as text gives no name.
struct Names {
  std::string fullName, lastName, firstName, companyName, email1Address;
};

// Everything the run asks of an item, read from the store before it asks: its class, file-as
// text and other names, and for a contact its card, formed. Nothing in it refers to the store,
// so the run may use it while the next items are read.
struct ItemReading {
  std::string failure;  // when not empty, the item could not be taken, and says why
  Tidings atFetch;      // told when the item is handed out
  Tidings atClass;      // when its class is first asked
  Tidings atCard;       // when its card is written, else when the next item is handed out
  Answer<std::string> messageClass;
  std::vector<std::string> classDamage;  // the item's damage known once its class was read
  Answer<std::string> fileAs;
  Answer<Names> names;
  Answer<std::string> card;
  std::vector<std::string> cardDamage;  // what the card was read through, when written

  std::size_t Weight() const { return card.value ? card.value->size() : 0; }
};

// The readings the run is done with, freed on the reading thread, which made them: freeing memory
// another thread allocated takes that thread's arena lock, and it cost the run's thread, the
// slower of the two, a twentieth of its time.
class SpentReadings {
 public:
  SpentReadings() {
    spent_.reserve(kBatch);
    freeing_.reserve(kBatch);
  }

  // Called from a destructor: where the list has no room to grow, the reading is freed here.
  void Put(std::shared_ptr<ItemReading> reading) noexcept {
    std::lock_guard<std::mutex> lock(mutex_);
    try {
      spent_.push_back(std::move(reading));
    } catch (const std::bad_alloc&) {
    }
  }

  // On the reading thread: frees the readings put since the last call, once there are a few.
  void Free() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (spent_.size() < kBatch / 2)
        return;
      spent_.swap(freeing_);  // the two lists trade places and keep their room
    }
    freeing_.clear();
  }

 private:
  static constexpr std::size_t kBatch = 16;
  std::mutex mutex_;
  std::vector<std::shared_ptr<ItemReading>> spent_;
  std::vector<std::shared_ptr<ItemReading>> freeing_;  // the reading thread's alone
};

// The names of ReadNames, of a contact read whole or by them alone.
Names NamesOf(const Contact& contact) {
  return {contact.displayName, contact.surname, contact.givenName, contact.company,
          contact.emails[0]};
}

// Reads the items of one store in order, on the reading thread: the questions the run will ask
// of each, and the damage and warnings met, each at the question it belongs to.
class ItemReader {
 public:
  // `toldBefore`: how many of the file's damage notes were told when the reading began.
  ItemReader(const CardSaving& saving, std::size_t toldBefore)
      : saving_(saving), noted_(toldBefore) {}

  // `take` takes the item from its folder.
  template <typename Take>
  ItemReading Read(Take take) {
    ItemReading reading;
    store::Item::Child child;
    try {
      WarningCapture capture(reading.atFetch.warnings);
      child = take();
    } catch (const Failure& failure) {
      child = {nullptr, failure.what()};
    }
    Collect(reading.atFetch);  // what the folder's tables, the items before and this one met
    if (!child.item) {
      reading.failure = std::move(child.failure);
      return reading;
    }
    const store::Item& message = *child.item;
    {
      WarningCapture capture(reading.atClass.warnings);
      reading.messageClass = Answer<std::string>::Of([&] { return message.MessageClass(); });
      reading.classDamage = message.Damage();
    }
    Collect(reading.atClass);
    WarningCapture capture(reading.atCard.warnings);
    if (reading.messageClass.value && IsContactMessageClass(*reading.messageClass.value))
      ReadCard(message, reading);
    if (!reading.card.value) {
      reading.fileAs = Answer<std::string>::Of([&] { return ReadFileAs(message); });
      reading.names = Answer<Names>::Of([&] { return NamesOf(ReadNames(message)); });
    }
    Collect(reading.atCard);
    return reading;
  }

 private:
  void ReadCard(const store::Item& message, ItemReading& reading) {
    std::vector<std::string> damage;
    std::optional<Contact> contact;
    try {
      store::DamageScope scope(damage);
      contact.emplace(ReadContact(message));
    } catch (...) {
      reading.card.error = std::current_exception();
      return;
    }
    reading.card = Answer<std::string>::Of([&] { return WriteVCard(*contact, saving_.form); });
    reading.fileAs.value = contact->fileAs;
    reading.names.value = NamesOf(*contact);
    // The item's own damage, met before the card was read, comes first.
    reading.cardDamage = message.Damage();
    for (auto& note : damage) {
      if (std::find(reading.cardDamage.begin(), reading.cardDamage.end(), note) ==
          reading.cardDamage.end())
        reading.cardDamage.push_back(std::move(note));
    }
  }

  void Collect(Tidings& tidings) {
    tidings.damage = saving_.damage->file().DamageNotes(noted_);
    noted_ += tidings.damage.size();
  }

  const CardSaving& saving_;
  std::size_t noted_;
};

// An item handed out by a folder's items: every question is answered from what was read of it
// ahead, each failure raised at the question it belongs to.
class PstItem : public OutlookItem {
 public:
  PstItem(std::shared_ptr<ItemReading> reading, std::shared_ptr<const CardSaving> saving,
          std::shared_ptr<SpentReadings> spent)
      : reading_(std::move(reading)), saving_(std::move(saving)), spent_(std::move(spent)) {}
  ~PstItem() override { spent_->Put(std::move(reading_)); }
  PstItem(const PstItem&) = delete;
  PstItem& operator=(const PstItem&) = delete;

  // A class read through damage that says "no contact" is not taken for it: the item would be
  // passed over on damaged data's word, so it is reported instead.
  bool IsContact() override {
    const std::string& cls = reading_->messageClass.Get();
    Tell(reading_->atClass);
    if (IsContactMessageClass(cls))
      return true;
    if (!reading_->classDamage.empty()) {
      throw Failure("An item of the Outlook data file \"" + saving_->damage->path() +
                    "\" cannot be told a contact or not: its message class \"" + cls +
                    "\" was read from damaged data: " + Joined(reading_->classDamage) + ".");
    }
    return false;
  }

  std::string FileAs() override { return reading_->fileAs.Get(); }
  std::string FullName() override { return reading_->names.Get().fullName; }
  std::string LastName() override { return reading_->names.Get().lastName; }
  std::string FirstName() override { return reading_->names.Get().firstName; }
  std::string CompanyName() override { return reading_->names.Get().companyName; }
  std::string Email1Address() override { return reading_->names.Get().email1Address; }

  void SaveAs(const std::string& path, int32_t type) override {
    if (type != kOlVCard) {
      throw Failure("Cannot save the item as \"" + path + "\": save type " + std::to_string(type) +
                    " is not supported; only vCard (6) is.");
    }
    if (!IsContact()) {
      throw Failure("Cannot save the item as \"" + path + "\": it is not a contact (" +
                    *reading_->messageClass.value + ").");
    }
    saving_->writer->WriteReplacing(path, reading_->card.Get());
    Tell(reading_->atCard);
    if (!reading_->cardDamage.empty()) {
      throw Failure("The card \"" + path +
                    "\" was written from damaged data of the Outlook data file \"" +
                    saving_->damage->path() + "\": " + Joined(reading_->cardDamage) +
                    "; check it against the contact.");
    }
  }

  // Tells what was read of the item and not told yet: what the run did not ask.
  void TellRest() {
    Tell(reading_->atClass);
    Tell(reading_->atCard);
  }

 private:
  void Tell(Tidings& tidings) { standin::Tell(tidings, *saving_); }

  std::shared_ptr<ItemReading> reading_;
  std::shared_ptr<const CardSaving> saving_;  // shared by the items of a folder
  std::shared_ptr<SpentReadings> spent_;      // likewise
};

// An item the folder's records list but that cannot be read: it is handed out at its place like
// any other, and every question about it raises its failure, which says what is wrong and where.
class UnreadableItem : public OutlookItem {
 public:
  explicit UnreadableItem(std::string failure) : failure_(std::move(failure)) {}
  bool IsContact() override { throw Failure(failure_); }
  std::string FileAs() override { throw Failure(failure_); }
  std::string FullName() override { throw Failure(failure_); }
  std::string LastName() override { throw Failure(failure_); }
  std::string FirstName() override { throw Failure(failure_); }
  std::string CompanyName() override { throw Failure(failure_); }
  std::string Email1Address() override { throw Failure(failure_); }
  void SaveAs(const std::string&, int32_t) override { throw Failure(failure_); }

 private:
  std::string failure_;
};

// Which of a folder's items a collection hands out.
enum class Pick { kAll, kContacts };

// A folder's normal contents, counted in one pass when the collection is made and handed out one
// by one. From the first item handed out, a thread of its own reads the items ahead of the run
// (ReadAhead) and forms their cards, so that the run writes one card while the next are read;
// the store is the reading thread's until the last item is read or the reading stops. Of the
// contacts alone, those the contents table lists with a contact's class, and those whose class
// only the message itself can tell (the message is then opened once, here).
class PstItems : public OutlookItems {
 public:
  // `outside`: failure texts of messages that belong to no folder, counted here as items that
  // cannot be read (for the store's top-level folder).
  PstItems(const store::Item& folder, CardSaving saving, Pick pick,
           std::vector<std::string> outside = {})
      : children_(folder.NormalMessagesOneByOne()),
        outside_(std::move(outside)),
        saving_(std::make_shared<const CardSaving>(std::move(saving))) {
    if (pick == Pick::kContacts)
      PickContacts();
    inFolder_ = picked_ ? picked_->size() : children_->Count();
  }

  int32_t Count() override { return static_cast<int32_t>(inFolder_ + outside_.size()); }

  std::shared_ptr<OutlookItem> Next() override {
    if (last_)
      last_->TellRest();
    last_.reset();
    if (next_ < inFolder_) {
      try {
        return HandOut(TakeRead());
      } catch (...) {
        if (readAhead_)
          readAhead_->Stop();  // the store is the run's again
        throw;
      }
    }
    saving_->damage->TellNew();
    if (next_ - inFolder_ < outside_.size())
      return std::make_shared<UnreadableItem>(std::move(outside_[next_++ - inFolder_]));
    return nullptr;
  }

 private:
  // A child picked, and what was taken of it to tell its class.
  struct Picked {
    size_t index;
    std::optional<store::Item::Child> taken;
  };

  void PickContacts() {
    picked_.emplace();
    const size_t n = children_->Count();
    for (size_t i = 0; i < n; ++i) {
      if (std::optional<std::string> listed = children_->ListedClass(i)) {
        if (IsContactMessageClass(*listed))
          picked_->push_back({i, std::nullopt});
        continue;
      }
      store::Item::Child child = children_->Take(i);
      if (child.item) {
        try {
          if (!IsContactMessageClass(child.item->MessageClass()))
            continue;
        } catch (const Failure& failure) {
          child = {nullptr, failure.what()};
        }
      }
      picked_->push_back({i, std::move(child)});
    }
  }

  std::shared_ptr<ItemReading> TakeRead() {
    if (!readAhead_) {
      reader_.emplace(*saving_, saving_->damage->told());
      // Each reading is made whole on the reading thread: the run's own thread is the slower.
      readAhead_.emplace(
          inFolder_, [this](size_t at) { return std::make_shared<ItemReading>(ReadChild(at)); },
          [](const std::shared_ptr<ItemReading>& reading) { return reading->Weight(); });
    }
    ++next_;
    if (std::optional<std::shared_ptr<ItemReading>> reading = readAhead_->Take())
      return std::move(*reading);
    throw Failure("Item " + std::to_string(next_) +
                  " of the folder and those after it cannot be read: reading them stopped at the "
                  "failure of an earlier item.");
  }

  ItemReading ReadChild(size_t at) {
    spent_->Free();
    return reader_->Read([&] { return TakeChild(at); });
  }

  std::shared_ptr<OutlookItem> HandOut(std::shared_ptr<ItemReading> reading) {
    Tell(reading->atFetch, *saving_);
    if (!reading->failure.empty())
      return std::make_shared<UnreadableItem>(std::move(reading->failure));
    last_ = std::make_shared<PstItem>(std::move(reading), saving_, spent_);
    return last_;
  }

  // On the reading thread.
  store::Item::Child TakeChild(size_t at) {
    if (!picked_)
      return children_->Take(at);
    Picked& picked = (*picked_)[at];
    if (picked.taken)
      return std::move(*picked.taken);
    return children_->Take(picked.index);
  }

  std::unique_ptr<store::Item::Children> children_;
  std::vector<std::string> outside_;
  std::shared_ptr<const CardSaving> saving_;
  std::optional<std::vector<Picked>> picked_;
  size_t inFolder_ = 0;
  size_t next_ = 0;
  std::optional<ItemReader> reader_;
  std::shared_ptr<SpentReadings> spent_ = std::make_shared<SpentReadings>();
  std::optional<ReadAhead<std::shared_ptr<ItemReading>>>
      readAhead_;                  // last: stopped before what it reads goes
  std::shared_ptr<PstItem> last_;  // the item handed out last, to tell what was read beyond it
};

class PstFolders : public OutlookFolders {
 public:
  // `failures`: by place, why the folder there (null) cannot be read.
  explicit PstFolders(std::vector<std::shared_ptr<OutlookFolder>> folders,
                      std::map<size_t, std::string> failures = {})
      : folders_(std::move(folders)), failures_(std::move(failures)) {}
  int32_t Count() override { return static_cast<int32_t>(folders_.size()); }
  std::shared_ptr<OutlookFolder> Item(int32_t index) override {
    if (index < 1 || index > Count()) {
      throw Failure("There is no folder number " + std::to_string(index) + "; the collection has " +
                    std::to_string(Count()) + ".");
    }
    return Taken(static_cast<size_t>(index - 1));
  }
  std::shared_ptr<OutlookFolder> GetLast() override {
    if (folders_.empty())
      throw Failure("The folder collection is empty.");
    return Taken(folders_.size() - 1);
  }

 private:
  std::shared_ptr<OutlookFolder> Taken(size_t at) {
    if (auto failure = failures_.find(at); failure != failures_.end())
      throw Failure(failure->second);
    return folders_[at];
  }

  std::vector<std::shared_ptr<OutlookFolder>> folders_;
  std::map<size_t, std::string> failures_;
};

class PstFolder : public OutlookFolder {
 public:
  PstFolder(std::shared_ptr<store::Item> folder, CardSaving saving,
            std::weak_ptr<StoreState> store = {})
      : folder_(std::move(folder)), saving_(saving), store_(std::move(store)) {}

  std::string Name() override { return folder_->FolderName(); }

  std::string ContainerClass() override { return ContainerClassOf(*folder_); }

  bool Hidden() override {
    auto e = folder_->Find(kTagAttributeHidden, store::kTypeBoolean);
    return e && e->Boolean();
  }

  std::string EntryID() override {
    char id[16];
    std::snprintf(id, sizeof id, "%08X", static_cast<unsigned>(folder_->Identifier()));
    return id;
  }

  // The top-level folder of a store also holds, as items that cannot be read, the store's
  // messages that belong to no folder.
  std::shared_ptr<OutlookItems> Items() override { return ItemsPicked(Pick::kAll); }
  std::shared_ptr<OutlookItems> ContactItems() override { return ItemsPicked(Pick::kContacts); }

  // A subfolder that cannot be read fails when it is taken (Item), not the whole collection:
  // the others are still there.
  std::shared_ptr<OutlookFolders> Folders() override {
    std::vector<std::shared_ptr<OutlookFolder>> subs;
    std::map<size_t, std::string> failures;
    const int n = folder_->SubFolderCount();
    for (int i = 0; i < n; ++i) {
      try {
        subs.push_back(std::make_shared<PstFolder>(
            std::shared_ptr<store::Item>(folder_->SubFolder(i)), saving_));
      } catch (const Failure& failure) {
        failures.emplace(subs.size(), failure.what());
        subs.push_back(nullptr);
      }
    }
    return std::make_shared<PstFolders>(std::move(subs), std::move(failures));
  }

  // The store whose top-level folder this is; null for every other folder.
  std::shared_ptr<StoreState> storeOfRoot() const { return store_.lock(); }
  const std::shared_ptr<store::Item>& item() const { return folder_; }

 private:
  std::shared_ptr<OutlookItems> ItemsPicked(Pick pick) {
    std::shared_ptr<StoreState> store = storeOfRoot();
    return std::make_shared<PstItems>(
        *folder_, saving_, pick,
        store ? store->file->MessagesOutsideFolders() : std::vector<std::string>());
  }

  std::shared_ptr<store::Item> folder_;
  CardSaving saving_;
  std::weak_ptr<StoreState> store_;
};

// The IPM subtree: through the store's entry id, else the root folder's "Top of ..." folder.
std::shared_ptr<store::Item> TopLevelFolder(const std::shared_ptr<store::File>& file,
                                            const store::Item* messageStore) {
  if (messageStore) {
    if (auto nid = EntryIdOf(*messageStore, kTagIpmSubtreeEntryId)) {
      if (auto item = file->ItemByIdentifier(*nid); item && item->IsFolder()) {
        return item;
      }
    }
  }
  std::shared_ptr<store::Item> root = file->RootFolder();
  const int n = root->SubFolderCount();
  for (int i = 0; i < n; ++i) {
    std::shared_ptr<store::Item> sub = root->SubFolder(i);
    if (sub->FolderName().rfind("Top of ", 0) == 0)
      return sub;
  }
  return root;
}

std::shared_ptr<StoreState> OpenStore(const std::string& path, const PstOutlookOptions& options,
                                      PstPlatform platform,
                                      std::shared_ptr<const store::TextDecoding> decoding) {
  auto state = std::make_shared<StoreState>();
  state->path = path;
  store::CheckSignature(path);
  const std::optional<FileIdentity> identity = platform.files.Identify(path);
  if (!identity) {
    throw Failure("Cannot open the Outlook data file \"" + path + "\": it cannot be looked up.");
  }
  state->identity = *identity;
  state->file = store::OpenFile(path, std::move(decoding));
  state->damage = std::make_shared<DamageTeller>(path, state->file, options.warn);
  state->damage->TellNew();
  const auto store = state->file->MessageStore();
  const std::optional<uint32_t> kept = store ? Int32Of(*store, kTagPstPassword) : std::nullopt;
  std::optional<std::string> password = options.password;
  if (kept && *kept != 0 && !password && options.askPassword)
    password = options.askPassword(path);
  CheckStorePassword(path, kept, password);
  state->root = std::make_shared<PstFolder>(TopLevelFolder(state->file, store.get()),
                                            SavingOf(options, platform, *state), state);
  return state;
}

// Depth first, in stored order: the first contacts folder at or below the folder.
std::shared_ptr<store::Item> FirstContactsFolder(const std::shared_ptr<store::Item>& folder,
                                                 int depth) {
  if (depth > 64)
    return nullptr;  // deeper than any real folder tree: a loop in a damaged file
  const int n = folder->SubFolderCount();
  for (int i = 0; i < n; ++i) {
    std::shared_ptr<store::Item> sub = folder->SubFolder(i);
    if (IsContactsFolderClass(ContainerClassOf(*sub)))
      return sub;
    if (auto found = FirstContactsFolder(sub, depth + 1))
      return found;
  }
  return nullptr;
}

// The folder a message-store entry id names, or null.
std::shared_ptr<store::Item> FolderNamedBy(const std::shared_ptr<store::File>& file,
                                           const store::Item& holder, uint32_t tag) {
  if (auto nid = EntryIdOf(holder, tag)) {
    if (auto item = file->ItemByIdentifier(*nid); item && item->IsFolder())
      return item;
  }
  return nullptr;
}

// The store's Contacts folder (10) as Outlook finds it: the contact folder entry id on the
// message store, the root folder or the Inbox, else the first contacts folder of the tree; its
// Deleted Items folder (3): the wastebasket entry id of the message store. Null when it has none.
std::shared_ptr<OutlookFolder> DefaultFolderOf(const StoreState& state, int32_t kind,
                                               CardSaving saving) {
  const auto& file = state.file;
  const auto made = [&](std::shared_ptr<store::Item> folder) -> std::shared_ptr<OutlookFolder> {
    return folder ? std::make_shared<PstFolder>(std::move(folder), saving) : nullptr;
  };
  std::shared_ptr<store::Item> messageStore = file->MessageStore();
  if (kind == kOlFolderDeletedItems)
    return messageStore ? made(FolderNamedBy(file, *messageStore, kTagIpmWastebasketEntryId))
                        : nullptr;
  if (kind != kOlFolderContacts)
    return nullptr;
  std::vector<std::shared_ptr<store::Item>> holders;
  if (messageStore)
    holders.push_back(std::move(messageStore));
  holders.push_back(file->RootFolder());
  auto top = std::static_pointer_cast<PstFolder>(state.root)->item();
  const int n = top->SubFolderCount();
  for (int i = 0; i < n; ++i) {
    std::shared_ptr<store::Item> sub = top->SubFolder(i);
    if (sub->FolderName() == "Inbox") {
      holders.push_back(sub);
      break;
    }
  }
  for (const auto& holder : holders) {
    if (auto folder = FolderNamedBy(file, *holder, kTagIpmContactEntryId))
      return made(std::move(folder));
  }
  return made(FirstContactsFolder(top, 0));
}

// The default store as the profile names it, or why the profile could not be read.
struct DefaultStore {
  std::optional<std::string> path;
  std::string problem;
};

class PstNamespace : public OutlookNamespace {
 public:
  PstNamespace(PstOutlookOptions options, PstPlatform platform, DefaultStore defaultStore,
               std::shared_ptr<const store::TextDecoding> decoding)
      : options_(std::move(options)),
        platform_(platform),
        decoding_(std::move(decoding)),
        defaultPath_(std::move(defaultStore.path)),
        profileProblem_(std::move(defaultStore.problem)) {}

  std::shared_ptr<OutlookFolder> GetDefaultFolder(int32_t kind) override {
    if (kind != kOlFolderContacts) {
      throw Failure("The default folder of kind " + std::to_string(kind) +
                    " is not available; only the Contacts folder (10) is.");
    }
    if (!profileProblem_.empty()) {
      throw Failure(
          "No default Outlook data file is known, so there is no default Contacts "
          "folder. " +
          profileProblem_);
    }
    if (!defaultPath_ && options_.profilePath.empty()) {
      throw Failure(
          "No default Outlook data file is known, so there is no default Contacts folder: there is "
          "no place for the Outlook profile, as the user has no configuration folder. Name the "
          "profile file with " +
          std::string(kProfileVariable) + ".");
    }
    if (!defaultPath_) {
      throw Failure(
          "No default Outlook data file is set, so there is no default Contacts folder. Name one "
          "with: tarnvex-export --set-default-store FILE");
    }
    OpenDefault(/*quiet=*/false);
    if (auto folder = DefaultFolderOf(*stores_.front(), kind,
                                      SavingOf(options_, platform_, *stores_.front())))
      return folder;
    throw Failure("The Outlook data file \"" + stores_.front()->path +
                  "\" has no Contacts folder.");
  }

  void AddStore(const std::string& path) override {
    OpenDefault(/*quiet=*/true);
    if (const std::optional<FileIdentity> identity = platform_.files.Identify(path)) {
      for (const auto& s : stores_) {
        if (s->identity == *identity)
          return;  // already open
      }
    }
    stores_.push_back(OpenStore(path, options_, platform_, decoding_));
  }

  void RemoveStore(OutlookFolder& rootFolder) override {
    const auto* folder = dynamic_cast<PstFolder*>(&rootFolder);
    const std::shared_ptr<StoreState> state = folder ? folder->storeOfRoot() : nullptr;
    auto it =
        std::find_if(stores_.begin(), stores_.end(), [&](const auto& s) { return s == state; });
    if (!state || it == stores_.end()) {
      throw Failure("The folder \"" + rootFolder.Name() +
                    "\" is not the top-level folder of an open store.");
    }
    if (defaultOpen_ && it == stores_.begin()) {
      throw Failure("The default store \"" + state->path + "\" cannot be removed.");
    }
    stores_.erase(it);
  }

  std::shared_ptr<OutlookFolders> Folders() override {
    OpenDefault(/*quiet=*/true);
    std::vector<std::shared_ptr<OutlookFolder>> roots;
    for (const auto& s : stores_)
      roots.push_back(s->root);
    return std::make_shared<PstFolders>(std::move(roots));
  }

  std::vector<std::shared_ptr<OutlookStore>> Stores() override;

 private:
  // Opens the default store once, first among the stores. Quietly: a default store that cannot
  // be opened is simply not among them (GetDefaultFolder reports why).
  void OpenDefault(bool quiet) {
    if (defaultOpen_ || !defaultPath_)
      return;
    try {
      stores_.insert(stores_.begin(), OpenStore(*defaultPath_, options_, platform_, decoding_));
      defaultOpen_ = true;
    } catch (const Failure&) {
      if (!quiet)
        throw;
    }
  }

  PstOutlookOptions options_;
  PstPlatform platform_;
  std::shared_ptr<const store::TextDecoding> decoding_;
  std::optional<std::string> defaultPath_;
  std::string profileProblem_;
  bool defaultOpen_ = false;
  std::vector<std::shared_ptr<StoreState>> stores_;
};

class PstStore : public OutlookStore {
 public:
  PstStore(std::shared_ptr<StoreState> state, CardSaving saving)
      : state_(std::move(state)), saving_(saving) {}
  std::string FilePath() override { return state_->path; }
  std::shared_ptr<OutlookFolder> GetRootFolder() override { return state_->root; }
  std::shared_ptr<OutlookFolder> GetDefaultFolder(int32_t kind) override {
    return DefaultFolderOf(*state_, kind, saving_);
  }

 private:
  std::shared_ptr<StoreState> state_;
  CardSaving saving_;
};

std::vector<std::shared_ptr<OutlookStore>> PstNamespace::Stores() {
  OpenDefault(/*quiet=*/true);
  std::vector<std::shared_ptr<OutlookStore>> out;
  for (const auto& s : stores_)
    out.push_back(std::make_shared<PstStore>(s, SavingOf(options_, platform_, *s)));
  return out;
}

class PstApplication : public OutlookApplication {
 public:
  PstApplication(PstOutlookOptions options, PstPlatform platform, DefaultStore defaultStore,
                 std::shared_ptr<const store::TextDecoding> decoding)
      : options_(std::move(options)),
        platform_(platform),
        defaultStore_(std::move(defaultStore)),
        decoding_(std::move(decoding)) {}

  std::shared_ptr<OutlookNamespace> GetNamespace(const std::string& type) override {
    if (!text::EqualsIgnoringAsciiCase(type, "MAPI")) {
      throw Failure("The namespace \"" + type + "\" is not available; only \"MAPI\" is.");
    }
    if (!ns_)
      ns_ = std::make_shared<PstNamespace>(options_, platform_, defaultStore_, decoding_);
    return ns_;
  }

 private:
  PstOutlookOptions options_;
  PstPlatform platform_;
  DefaultStore defaultStore_;
  std::shared_ptr<const store::TextDecoding> decoding_;
  std::shared_ptr<PstNamespace> ns_;
};

class PstAutomation : public OutlookAutomation {
 public:
  PstAutomation(PstOutlookOptions options, PstPlatform platform)
      : options_(std::move(options)), platform_(platform) {}

  // A profile that cannot be read does not stop the stand-in: only the default Contacts folder,
  // the one thing that needs it, is then unavailable, and says why.
  std::shared_ptr<OutlookApplication> CreateApplication() override {
    DefaultStore store;
    std::optional<uint32_t> profileCodePage;
    std::optional<vcard::Charset> profileCharset;
    try {
      store.path = ReadDefaultStore(options_.profilePath, platform_.files);
      profileCodePage = ReadProfileCodePage(options_.profilePath, platform_.files);
      profileCharset = ReadProfileCharset(options_.profilePath, platform_.files);
    } catch (const Failure& failure) {
      store.problem = failure.what();
    }
    PstOutlookOptions options = options_;
    if (!options.charset)
      options.charset = profileCharset;
    // One decoding for the run, so that its warning comes once.
    if (!decoding_) {
      decoding_ = std::make_shared<const store::TextDecoding>(
          platform_.codePages,
          options_.codePage.value_or(
              profileCodePage.value_or(store::TextDecoding::kDefaultCodePage)),
          [warn = options_.warn](const std::string& warning) {
            WarningCapture::Warn(warning, warn);
          });
    }
    return std::make_shared<PstApplication>(std::move(options), platform_, std::move(store),
                                            decoding_);
  }

 private:
  PstOutlookOptions options_;
  PstPlatform platform_;
  std::shared_ptr<const store::TextDecoding> decoding_;
};

}  // namespace

void SetDefaultStore(const std::string& profilePath, const std::string& storePath,
                     PstPlatform platform) {
  const std::string absolute = platform.files.AbsolutePath(storePath);
  // A quick look now tells the user at once when the file is no store at all; reading it whole
  // would take long for a big file and needs its password.
  store::CheckSignature(absolute);
  WriteDefaultStore(profilePath, absolute, platform.files, platform.writer);
}

std::unique_ptr<OutlookAutomation> MakePstOutlook(PstOutlookOptions options, PstPlatform platform) {
  return std::make_unique<PstAutomation>(std::move(options), platform);
}

void CheckStorePassword(const std::string& path, std::optional<uint32_t> kept,
                        const std::optional<std::string>& password) {
  if (!kept || *kept == 0)
    return;
  if (!password) {
    throw Failure("The Outlook data file \"" + path +
                  "\" is protected by a password and cannot be opened without it.");
  }
  if (PstPasswordCrc(*password) != *kept) {
    throw Failure("The password given for the Outlook data file \"" + path +
                  "\" is not its password.");
  }
}

// MS-PST section 5.3: the CRC of data blocks (reflected polynomial 0xEDB88320, initial value 0,
// no final inversion).
uint32_t PstPasswordCrc(const std::string& password) {
  return text::Crc32(password.data(), password.size());
}

}  // namespace tarnvex::standin
