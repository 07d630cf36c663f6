#include "tests/outlook_server/test_outlook.h"

#include <windows.h>

#include <oaidl.h>
#include <oleauto.h>

#include <atomic>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/failure.h"
#include "platform/standin/pst_outlook.h"
#include "platform/win32/win32_atomic_file_writer.h"
#include "platform/win32/win32_code_pages.h"
#include "platform/win32/win32_file_access.h"
#include "tests/outlook_server/registration.h"

namespace tarnvex::test_outlook {
namespace {

// {00063021-0000-0000-C000-000000000046}: Outlook's _ContactItem, which contact items answer.
constexpr IID kIidContactItem = {
    0x00063021, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
// This server's own objects answer it with themselves, so that an argument can be taken back.
// {6E1C5A81-3B7D-4F52-9B1E-2D6A7C0F4E11}
constexpr IID kIidSelf = {
    0x6e1c5a81, 0x3b7d, 0x4f52, {0x9b, 0x1e, 0x2d, 0x6a, 0x7c, 0x0f, 0x4e, 0x11}};
constexpr HRESULT kMapiNotFound = static_cast<HRESULT>(0x8004010F);

std::atomic<long> live{0};
std::atomic<long long> calls{0};
void (*objectsGone)() = nullptr;

void Gained() {
  ++live;
}
void Lost() {
  if (--live == 0 && objectsGone)
    objectsGone();
}

std::wstring Wide(const std::string& utf8) {
  if (utf8.empty())
    return {};
  const int n =
      ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(n, L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
  return wide;
}

std::string Utf8(std::wstring_view wide) {
  if (wide.empty())
    return {};
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                      nullptr, 0, nullptr, nullptr);
  std::string utf8(n, '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), n,
                        nullptr, nullptr);
  return utf8;
}

std::string SettingText(const wchar_t* name) {
  wchar_t buffer[4096] = {};
  DWORD size = sizeof buffer - sizeof(wchar_t);
  if (::RegGetValueW(HKEY_CURRENT_USER, kSettingsKey, name, RRF_RT_REG_SZ, nullptr, buffer,
                     &size) != ERROR_SUCCESS)
    return {};
  return Utf8(buffer);
}

DWORD SettingNumber(const wchar_t* name, DWORD absent) {
  DWORD value = 0;
  DWORD size = sizeof value;
  if (::RegGetValueW(HKEY_CURRENT_USER, kSettingsKey, name, RRF_RT_REG_DWORD, nullptr, &value,
                     &size) != ERROR_SUCCESS)
    return absent;
  return value;
}

// A failure with the error code Outlook gives with its text.
struct CodedFailure : Failure {
  CodedFailure(HRESULT failureCode, const std::string& text) : Failure(text), code(failureCode) {}
  HRESULT code;
};

// A call that Outlook refuses: the error code and text as EXCEPINFO carries them.
struct Refusal {
  HRESULT code;
  std::string text;
};

// The session every application object of this process shares, as Outlook keeps one: the
// stand-in over the PST files, its stores, the chosen fault and the call log.
class Session {
 public:
  Session() {
    standin::PstOutlookOptions options;
    options.profilePath = SettingText(L"Profile");
    automation_ = standin::MakePstOutlook(options, {writer_, files_, &codePages_});
    namespace_ = automation_->CreateApplication()->GetNamespace("MAPI");
    const std::string open = SettingText(L"OpenStores");
    for (std::size_t start = 0; start < open.size();) {
      std::size_t end = open.find('|', start);
      if (end == std::string::npos)
        end = open.size();
      if (end > start)
        namespace_->AddStore(open.substr(start, end - start));
      start = end + 1;
    }
    const std::string log = SettingText(L"CallLog");
    if (!log.empty()) {
      log_ = ::CreateFileW(Wide(log).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    }
  }

  OutlookNamespace& Namespace() { return *namespace_; }

  // Counts the call, logs it and gives the refusal when it is the chosen one.
  std::optional<Refusal> Called(const std::string& kind, const std::string& objectClass,
                                const std::string& member) {
    if (log_ != INVALID_HANDLE_VALUE) {
      const std::string line = kind + " " + objectClass + "." + member + "\n";
      DWORD written = 0;
      ::WriteFile(log_, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    }
    if (kind != "Invoke")
      return std::nullopt;
    const std::string failMember = SettingText(L"FailMember");
    if (failMember.empty() || (failMember != member && failMember != objectClass + "." + member))
      return std::nullopt;
    if (++calls_[failMember] != static_cast<int>(SettingNumber(L"FailCall", 1)))
      return std::nullopt;
    return Refusal{E_FAIL, SettingText(L"FailText")};
  }

 private:
  Win32AtomicFileWriter writer_;
  Win32FileAccess files_;
  Win32CodePages codePages_;
  std::unique_ptr<OutlookAutomation> automation_;
  std::shared_ptr<OutlookNamespace> namespace_;
  HANDLE log_ = INVALID_HANDLE_VALUE;
  std::map<std::string, int> calls_;
};

Session& TheSession() {
  static Session session;
  return session;
}

// The arguments of a call in their written order.
class Arguments {
 public:
  explicit Arguments(DISPPARAMS* params) : params_(params) {}
  std::size_t size() const { return params_ ? params_->cArgs : 0; }
  VARIANT& at(std::size_t i) const {
    if (i >= size())
      throw Failure("Argument not optional.");
    return params_->rgvarg[params_->cArgs - 1 - i];
  }
  int32_t Int(std::size_t i) const {
    VARIANT converted;
    ::VariantInit(&converted);
    if (FAILED(::VariantChangeType(&converted, &at(i), 0, VT_I4)))
      throw Failure("Type mismatch.");
    return converted.lVal;
  }
  std::string Text(std::size_t i) const {
    VARIANT converted;
    ::VariantInit(&converted);
    if (FAILED(::VariantChangeType(&converted, &at(i), 0, VT_BSTR)))
      throw Failure("Type mismatch.");
    std::string text = Utf8({converted.bstrVal, ::SysStringLen(converted.bstrVal)});
    ::VariantClear(&converted);
    return text;
  }
  IUnknown* Object(std::size_t i) const {
    VARIANT& v = at(i);
    if (v.vt == VT_DISPATCH)
      return v.pdispVal;
    if (v.vt == (VT_DISPATCH | VT_BYREF) && v.ppdispVal)
      return *v.ppdispVal;
    if (v.vt == VT_UNKNOWN)
      return v.punkVal;
    throw Failure("Type mismatch.");
  }

 private:
  DISPPARAMS* params_;
};

void SetInt(VARIANT* result, int32_t value) {
  if (!result)
    return;
  result->vt = VT_I4;
  result->lVal = value;
}

void SetText(VARIANT* result, const std::string& text) {
  if (!result)
    return;
  const std::wstring wide = Wide(text);
  result->vt = VT_BSTR;
  result->bstrVal = ::SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

void SetBool(VARIANT* result, bool value) {
  if (!result)
    return;
  result->vt = VT_BOOL;
  result->boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
}

// One object of the model. Members are found by name without letter case; DISPID_VALUE is the
// default member, "Item".
class Object : public IDispatch {
 public:
  Object(const char* objectClass, std::vector<std::string> members)
      : class_(objectClass), members_(std::move(members)) {
    Gained();
  }
  virtual ~Object() { Lost(); }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out)
      return E_POINTER;
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == kIidSelf ||
        (iid == kIidContactItem && AnswersContactItem())) {
      if (iid == kIidContactItem)
        TheSession().Called("QueryInterface", class_, "_ContactItem");
      *out = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0)
      delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count)
      *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }

  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) override {
    if (!names || !ids || count == 0)
      return E_INVALIDARG;
    ++calls;
    const std::string name = Utf8(names[0]);
    TheSession().Called("GetIDsOfNames", class_, name);
    HRESULT result = S_OK;
    ids[0] = DISPID_UNKNOWN;
    for (std::size_t i = 0; i < members_.size(); ++i) {
      if (::CompareStringOrdinal(names[0], -1, Wide(members_[i]).c_str(), -1, TRUE) == CSTR_EQUAL)
        ids[0] = static_cast<DISPID>(i + 1);
    }
    if (ids[0] == DISPID_UNKNOWN)
      result = DISP_E_UNKNOWNNAME;
    for (UINT i = 1; i < count; ++i) {
      ids[i] = DISPID_UNKNOWN;
      result = DISP_E_UNKNOWNNAME;
    }
    return result;
  }

  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* exception, UINT*) override {
    ++calls;
    std::string member;
    if (id == DISPID_VALUE)
      member = "Item";
    else if (id >= 1 && static_cast<std::size_t>(id) <= members_.size())
      member = members_[id - 1];
    else
      return DISP_E_MEMBERNOTFOUND;
    if (result)
      ::VariantInit(result);
    std::optional<Refusal> refusal;
    try {
      refusal = TheSession().Called("Invoke", class_, member);
      if (!refusal) {
        Answer(member, Arguments(params), result);
        return S_OK;
      }
    } catch (const CodedFailure& failure) {
      refusal = Refusal{failure.code, failure.what()};
    } catch (const std::exception& failure) {
      refusal = Refusal{E_FAIL, failure.what()};
    }
    if (result)
      ::VariantClear(result);
    if (exception) {
      *exception = EXCEPINFO{};
      exception->bstrSource = ::SysAllocString(L"Microsoft Outlook");
      const std::wstring text = Wide(refusal->text);
      exception->bstrDescription = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
      exception->scode = refusal->code;
    }
    return DISP_E_EXCEPTION;
  }

