#include "tests/fakes/fake_outlook.h"

#include <algorithm>
#include <cstdint>

#include "platform/failure.h"

namespace tarnvex::fakes {

FakeItemSpec Contact(std::string fileAs) {
  return {true, std::move(fileAs)};
}
FakeItemSpec DistList(std::string name) {
  return {false, std::move(name)};
}

namespace {

class Item : public OutlookItem {
 public:
  Item(FakeOutlook& outlook, FakeItemSpec spec) : outlook_(outlook), spec_(std::move(spec)) {}
  bool IsContact() override {
    if (spec_.failIsContact)
      throw Failure("IsContact failed");
    return spec_.contact;
  }
  std::string FileAs() override {
    if (spec_.failFileAs)
      throw Failure("FileAs failed for " + spec_.fileAs);
    return spec_.fileAs;
  }
  std::string FullName() override { return Asked("FullName", spec_.fullName); }
  std::string LastName() override { return Asked("LastName", spec_.lastName); }
  std::string FirstName() override { return Asked("FirstName", spec_.firstName); }
  std::string CompanyName() override { return Asked("CompanyName", spec_.company); }
  std::string Email1Address() override { return Asked("Email1Address", spec_.email1); }
  void SaveAs(const std::string& path, int32_t type) override {
    outlook_.Record("SaveAs " + path + " " + std::to_string(type));
    if (spec_.failSaveAs)
      throw Failure("Cannot save " + path);
    outlook_.saved.push_back({path, spec_.fileAs});
  }

 private:
  std::string Asked(const std::string& member, const std::string& value) {
    outlook_.Record(member + " " + spec_.fileAs);
    return value;
  }

  FakeOutlook& outlook_;
  FakeItemSpec spec_;
};

// A folder's items, or its contact items alone: those that are contacts, and those whose kind
// cannot be told.
class Items : public OutlookItems {
 public:
  Items(FakeOutlook& outlook, const FakeFolderSpec& spec, bool contactsOnly)
      : outlook_(outlook), spec_(spec) {
    for (std::size_t i = 0; i < spec.items.size(); ++i) {
      const FakeItemSpec& item = spec.items[i];
      if (!contactsOnly || item.contact || item.failIsContact)
        picked_.push_back(i);
    }
  }
  int32_t Count() override {
    if (spec_.failCount)
      throw Failure("Count failed for " + spec_.name);
    return static_cast<int32_t>(picked_.size());
  }
  std::shared_ptr<OutlookItem> Next() override {
    if (next_ == spec_.failFetchAt)
      throw Failure("Cannot fetch item " + std::to_string(next_));
    if (next_ >= static_cast<int>(picked_.size()))
      return nullptr;
    return std::make_shared<Item>(outlook_, spec_.items[picked_[next_++]]);
  }

 private:
  FakeOutlook& outlook_;
  const FakeFolderSpec& spec_;
  std::vector<std::size_t> picked_;
  int next_ = 0;
};

class Folder;

class Folders : public OutlookFolders {
 public:
  explicit Folders(std::vector<std::shared_ptr<OutlookFolder>> folders)
      : folders_(std::move(folders)) {}
  int32_t Count() override { return static_cast<int32_t>(folders_.size()); }
  std::shared_ptr<OutlookFolder> Item(int32_t index) override {
    if (index < 1 || index > Count())
      throw Failure("Array index out of bounds");
    return folders_[index - 1];
  }
  std::shared_ptr<OutlookFolder> GetLast() override {
    if (folders_.empty())
      throw Failure("No folders");
    return folders_.back();
  }

 private:
  std::vector<std::shared_ptr<OutlookFolder>> folders_;
};

class Folder : public OutlookFolder {
 public:
  Folder(FakeOutlook& outlook, const FakeFolderSpec& spec) : outlook_(outlook), spec_(spec) {}
  std::string Name() override { return spec_.name; }
  std::string ContainerClass() override { return spec_.containerClass; }
  bool Hidden() override { return spec_.hidden; }
  std::string EntryID() override {
    return std::to_string(reinterpret_cast<std::uintptr_t>(&spec_));
  }
  std::shared_ptr<OutlookItems> Items() override {
    outlook_.Record("Items " + spec_.name);
    return std::make_shared<class Items>(outlook_, spec_, false);
  }
  std::shared_ptr<OutlookItems> ContactItems() override {
    outlook_.Record("ContactItems " + spec_.name);
    return std::make_shared<class Items>(outlook_, spec_, true);
  }
  std::shared_ptr<OutlookFolders> Folders() override {
    std::vector<std::shared_ptr<OutlookFolder>> subfolders;
    for (const FakeFolderSpec& sub : spec_.subfolders) {
      subfolders.push_back(std::make_shared<Folder>(outlook_, sub));
    }
    return std::make_shared<class Folders>(std::move(subfolders));
  }
  const FakeFolderSpec& spec() const { return spec_; }

