#include "export/export_run.h"

#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

#include "dialogs/step_guard.h"
#include "export/file_helpers.h"
#include "export/is_installed.h"
#include "export/path_key_set.h"

namespace tarnvex {
namespace {

constexpr int kOutlookPauseMs = 1000;
// Levels of folders below the top-level folder that a PST export searches for contacts.
constexpr int kMaxFolderDepth = 64;

std::string Trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string::npos)
    return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// The card paths of one run, compared by the file system's name key, so that no card of the run
// replaces another one there.
class PathsOfRun {
 public:
  explicit PathsOfRun(FileSystem& files) : files_(files) {}

  // The first of "folder/stem.vcf", "folder/stem (2).vcf", "folder/stem (3).vcf", ... that no
  // card of this run took (also under its own file-as text, such as a contact filed as
  // "Smith (2)"), each name fitted to the file system's longest name. The search resumes where
  // the last one for the same name stopped, so equal names cost constant time each: names are
  // only ever taken, never freed, so no earlier number can have become free.
  std::string FreePath(const std::string& folder, const std::string& stem) {
    std::string path = folder + FittedFileName(stem, kExtension, files_);
    std::string key = files_.NameKey(path);
    if (!taken_.Contains(key))
      return Found(std::move(path), std::move(key));
    int& next = nextNumber_.try_emplace(std::move(key), 2).first->second;
    for (;; ++next) {
      const std::string tail = " (" + std::to_string(next) + ")" + std::string(kExtension);
      std::string candidate = folder + FittedFileName(stem, tail, files_);
      std::string candidateKey = files_.NameKey(candidate);
      if (!taken_.Contains(candidateKey))
        return Found(std::move(candidate), std::move(candidateKey));
    }
  }

  // A path is taken once a card was to be saved there, whether or not the save succeeded: the
  // next contact does not try a name the file system already refused.
  void Take(const std::string& path) {
    taken_.Insert(path == found_ ? foundKey_ : files_.NameKey(path));
  }

  static constexpr std::string_view kExtension = ".vcf";

 private:
  // The path FreePath gave last, and its key, which Take then need not make again.
  std::string Found(std::string path, std::string key) {
    found_ = path;
    foundKey_ = std::move(key);
    return path;
  }

  FileSystem& files_;
  PathKeySet taken_;
  std::string found_, foundKey_;
  // By the key of a name already taken: the first number that may still be free for it.
  std::unordered_map<std::string, int> nextNumber_;
};

// How a run that stops early ends: the step that shows its message, and the message.
struct Closing {
  int32_t line;
  std::string_view message;
};

class ExportRun {
 public:
  ExportRun(ExportView& view, const ExportServices& services)
      : view_(view),
        services_(services),
        guard_(services.boxes, "PushButton3_Click"),
        paths_(services.files) {}

  ExportSummary Run() {
    if (!guard_.Test(100, [&] { return IsOutlookAvailable(services_.outlook); })) {
      return End(188, kMsgOutlookMissing);
    }
    if (!guard_.Test(102, [&] { return FolderExists(services_.files, view_.Text3()); })) {
      return End(186, kMsgFolderMissing);
    }
    SetPointer(104, PointerMode::kBusy);
    Pause(106);
    OpenOutlook();
    if (std::optional<Closing> refusal = TakeSourceFolder()) {
      return End(refusal->line, refusal->message);
    }
    CountItems();
    if (count_ <= 0) {
      SetPointer(178, PointerMode::kDefault);
      if (guard_.Test(180, [&] { return view_.Option2(); }))
        DetachStore(182);
      return End(184, kMsgNoContacts);
    }
    ExportItems();
    if (guard_.Test(162, [&] { return view_.Option2(); }))
      DetachStore(164);
    guard_.Run(166, [&] { namespace_.reset(); });
    guard_.Run(168, [&] { application_.reset(); });
    SetPointer(170, PointerMode::kDefault);
    return End(176, kMsgDone);
  }

 private:
  void SetPointer(int32_t line, PointerMode mode) {
    guard_.Run(line, [&] { view_.SetPointer(mode); });
  }

  void Pause(int32_t line) {
    guard_.Run(line, [&] { services_.sleeper.Sleep(kOutlookPauseMs); });
  }

  void OpenOutlook() {
    guard_.Run(108, [&] { application_ = services_.outlook.CreateApplication(); });
    guard_.Run(110, [&] { namespace_ = Use(application_).GetNamespace("MAPI"); });
  }