 protected:
  virtual void Answer(const std::string& member, const Arguments& args, VARIANT* result) = 0;
  virtual bool AnswersContactItem() { return false; }

  // Hands an object of the model out as the call's result.
  static void SetObject(VARIANT* result, Object* object) {
    if (!result) {
      object->Release();
      return;
    }
    result->vt = VT_DISPATCH;
    result->pdispVal = object;
  }

 private:
  std::string class_;
  std::vector<std::string> members_;
  std::atomic<ULONG> references_{1};
};

template <class T>
T* Own(IUnknown* argument) {
  void* self = nullptr;
  if (!argument || FAILED(argument->QueryInterface(kIidSelf, &self)))
    throw Failure("The object is not one of this Outlook's.");
  auto* object = dynamic_cast<T*>(static_cast<Object*>(static_cast<IDispatch*>(self)));
  static_cast<IDispatch*>(self)->Release();
  if (!object)
    throw Failure("Type mismatch.");
  return object;
}

// The item's text properties, as the stand-in's contact answers them. The stand-in hands out an
// Exchange address in its SMTP form already.
using TextMember = std::string (OutlookItem::*)();
const std::map<std::string, TextMember> kItemTexts = {
    {"FileAs", &OutlookItem::FileAs},           {"FullName", &OutlookItem::FullName},
    {"LastName", &OutlookItem::LastName},       {"FirstName", &OutlookItem::FirstName},
    {"CompanyName", &OutlookItem::CompanyName}, {"Email1Address", &OutlookItem::Email1Address},
};

