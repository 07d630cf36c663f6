#pragma once

// The part of Outlook's automation object model that the program drives. On Windows it is served
// by Outlook itself; on Linux by a stand-in over Outlook's data files.
//
// Objects are shared handles, released by dropping the last reference; Outlook is never told to
// quit. Every call may throw tarnvex::Failure with a description of what went wrong; no call
// returns a null object except where its comment says so.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "mapi/mapi.h"

namespace tarnvex {

inline constexpr int32_t kOlFolderDeletedItems = 3;  // GetDefaultFolder: Deleted Items
inline constexpr int32_t kOlFolderContacts = 10;     // GetDefaultFolder: the Contacts folder
inline constexpr int32_t kOlVCard = 6;               // SaveAs: vCard format

// The classes the export run and every Outlook behind this interface tell apart, so that all
// find the same folders and items.
using mapi::IsContactMessageClass;
using mapi::IsContactsFolderClass;

class OutlookItem {
 public:
  virtual ~OutlookItem() = default;
  // True when the item supports the contact item interface
  // {00063021-0000-0000-C000-000000000046}: contacts, not distribution lists or mail.
  virtual bool IsContact() = 0;
  // The contact's file-as text; empty text when it has none.
  virtual std::string FileAs() = 0;
  // What a card is named after when the file-as text gives no name, read only then; each is
  // empty text when the contact has none. Email1Address is the SMTP form of an Exchange
  // address, empty text when the contact keeps none.
  virtual std::string FullName() = 0;
  virtual std::string LastName() = 0;
  virtual std::string FirstName() = 0;
  virtual std::string CompanyName() = 0;
  virtual std::string Email1Address() = 0;
  // Writes the item at the path in the given format; an existing file there is replaced.
  virtual void SaveAs(const std::string& path, int32_t type) = 0;
};

class OutlookItems {
 public:
  virtual ~OutlookItems() = default;
  // Number of all items of the folder, of any kind.
  virtual int32_t Count() = 0;
  // Enumeration in stored order: the next item, or null after the last one. Throws when the next
  // item cannot be fetched.
  virtual std::shared_ptr<OutlookItem> Next() = 0;
};

class OutlookFolder;

class OutlookFolders {
 public:
  virtual ~OutlookFolders() = default;
  virtual int32_t Count() = 0;
  // 1-based, as in the object model.
  virtual std::shared_ptr<OutlookFolder> Item(int32_t index) = 0;
  // The last folder of the collection; throws when it is empty.
  virtual std::shared_ptr<OutlookFolder> GetLast() = 0;
};

class OutlookFolder {
 public:
  virtual ~OutlookFolder() = default;
  virtual std::string Name() = 0;
  // The folder's container class, such as "IPF.Contact"; empty text when it has none.
  virtual std::string ContainerClass() = 0;
  virtual bool Hidden() = 0;
  // Names the folder within its store; equal for two handles on one folder (Outlook: EntryID).
  virtual std::string EntryID() = 0;
  // The folder's normal (not associated) contents.
  virtual std::shared_ptr<OutlookItems> Items() = 0;
  // The folder's contact items alone (IsContactMessageClass), in stored order, found without
  // opening the other items one by one (Outlook: Items.Restrict on the message class). An item
  // whose class cannot be read is among them, so that it is reported rather than dropped.
  virtual std::shared_ptr<OutlookItems> ContactItems() = 0;
  // The folder's subfolders, in stored order.
  virtual std::shared_ptr<OutlookFolders> Folders() = 0;
};

class OutlookStore {
 public:
  virtual ~OutlookStore() = default;
  // The data file behind the store, as it was named when the store was opened.
  virtual std::string FilePath() = 0;
  // The store's top-level folder, the one Outlook shows under the store's name.
  virtual std::shared_ptr<OutlookFolder> GetRootFolder() = 0;
  // The store's default folder of the given kind (3: Deleted Items); null when the store has
  // none, or the Outlook cannot tell.
  virtual std::shared_ptr<OutlookFolder> GetDefaultFolder(int32_t kind) = 0;
};

class OutlookNamespace {
 public:
  virtual ~OutlookNamespace() = default;
  // The default folder of the given kind in the default store (10: Contacts).
  virtual std::shared_ptr<OutlookFolder> GetDefaultFolder(int32_t kind) = 0;
  // Attaches a personal folders file; its top-level folder becomes the last of Folders().
  virtual void AddStore(const std::string& path) = 0;
  // Detaches the store whose top-level folder this is.
  virtual void RemoveStore(OutlookFolder& rootFolder) = 0;
  // The top-level folders of all open stores, in the order they were opened.
  virtual std::shared_ptr<OutlookFolders> Folders() = 0;
  // All open stores, in the order they were opened.
  virtual std::vector<std::shared_ptr<OutlookStore>> Stores() = 0;
};

class OutlookApplication {
 public:
  virtual ~OutlookApplication() = default;
  virtual std::shared_ptr<OutlookNamespace> GetNamespace(const std::string& type) = 0;
};

// Creating the "Outlook.Application" object.
class OutlookAutomation {
 public:
  virtual ~OutlookAutomation() = default;
  // A new application object; throws, or gives null, when Outlook cannot be started.
  virtual std::shared_ptr<OutlookApplication> CreateApplication() = 0;
};

}  // namespace tarnvex