  // Takes the folder to export; gives how the run ends when the PST source is refused.
  std::optional<Closing> TakeSourceFolder() {
    if (guard_.Test(112, [&] { return view_.Option1(); })) {
      guard_.Run(114, [&] { folder_ = Use(namespace_).GetDefaultFolder(kOlFolderContacts); });
      return std::nullopt;
    }
    if (!guard_.Test(116, [&] { return view_.Option2(); }))
      return std::nullopt;
    if (guard_.Test(118, [&] { return Trimmed(view_.Text2()).empty(); })) {
      SetPointer(120, PointerMode::kDefault);
      return Closing{122, kMsgForgotPst};
    }
    if (guard_.Test(124, [&] { return services_.files.Dir(view_.Text2()).empty(); })) {
      SetPointer(126, PointerMode::kDefault);
      return Closing{128, kMsgPstNotFound};
    }
    TakePstFolder();
    return std::nullopt;
  }

  // A store already open for the file is exported as it is and stays open; otherwise the file
  // is attached for this run, and its own store is taken, not merely the last one opened.
  void TakePstFolder() {
    const std::string path = view_.Text2();
    std::shared_ptr<OutlookStore> openStore;
    std::shared_ptr<OutlookFolder> openRoot;
    bool attached = false;
    guard_.Run(130, [&] {
      openStore = StoreFor(path);
      if (openStore) {
        openRoot = openStore->GetRootFolder();
      } else {
        Use(namespace_).AddStore(path);
        attached = true;
      }
    });
    if (openRoot) {
      store_ = openStore;
      folder_ = openRoot;
    }
    if (!attached)
      return;
    Pause(132);
    guard_.Run(134, [&] {
      std::shared_ptr<OutlookStore> store = StoreFor(path);
      if (!store) {
        throw Failure("The PST file \"" + path +
                      "\" was attached, but Outlook lists no store for it.");
      }
      std::shared_ptr<OutlookFolder> root = store->GetRootFolder();
      store_ = store;
      folder_ = root;
      attachedRoot_ = root;
    });
  }

  std::shared_ptr<OutlookStore> StoreFor(const std::string& path) {
    for (const std::shared_ptr<OutlookStore>& store : Use(namespace_).Stores()) {
      if (services_.files.SameFile(store->FilePath(), path))
        return store;
    }
    return nullptr;
  }

  // The source folder and every visible folder below it, depth first in stored order: a
  // contacts folder brings all its items (distribution lists are passed over), any other folder
  // its contact items alone. The store's Deleted Items folder and what lies below it are only
  // counted, unless the run is asked to export them too.
  void CountItems() {
    if (!guard_.Run(136, [&] { AddItemsOf(Use(folder_)); }))
      return;
    if (store_ && !services_.includeDeletedItems) {
      guard_.Run(136, [&] {
        if (std::shared_ptr<OutlookFolder> deleted =
                store_->GetDefaultFolder(kOlFolderDeletedItems))
          deletedItemsId_ = deleted->EntryID();
      });
    }
    WalkSubfolders(*folder_, 0, &ExportRun::AddItemsOf);
  }

  void AddItemsOf(OutlookFolder& folder) {
    std::shared_ptr<OutlookItems> items =
        IsContactsFolderClass(folder.ContainerClass()) ? folder.Items() : folder.ContactItems();
    const int32_t count = items->Count();
    sources_.push_back(items);
    count_ += count;
  }

  void CountDeletedContactsOf(OutlookFolder& folder) {
    summary_.contactsInDeletedItems += folder.ContactItems()->Count();
  }

  using FolderVisit = void (ExportRun::*)(OutlookFolder&);

  // Visits the visible subfolders of `parent`, and theirs, the Deleted Items folder and those
  // below it with CountDeletedContactsOf. `depth`: how far the parent lies below the source
  // folder. Outlook's folders are never nested that deep; a store whose folders form a loop
  // would be walked for ever, so the walk stops there and says so once for the folder whose
  // subfolders it leaves out.
  void WalkSubfolders(OutlookFolder& parent, int depth, FolderVisit visit) {
    if (depth >= kMaxFolderDepth) {
      guard_.Run(136, [&] {
        if (parent.Folders()->Count() > 0) {
          throw Failure("The folder \"" + parent.Name() + "\" lies " +
                        std::to_string(kMaxFolderDepth) +
                        " levels below the top-level folder; its subfolders are not searched "
                        "for contacts.");
        }
      });
      return;
    }
    std::shared_ptr<OutlookFolders> subfolders;
    if (!guard_.Run(136, [&] { subfolders = parent.Folders(); }))
      return;
    int32_t total = 0;
    guard_.Run(136, [&] { total = subfolders->Count(); });
    for (int32_t i = 1; i <= total; ++i) {
      std::shared_ptr<OutlookFolder> subfolder;
      FolderVisit subfolderVisit = visit;
      guard_.Run(136, [&] {
        std::shared_ptr<OutlookFolder> candidate = subfolders->Item(i);
        if (Use(candidate).Hidden())
          return;
        if (!deletedItemsId_.empty() && candidate->EntryID() == deletedItemsId_)
          subfolderVisit = &ExportRun::CountDeletedContactsOf;
        subfolder = candidate;
        (this->*subfolderVisit)(*candidate);
      });
      if (subfolder)
        WalkSubfolders(*subfolder, depth + 1, subfolderVisit);
    }
  }

