#pragma once

// An Outlook whose stores, folders and items a test lays out, which records the calls it gets
// and fails the calls a test names.

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/outlook.h"

namespace tarnvex::fakes {

struct FakeItemSpec {
  bool contact = true;
  std::string fileAs;
  bool failIsContact = false;
  bool failFileAs = false;
  bool failSaveAs = false;
  // What a card is named after without a file-as text.
  std::string fullName{};
  std::string lastName{};
  std::string firstName{};
  std::string company{};
  std::string email1{};
};

struct FakeFolderSpec {
  std::string name;
  std::string containerClass = "IPF.Note";
  bool hidden = false;
  std::vector<FakeItemSpec> items{};
  std::vector<FakeFolderSpec> subfolders{};
  bool failCount = false;
  // Fetching the item at this 0-based position fails; -1: none fails.
  int failFetchAt = -1;
};

FakeItemSpec Contact(std::string fileAs);
FakeItemSpec DistList(std::string name);

struct FakeStoreSpec {
  std::string filePath;
  FakeFolderSpec root;
  // Index into root.subfolders of the Deleted Items folder; -1: the store has none.
  int deletedItemsIndex = -1;
};

struct SavedCard {
  std::string path;
  std::string fileAs;
};

class FakeOutlook : public OutlookAutomation {
 public:
  FakeOutlook();

  // The default store, whose Contacts folder GetDefaultFolder(10) gives.
  FakeStoreSpec defaultStore;
  // Index into defaultStore.root.subfolders of the Contacts folder.
  int contactsFolderIndex = -1;
  // Files AddStore can open, by path.
  std::map<std::string, FakeStoreSpec> pstFiles;
  // Names of calls that fail: "CreateApplication", "GetNamespace", "GetDefaultFolder",
  // "AddStore", "RemoveStore", "Stores".
  std::set<std::string> failing;
  bool createGivesNull = false;
  // AddStore lists the new store right after the default store instead of last.
  bool attachesBeforeOthers = false;

  // What happened, in order: "CreateApplication", "GetNamespace MAPI", "AddStore <path>",
  // "RemoveStore <root name>", "SaveAs <path> <type>", "Items <folder>", "ContactItems <folder>",
  // "FullName <file-as>" (and the other names a card falls back on).
  std::vector<std::string> calls;
  std::vector<SavedCard> saved;

  // Paths of the stores open now, the default store first.
  std::vector<std::string> OpenStorePaths() const;
  // Opens a PST as if the user had attached it in Outlook before the run.
  void OpenBeforeRun(const std::string& path);

  std::shared_ptr<OutlookApplication> CreateApplication() override;

  // For the fake's own objects.
  struct Store;
  std::vector<std::shared_ptr<Store>> openStores;
  void Record(std::string call) { calls.push_back(std::move(call)); }
  void FailIfNamed(const std::string& call) const;
  std::shared_ptr<Store> OpenStore(const FakeStoreSpec& spec);
};

}  // namespace tarnvex::fakes