class Item : public Object {
 public:
  explicit Item(std::shared_ptr<OutlookItem> item)
      : Object("Item", Members()), item_(std::move(item)) {}

 protected:
  void Answer(const std::string& member, const Arguments& args, VARIANT* result) override {
    if (const auto text = kItemTexts.find(member); text != kItemTexts.end()) {
      SetText(result, ((*item_).*(text->second))());
    } else if (member == "Class") {
      // The stand-in tells contacts (olContact) from every other item, given here as a
      // distribution list (olDistributionList).
      SetInt(result, item_->IsContact() ? 40 : 69);
    } else if (member == "Email1AddressType") {
      SetText(result, item_->Email1Address().empty() ? "" : "SMTP");
    } else if (member == "SaveAs") {
      item_->SaveAs(args.Text(0), args.size() > 1 ? args.Int(1) : 3);
    }
  }
  bool AnswersContactItem() override { return item_->IsContact(); }

 private:
  static std::vector<std::string> Members() {
    std::vector<std::string> members = {"Class", "SaveAs", "Email1AddressType"};
    for (const auto& [name, text] : kItemTexts)
      members.push_back(name);
    return members;
  }

  std::shared_ptr<OutlookItem> item_;
};

// The one filter this server takes: the contact items, as Outlook finds them by message class.
constexpr const char* kContactItemsFilter =
    "@SQL=\"http://schemas.microsoft.com/mapi/proptag/0x001A001F\" LIKE 'IPM.Contact%'";