  void ExportItems() {
    if (services_.progress)
      services_.progress->Started(count_);
    for (const std::shared_ptr<OutlookItems>& items : sources_) {
      std::shared_ptr<OutlookItem> item;
      // A failed fetch ends this folder's enumeration; the other folders still follow.
      bool fetched = guard_.Run(148, [&] { item = items->Next(); });
      while (fetched && item) {
        ExportItem(item);
        if (services_.progress)
          services_.progress->ItemDone();
        std::shared_ptr<OutlookItem> next;
        fetched = guard_.Run(160, [&] { next = items->Next(); });
        item = next;
      }
    }
  }

  // Each item ends one way: its card written, passed over (not a contact), or failed; an item
  // whose steps report more than one failure (a damaged item fails its contact test, then its
  // file-as text) counts as one failure, so cards + passed over + failures is the item count.
  // A card written after a failure was reported for its item counts as a card and a failure.
  void ExportItem(const std::shared_ptr<OutlookItem>& item) {
    const int reportsBefore = guard_.reports();
    const bool written = TryExportItem(item);
    const int reports = guard_.reports() - reportsBefore;
    itemReports_ += reports;
    if (written)
      ++summary_.cardsWritten;
    if (reports > 0)
      ++failedItems_;
  }

  // True when the item's card was written; a contact test that gives false counts it as passed
  // over.
  bool TryExportItem(const std::shared_ptr<OutlookItem>& item) {
    if (!guard_.Test(150, [&] { return item->IsContact(); })) {
      ++summary_.itemsPassedOver;
      return false;
    }
    std::shared_ptr<OutlookItem> contact;
    guard_.Run(154, [&] { contact = item; });
    std::string path;
    // Without a name of its own a contact has no path: it is reported, never saved under the
    // path of the contact before it.
    const bool named = guard_.Run(156, [&] {
      const char separator = services_.files.PathSeparator();
      // The stem holds no separator, so collapsing the folder part alone gives the same path.
      path = paths_.FreePath(CollapseBackslashes(view_.Text3() + separator, separator),
                             CardStem(Use(contact), services_.files));
    });
    if (!named)
      return false;
    return guard_.Run(158, [&] {
      paths_.Take(path);
      Use(contact).SaveAs(path, kOlVCard);
    });
  }

  // Detaches the PST only when this run attached it.
  void DetachStore(int32_t line) {
    if (!attachedRoot_)
      return;
    guard_.Run(line, [&] { Use(namespace_).RemoveStore(*attachedRoot_); });
    attachedRoot_.reset();
  }

  void Show(int32_t line, std::string_view message) {
    guard_.Run(line, [&] {
      services_.boxes.Show(std::string(message), services_.appTitle, MessageIcon::kNone);
    });
  }

  ExportSummary End(int32_t line, std::string_view message) {
    Show(line, message);
    summary_.closingMessage = message;
    summary_.failures = guard_.reports() - itemReports_ + failedItems_;
    return summary_;
  }

  ExportView& view_;
  const ExportServices& services_;
  StepGuard guard_;
  std::shared_ptr<OutlookApplication> application_;
  std::shared_ptr<OutlookNamespace> namespace_;
  // The PST source's store, and the folder the run exports.
  std::shared_ptr<OutlookStore> store_;
  std::shared_ptr<OutlookFolder> folder_;
  // The entry id of the store's Deleted Items folder while its contacts are left out.
  std::string deletedItemsId_;
  std::vector<std::shared_ptr<OutlookItems>> sources_;
  int32_t count_ = 0;
  // The top-level folder of the store this run attached, while it is attached.
  std::shared_ptr<OutlookFolder> attachedRoot_;
  PathsOfRun paths_;
  // Failures reported in the steps of items, and the items with at least one.
  int itemReports_ = 0;
  int failedItems_ = 0;
  ExportSummary summary_;
};

}  // namespace

ExportSummary PushButton3_Click(ExportView& view, const ExportServices& services) {
  return ExportRun(view, services).Run();
}

}  // namespace tarnvex