 private:
  FakeOutlook& outlook_;
  const FakeFolderSpec& spec_;
};

}  // namespace

struct FakeOutlook::Store : OutlookStore {
  Store(FakeOutlook& outlook, FakeStoreSpec storeSpec)
      : outlook_(outlook),
        spec(std::move(storeSpec)),
        root(std::make_shared<Folder>(outlook, spec.root)) {}
  std::string FilePath() override { return spec.filePath; }
  std::shared_ptr<OutlookFolder> GetRootFolder() override { return root; }
  std::shared_ptr<OutlookFolder> GetDefaultFolder(int32_t kind) override {
    if (kind != kOlFolderDeletedItems || spec.deletedItemsIndex < 0)
      return nullptr;
    return std::make_shared<Folder>(outlook_, spec.root.subfolders.at(spec.deletedItemsIndex));
  }
  FakeOutlook& outlook_;
  FakeStoreSpec spec;
  std::shared_ptr<Folder> root;
};

namespace {

class Namespace : public OutlookNamespace {
 public:
  explicit Namespace(FakeOutlook& outlook) : outlook_(outlook) {}

  std::shared_ptr<OutlookFolder> GetDefaultFolder(int32_t kind) override {
    outlook_.FailIfNamed("GetDefaultFolder");
    if (kind != kOlFolderContacts || outlook_.contactsFolderIndex < 0) {
      throw Failure("No default folder of kind " + std::to_string(kind));
    }
    auto& store = *outlook_.openStores.front();
    return std::make_shared<Folder>(outlook_,
                                    store.spec.root.subfolders.at(outlook_.contactsFolderIndex));
  }
  void AddStore(const std::string& path) override {
    outlook_.Record("AddStore " + path);
    outlook_.FailIfNamed("AddStore");
    const auto file = outlook_.pstFiles.find(path);
    if (file == outlook_.pstFiles.end())
      throw Failure("Cannot open " + path);
    auto store = outlook_.OpenStore(file->second);
    if (outlook_.attachesBeforeOthers) {
      auto& stores = outlook_.openStores;
      stores.pop_back();
      stores.insert(stores.begin() + 1, store);
    }
  }
  void RemoveStore(OutlookFolder& rootFolder) override {
    outlook_.Record("RemoveStore " + rootFolder.Name());
    outlook_.FailIfNamed("RemoveStore");
    auto& stores = outlook_.openStores;
    const auto store = std::find_if(stores.begin(), stores.end(),
                                    [&](const auto& s) { return s->root.get() == &rootFolder; });
    if (store == stores.end())
      throw Failure("The folder is no store's top-level folder");
    stores.erase(store);
  }
  std::shared_ptr<OutlookFolders> Folders() override {
    std::vector<std::shared_ptr<OutlookFolder>> roots;
    for (const auto& store : outlook_.openStores)
      roots.push_back(store->root);
    return std::make_shared<class Folders>(std::move(roots));
  }
  std::vector<std::shared_ptr<OutlookStore>> Stores() override {
    outlook_.FailIfNamed("Stores");
    return {outlook_.openStores.begin(), outlook_.openStores.end()};
  }

 private:
  FakeOutlook& outlook_;
};

class Application : public OutlookApplication {
 public:
  explicit Application(FakeOutlook& outlook) : outlook_(outlook) {}
  std::shared_ptr<OutlookNamespace> GetNamespace(const std::string& type) override {
    outlook_.Record("GetNamespace " + type);
    outlook_.FailIfNamed("GetNamespace");
    return std::make_shared<Namespace>(outlook_);
  }

 private:
  FakeOutlook& outlook_;
};

}  // namespace

FakeOutlook::FakeOutlook() {
  defaultStore.filePath = "/profile/outlook.pst";
  defaultStore.root.name = "Personal Folders";
}

std::shared_ptr<FakeOutlook::Store> FakeOutlook::OpenStore(const FakeStoreSpec& spec) {
  auto store = std::make_shared<Store>(*this, spec);
  openStores.push_back(store);
  return store;
}

std::vector<std::string> FakeOutlook::OpenStorePaths() const {
  std::vector<std::string> paths;
  for (const auto& store : openStores)
    paths.push_back(store->spec.filePath);
  return paths;
}

void FakeOutlook::OpenBeforeRun(const std::string& path) {
  if (openStores.empty())
    OpenStore(defaultStore);
  OpenStore(pstFiles.at(path));
}

void FakeOutlook::FailIfNamed(const std::string& call) const {
  if (failing.contains(call))
    throw Failure(call + " failed");
}

std::shared_ptr<OutlookApplication> FakeOutlook::CreateApplication() {
  Record("CreateApplication");
  FailIfNamed("CreateApplication");
  if (createGivesNull)
    return nullptr;
  if (openStores.empty())
    OpenStore(defaultStore);
  return std::make_shared<Application>(*this);
}

}  // namespace tarnvex::fakes