class Items : public Object {
 public:
  Items(std::shared_ptr<OutlookItems> items, std::shared_ptr<OutlookFolder> folder)
      : Object("Items", {"Count", "Item", "Restrict"}),
        items_(std::move(items)),
        folder_(std::move(folder)) {}

 protected:
  void Answer(const std::string& member, const Arguments& args, VARIANT* result) override {
    if (member == "Count") {
      SetInt(result, items_->Count());
      return;
    }
    if (member == "Restrict") {
      const std::string filter = args.Text(0);
      if (filter != kContactItemsFilter)
        throw Failure("Cannot parse condition. Error at \"" + filter + "\".");
      SetObject(result, new Items(folder_->ContactItems(), folder_));
      return;
    }
    const int32_t index = args.Int(0);
    while (!done_ && static_cast<int32_t>(fetched_.size()) < index) {
      std::shared_ptr<OutlookItem> next = items_->Next();
      if (next)
        fetched_.push_back(std::move(next));
      else
        done_ = true;
    }
    if (index < 1 || index > static_cast<int32_t>(fetched_.size()))
      throw Failure("Array index out of bounds.");
    SetObject(result, new Item(fetched_[index - 1]));
  }

 private:
  std::shared_ptr<OutlookItems> items_;
  std::shared_ptr<OutlookFolder> folder_;
  std::vector<std::shared_ptr<OutlookItem>> fetched_;
  bool done_ = false;
};

class Folder;

class Folders : public Object {
 public:
  explicit Folders(std::shared_ptr<OutlookFolders> folders)
      : Object("Folders", {"Count", "Item", "GetLast"}), folders_(std::move(folders)) {}

 protected:
  void Answer(const std::string& member, const Arguments& args, VARIANT* result) override;

 private:
  std::shared_ptr<OutlookFolders> folders_;
};

class PropertyAccessor : public Object {
 public:
  explicit PropertyAccessor(std::shared_ptr<OutlookFolder> folder)
      : Object("PropertyAccessor", {"GetProperty"}), folder_(std::move(folder)) {}

 protected:
  // PR_ATTR_HIDDEN alone; a folder that is not hidden is given as one without the property,
  // as Outlook answers for most folders.
  void Answer(const std::string&, const Arguments& args, VARIANT* result) override {
    const std::string name = args.Text(0);
    if (name == "http://schemas.microsoft.com/mapi/proptag/0x10F4000B" && folder_->Hidden()) {
      SetBool(result, true);
      return;
    }
    throw CodedFailure(kMapiNotFound,
                       "The property \"" + name + "\" is unknown or cannot be found.");
  }

 private:
  std::shared_ptr<OutlookFolder> folder_;
};

class Folder : public Object {
 public:
  explicit Folder(std::shared_ptr<OutlookFolder> folder)
      : Object("Folder",
               {"Name", "Items", "Folders", "DefaultItemType", "PropertyAccessor", "EntryID"}),
        folder_(std::move(folder)) {}

  OutlookFolder& Inner() { return *folder_; }

 protected:
  void Answer(const std::string& member, const Arguments&, VARIANT* result) override {
    if (member == "Name") {
      SetText(result, folder_->Name());
    } else if (member == "Items") {
      SetObject(result, new Items(folder_->Items(), folder_));
    } else if (member == "EntryID") {
      SetText(result, folder_->EntryID());
    } else if (member == "Folders") {
      SetObject(result, new Folders(folder_->Folders()));
    } else if (member == "DefaultItemType") {
      // olContactItem for a folder of contacts, else olMailItem.
      SetInt(result, IsContactsFolderClass(folder_->ContainerClass()) ? 2 : 0);
    } else if (member == "PropertyAccessor") {
      SetObject(result, new PropertyAccessor(folder_));
    }
  }

 private:
  std::shared_ptr<OutlookFolder> folder_;
};

void Folders::Answer(const std::string& member, const Arguments& args, VARIANT* result) {
  if (member == "Count")
    SetInt(result, folders_->Count());
  else if (member == "Item")
    SetObject(result, new Folder(folders_->Item(args.Int(0))));
  else if (member == "GetLast")
    SetObject(result, new Folder(folders_->GetLast()));
}

class Store : public Object {
 public:
  explicit Store(std::shared_ptr<OutlookStore> store)
      : Object("Store", {"FilePath", "GetRootFolder", "GetDefaultFolder"}),
        store_(std::move(store)) {}

 protected:
  void Answer(const std::string& member, const Arguments& args, VARIANT* result) override {
    if (member == "FilePath") {
      SetText(result, store_->FilePath());
    } else if (member == "GetRootFolder") {
      SetObject(result, new Folder(store_->GetRootFolder()));
    } else if (std::shared_ptr<OutlookFolder> folder = store_->GetDefaultFolder(args.Int(0))) {
      SetObject(result, new Folder(std::move(folder)));
    } else {
      throw CodedFailure(kMapiNotFound,
                         "The attempted operation failed. An object could not be found.");
    }
  }

 private:
  std::shared_ptr<OutlookStore> store_;
};

class Stores : public Object {
 public:
  Stores() : Object("Stores", {"Count", "Item"}), stores_(TheSession().Namespace().Stores()) {}

 protected:
  void Answer(const std::string& member, const Arguments& args, VARIANT* result) override {
    if (member == "Count") {
      SetInt(result, static_cast<int32_t>(stores_.size()));
      return;
    }
    const int32_t index = args.Int(0);
    if (index < 1 || index > static_cast<int32_t>(stores_.size()))
      throw Failure("Array index out of bounds.");
    SetObject(result, new Store(stores_[index - 1]));
  }

 private:
  std::vector<std::shared_ptr<OutlookStore>> stores_;
};

class Namespace : public Object {
 public:
  Namespace()
      : Object("NameSpace", {"GetDefaultFolder", "AddStore", "RemoveStore", "Folders", "Stores"}) {}

 protected:
  void Answer(const std::string& member, const Arguments& args, VARIANT* result) override {
    OutlookNamespace& session = TheSession().Namespace();
    if (member == "GetDefaultFolder") {
      SetObject(result, new Folder(session.GetDefaultFolder(args.Int(0))));
    } else if (member == "AddStore") {
      session.AddStore(args.Text(0));
    } else if (member == "RemoveStore") {
      session.RemoveStore(Own<Folder>(args.Object(0))->Inner());
    } else if (member == "Folders") {
      SetObject(result, new Folders(session.Folders()));
    } else if (member == "Stores") {
      SetObject(result, new Stores());
    }
  }
};

class Application : public Object {
 public:
  Application() : Object("Application", {"GetNamespace"}) {}

 protected:
  void Answer(const std::string&, const Arguments& args, VARIANT* result) override {
    if (args.Text(0) != "MAPI")
      throw Failure(
          "Could not complete the operation. One or more parameter values are not valid.");
    SetObject(result, new Namespace());
  }
};

class ClassFactory : public IClassFactory {
 public:
  // The factory itself keeps no server alive: only objects and locks do.
  ClassFactory() = default;
  virtual ~ClassFactory() = default;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out)
      return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IClassFactory) {
      *out = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0)
      delete this;
    return left;
  }

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (!out)
      return E_POINTER;
    *out = nullptr;
    if (outer)
      return CLASS_E_NOAGGREGATION;
    bool refused = SettingNumber(L"Refuse", 0) != 0;
    if (!refused) {
      try {
        TheSession();
      } catch (const std::exception&) {
        refused = true;
      }
    }
    if (refused) {
      // A server that serves nobody ends, as after its last object.
      if (live == 0 && objectsGone)
        objectsGone();
      return E_FAIL;
    }
    Application* application = new Application();
    const HRESULT result = application->QueryInterface(iid, out);
    application->Release();
    return result;
  }

  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    if (lock)
      Gained();
    else
      Lost();
    return S_OK;
  }

 private:
  std::atomic<ULONG> references_{1};
};

}  // namespace

IClassFactory* NewClassFactory() {
  return new ClassFactory();
}

long LiveObjects() {
  return live;
}

long long CallsServed() {
  return calls;
}

void SetObjectsGone(void (*gone)()) {
  objectsGone = gone;
}

}  // namespace tarnvex::test_outlook
