#include "platform/win32/com_outlook.h"

#include <oaidl.h>
#include <objbase.h>
#include <oleauto.h>

#include <cstdio>
#include <initializer_list>
#include <map>
#include <new>
#include <optional>
#include <utility>
#include <vector>

#include "platform/failure.h"
#include "platform/win32/win32_api.h"
#include "text/case.h"
#include "vcard/contact_properties.h"

namespace tarnvex {
namespace {

using win32::Narrow;
using win32::Wide;

// {00063021-0000-0000-C000-000000000046}: Outlook's _ContactItem.
constexpr IID kIidContactItem = {
    0x00063021, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr int32_t kOlContact = 40;     // OlObjectClass of a contact item
constexpr int32_t kOlContactItem = 2;  // OlItemType: the items a contacts folder holds
// MAPI_E_NOT_FOUND: what PropertyAccessor.GetProperty gives for a property the folder lacks.
constexpr HRESULT kMapiNotFound = static_cast<HRESULT>(0x8004010F);
// PR_ATTR_HIDDEN (0x10F4000B) as PropertyAccessor names it.
constexpr const char* kHiddenProperty = "http://schemas.microsoft.com/mapi/proptag/0x10F4000B";
// PidLidEmail1OriginalDisplayName (PSETID_Address, LID 0x8084, PT_UNICODE): for an Exchange
// address, the SMTP form Outlook keeps beside it.
constexpr const char* kEmail1OriginalNameProperty =
    "http://schemas.microsoft.com/mapi/id/{00062004-0000-0000-C000-000000000046}/8084001F";
// Items.Restrict: the contact items of a folder, found by Outlook from its contents table. The
// prefix match takes custom forms ("IPM.Contact.Custom"); each item found is still tested.
constexpr const char* kContactItemsFilter =
    "@SQL=\"http://schemas.microsoft.com/mapi/proptag/0x001A001F\" LIKE 'IPM.Contact%'";

// A failed call, with the HRESULT behind it for the callers that tell some apart.
class ComFailure : public Failure {
 public:
  ComFailure(const std::string& description, HRESULT code) : Failure(description), code_(code) {}
  HRESULT code() const { return code_; }

 private:
  HRESULT code_;
};

// The system's words for an HRESULT, as one sentence.
std::string HresultText(HRESULT code) {
  std::string text = win32::SystemReason(static_cast<DWORD>(code));
  if (text.rfind("system error ", 0) == 0) {
    char hex[32];
    std::snprintf(hex, sizeof hex, "Automation error 0x%08lX",
                  static_cast<unsigned long>(static_cast<DWORD>(code)));
    text = hex;
  }
  return text + ".";
}

// COM on this thread: initialised at the first use, for the thread's life.
void EnterApartment() {
  struct Apartment {
    HRESULT result = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    ~Apartment() {
      if (SUCCEEDED(result))
        ::CoUninitialize();
    }
  };
  thread_local Apartment apartment;
  // A thread that someone else put into the multithreaded apartment can call Outlook as well.
  if (FAILED(apartment.result) && apartment.result != RPC_E_CHANGED_MODE)
    throw ComFailure(HresultText(apartment.result), apartment.result);
}

// One counted interface reference.
template <class T>
class Ref {
 public:
  Ref() = default;
  // Takes over a reference the caller holds.
  static Ref Adopt(T* pointer) {
    Ref ref;
    ref.pointer_ = pointer;
    return ref;
  }
  Ref(const Ref& other) : pointer_(other.pointer_) {
    if (pointer_)
      pointer_->AddRef();
  }
  Ref(Ref&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
  Ref& operator=(Ref other) noexcept {
    std::swap(pointer_, other.pointer_);
    return *this;
  }
  ~Ref() {
    if (pointer_)
      pointer_->Release();
  }
  T* get() const { return pointer_; }
  T* operator->() const { return pointer_; }
  explicit operator bool() const { return pointer_ != nullptr; }

 private:
  T* pointer_ = nullptr;
};

class Bstr {
 public:
  explicit Bstr(std::string_view utf8) {
    const std::wstring wide = Wide(utf8);
    bstr_ = ::SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    if (!bstr_)
      throw std::bad_alloc();
  }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  ~Bstr() { ::SysFreeString(bstr_); }
  // Hands the string over to a VARIANT that frees it.
  BSTR Release() { return std::exchange(bstr_, nullptr); }

 private:
  BSTR bstr_ = nullptr;
};

class Variant {
 public:
  Variant() { ::VariantInit(&value_); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  Variant(Variant&& other) noexcept : value_(other.value_) { ::VariantInit(&other.value_); }
  ~Variant() { ::VariantClear(&value_); }

  static Variant Int(int32_t number) {
    Variant v;
    v.value_.vt = VT_I4;
    v.value_.lVal = number;
    return v;
  }
  static Variant Text(std::string_view utf8) {
    Variant v;
    Bstr text(utf8);
    v.value_.vt = VT_BSTR;
    v.value_.bstrVal = text.Release();
    return v;
  }
  static Variant Object(IDispatch* object) {
    Variant v;
    object->AddRef();
    v.value_.vt = VT_DISPATCH;
    v.value_.pdispVal = object;
    return v;
  }

  VARIANT* Out() {
    ::VariantClear(&value_);
    return &value_;
  }
  VARIANT& Get() { return value_; }

 private:
  VARIANT value_;
};

// Dispatch ids by "Class.Member", asked for once per application object.
struct Session {
  std::map<std::string, DISPID> ids;
};

[[noreturn]] void ThrowInvokeFailure(HRESULT result, EXCEPINFO& exception) {
  std::string text;
  if (result == DISP_E_EXCEPTION) {
    if (exception.pfnDeferredFillIn)
      exception.pfnDeferredFillIn(&exception);
    if (exception.bstrDescription)
      text = Narrow(
          std::wstring_view(exception.bstrDescription, ::SysStringLen(exception.bstrDescription)));
    if (exception.scode != S_OK)
      result = exception.scode;
  }
  ::SysFreeString(exception.bstrSource);
  ::SysFreeString(exception.bstrDescription);
  ::SysFreeString(exception.bstrHelpFile);
  throw ComFailure(text.empty() ? HresultText(result) : text, result);
}

// One object of Outlook's: its IDispatch reference and the class its members' ids are kept
// under (empty: an object whose class is not known, asked for each time).
class Object {
 public:
  Object(Ref<IDispatch> dispatch, std::shared_ptr<Session> session, std::string objectClass)
      : dispatch_(std::move(dispatch)),
        session_(std::move(session)),
        class_(std::move(objectClass)) {}

  IDispatch* dispatch() const { return dispatch_.get(); }
  const std::shared_ptr<Session>& session() const { return session_; }

  // A property's value or a method's result (DISPATCH_METHOD | DISPATCH_PROPERTYGET, as a VB
  // program asks when it uses the result).
  Variant Get(const char* member, std::initializer_list<int32_t> numbers = {}) {
    std::vector<Variant> args;
    for (int32_t n : numbers)
      args.push_back(Variant::Int(n));
    return Invoke(Id(member), DISPATCH_METHOD | DISPATCH_PROPERTYGET, args);
  }
  Variant Get(const char* member, std::vector<Variant>& args) {
    return Invoke(Id(member), DISPATCH_METHOD | DISPATCH_PROPERTYGET, args);
  }
  // The default member with one index, as in Items(i).
  Variant Index(int32_t index) {
    std::vector<Variant> args;
    args.push_back(Variant::Int(index));
    return Invoke(DISPID_VALUE, DISPATCH_METHOD | DISPATCH_PROPERTYGET, args);
  }
  // A method called as a statement: its result, if any, is not used.
  void Call(const char* member, std::vector<Variant>& args) {
    Invoke(Id(member), DISPATCH_METHOD, args);
  }

  void SetClass(std::string objectClass) { class_ = std::move(objectClass); }

 private:
  DISPID Id(const char* member) {
    const std::string key = class_ + "." + member;
    if (!class_.empty()) {
      if (auto it = session_->ids.find(key); it != session_->ids.end())
        return it->second;
    }
    std::wstring name = Wide(member);
    LPOLESTR names[] = {name.data()};
    DISPID id = DISPID_UNKNOWN;
    const HRESULT result = dispatch_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(result)) {
      std::string text = HresultText(result);
      if (result == DISP_E_UNKNOWNNAME)
        text.insert(text.size() - 1, std::string(" (") + member + ")");
      throw ComFailure(text, result);
    }
    if (!class_.empty())
      session_->ids.emplace(key, id);
    return id;
  }

  Variant Invoke(DISPID id, WORD flags, std::vector<Variant>& args) {
    // Arguments go in from the last to the first.
    std::vector<VARIANTARG> reversed;
    for (auto it = args.rbegin(); it != args.rend(); ++it)
      reversed.push_back(it->Get());
    DISPPARAMS params{reversed.empty() ? nullptr : reversed.data(), nullptr,
                      static_cast<UINT>(reversed.size()), 0};
    Variant result;
    EXCEPINFO exception{};
    UINT badArgument = 0;
    const HRESULT hr = dispatch_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                                         result.Out(), &exception, &badArgument);
    if (FAILED(hr))
      ThrowInvokeFailure(hr, exception);
    return result;
  }

  Ref<IDispatch> dispatch_;
  std::shared_ptr<Session> session_;
  std::string class_;
};

Ref<IDispatch> ToObject(Variant& value, const char* member) {
  VARIANT& v = value.Get();
  IDispatch* dispatch = nullptr;
  if (v.vt == VT_DISPATCH && v.pdispVal) {
    dispatch = v.pdispVal;
    dispatch->AddRef();
  } else if (v.vt == VT_UNKNOWN && v.punkVal) {
    v.punkVal->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch));
  }
  if (!dispatch)
    throw Failure(std::string("Outlook gave no object for ") + member + ".");
  return Ref<IDispatch>::Adopt(dispatch);
}

int32_t ToInt(Variant& value, const char* member) {
  VARIANT converted;
  ::VariantInit(&converted);
  const HRESULT hr = ::VariantChangeType(&converted, &value.Get(), 0, VT_I4);
  if (FAILED(hr)) {
    throw ComFailure(std::string("Outlook gave no number for ") + member + ": " + HresultText(hr),
                     hr);
  }
  return converted.lVal;
}

bool ToBool(Variant& value, const char* member) {
  return ToInt(value, member) != 0;
}

std::string ToText(Variant& value, const char* member) {
  VARIANT& v = value.Get();
  if (v.vt == VT_EMPTY || v.vt == VT_NULL)
    return {};
  VARIANT converted;
  ::VariantInit(&converted);
  const HRESULT hr = ::VariantChangeType(&converted, &v, 0, VT_BSTR);
  if (FAILED(hr)) {
    throw ComFailure(std::string("Outlook gave no text for ") + member + ": " + HresultText(hr),
                     hr);
  }
  std::string text =
      Narrow(std::wstring_view(converted.bstrVal, ::SysStringLen(converted.bstrVal)));
  ::VariantClear(&converted);
  return text;
}

Object Child(Object& parent, Variant value, const char* member, std::string objectClass) {
  return Object(ToObject(value, member), parent.session(), std::move(objectClass));
}

std::string TextOf(Object& object, const char* member) {
  Variant text = object.Get(member);
  return ToText(text, member);
}

// A MAPI property through the object's PropertyAccessor (Outlook 2007 and later): null when
// the object has no such property, or the Outlook no property accessor.
std::optional<Variant> PropertyOf(Object& object, const char* property) {
  std::optional<Object> accessor;
  try {
    accessor =
        Child(object, object.Get("PropertyAccessor"), "PropertyAccessor", "PropertyAccessor");
  } catch (const ComFailure& failure) {
    if (failure.code() == DISP_E_UNKNOWNNAME)
      return std::nullopt;
    throw;
  }
  std::vector<Variant> args;
  args.push_back(Variant::Text(property));
  try {
    return accessor->Get("GetProperty", args);
  } catch (const ComFailure& failure) {
    if (failure.code() == kMapiNotFound)
      return std::nullopt;
    throw;
  }
}

class ComItem : public OutlookItem {
 public:
  explicit ComItem(Object object) : object_(std::move(object)) {}

  // The contact item interface where Outlook answers for it; where it cannot be asked (across
  // processes without the interface's type library registered) the item's Class tells.
  bool IsContact() override {
    IUnknown* contact = nullptr;
    const HRESULT hr =
        object_.dispatch()->QueryInterface(kIidContactItem, reinterpret_cast<void**>(&contact));
    if (SUCCEEDED(hr) && contact) {
      contact->Release();
      object_.SetClass("ContactItem");
      return true;
    }
    if (hr != E_NOINTERFACE && hr != REGDB_E_IIDNOTREG)
      throw ComFailure(HresultText(hr), hr);
    // Items of every class answer Class; its id is not kept for a class not yet known.
    Variant itemClass = object_.Get("Class");
    if (ToInt(itemClass, "Class") != kOlContact)
      return false;
    object_.SetClass("ContactItem");
    return true;
  }

  std::string FileAs() override { return TextOf(object_, "FileAs"); }
  std::string FullName() override { return TextOf(object_, "FullName"); }
  std::string LastName() override { return TextOf(object_, "LastName"); }
  std::string FirstName() override { return TextOf(object_, "FirstName"); }
  std::string CompanyName() override { return TextOf(object_, "CompanyName"); }

  // Email1Address of an Exchange address is its X.500 name; the SMTP form is the original
  // display name Outlook keeps beside it.
  std::string Email1Address() override {
    const std::string address = TextOf(object_, "Email1Address");
    const std::string type = TextOf(object_, "Email1AddressType");
    std::string original;
    if (text::EqualsIgnoringAsciiCase(type, "EX")) {
      if (std::optional<Variant> value = PropertyOf(object_, kEmail1OriginalNameProperty))
        original = ToText(*value, "PidLidEmail1OriginalDisplayName");
    }
    return vcard::SmtpForm(address, type, original);
  }

  void SaveAs(const std::string& path, int32_t type) override {
    std::vector<Variant> args;
    args.push_back(Variant::Text(path));
    args.push_back(Variant::Int(type));
    object_.Call("SaveAs", args);
  }

 private:
  Object object_;
};

class ComItems : public OutlookItems {
 public:
  explicit ComItems(Object object) : object_(std::move(object)) {}

  int32_t Count() override {
    Variant count = object_.Get("Count");
    total_ = ToInt(count, "Count");
    return *total_;
  }

  // Items(1) to Items(Count), the count read once.
  std::shared_ptr<OutlookItem> Next() override {
    if (!total_)
      Count();
    if (next_ > *total_)
      return nullptr;
    Variant item = object_.Index(next_);
    ++next_;
    Object unclassed(ToObject(item, "Items"), object_.session(), "");
    return std::make_shared<ComItem>(std::move(unclassed));
  }

 private:
  Object object_;
  std::optional<int32_t> total_;
  int32_t next_ = 1;
};

class ComFolder;

class ComFolders : public OutlookFolders {
 public:
  explicit ComFolders(Object object) : object_(std::move(object)) {}

  int32_t Count() override {
    Variant count = object_.Get("Count");
    return ToInt(count, "Count");
  }
  std::shared_ptr<OutlookFolder> Item(int32_t index) override;
  std::shared_ptr<OutlookFolder> GetLast() override;

 private:
  Object object_;
};

class ComFolder : public OutlookFolder {
 public:
  explicit ComFolder(Object object) : object_(std::move(object)) {}

  IDispatch* dispatch() const { return object_.dispatch(); }

  std::string Name() override {
    Variant name = object_.Get("Name");
    return ToText(name, "Name");
  }

  // Outlook's object model shows no container class; the item type Outlook derives from it
  // does: a folder of contacts ("IPF.Contact", "IPF.Contact.*") holds contact items.
  std::string ContainerClass() override {
    Variant type = object_.Get("DefaultItemType");
    return ToInt(type, "DefaultItemType") == kOlContactItem ? "IPF.Contact" : "";
  }

  // PR_ATTR_HIDDEN through the folder's property accessor; a folder without it is not hidden,
  // and so is every folder of an Outlook older than 2007, which has no property accessor.
  bool Hidden() override {
    std::optional<Variant> hidden = PropertyOf(object_, kHiddenProperty);
    return hidden && ToBool(*hidden, "PR_ATTR_HIDDEN");
  }

  std::string EntryID() override { return TextOf(object_, "EntryID"); }

  std::shared_ptr<OutlookItems> Items() override {
    return std::make_shared<ComItems>(ItemsObject());
  }

  std::shared_ptr<OutlookItems> ContactItems() override {
    Object items = ItemsObject();
    std::vector<Variant> args;
    args.push_back(Variant::Text(kContactItemsFilter));
    return std::make_shared<ComItems>(
        Child(items, items.Get("Restrict", args), "Restrict", "Items"));
  }

  std::shared_ptr<OutlookFolders> Folders() override {
    return std::make_shared<ComFolders>(
        Child(object_, object_.Get("Folders"), "Folders", "Folders"));
  }

 private:
  Object ItemsObject() { return Child(object_, object_.Get("Items"), "Items", "Items"); }

  Object object_;
};

std::shared_ptr<OutlookFolder> ComFolders::Item(int32_t index) {
  Variant folder = object_.Index(index);
  return std::make_shared<ComFolder>(Child(object_, std::move(folder), "Folders", "Folder"));
}

std::shared_ptr<OutlookFolder> ComFolders::GetLast() {
  return std::make_shared<ComFolder>(Child(object_, object_.Get("GetLast"), "GetLast", "Folder"));
}

class ComStore : public OutlookStore {
 public:
  explicit ComStore(Object object) : object_(std::move(object)) {}

  std::string FilePath() override {
    Variant path = object_.Get("FilePath");
    return ToText(path, "FilePath");
  }
  std::shared_ptr<OutlookFolder> GetRootFolder() override {
    return std::make_shared<ComFolder>(
        Child(object_, object_.Get("GetRootFolder"), "GetRootFolder", "Folder"));
  }
  // Store.GetDefaultFolder came with Outlook 2010; an older Outlook cannot tell.
  std::shared_ptr<OutlookFolder> GetDefaultFolder(int32_t kind) override {
    try {
      return std::make_shared<ComFolder>(
          Child(object_, object_.Get("GetDefaultFolder", {kind}), "GetDefaultFolder", "Folder"));
    } catch (const ComFailure& failure) {
      if (failure.code() == DISP_E_UNKNOWNNAME || failure.code() == kMapiNotFound)
        return nullptr;
      throw;
    }
  }

 private:
  Object object_;
};

// A store as an Outlook older than 2007 shows it: only its top-level folder. The file behind it
// is known for the store this program attached alone.
class TopFolderStore : public OutlookStore {
 public:
  TopFolderStore(std::shared_ptr<OutlookFolder> root, std::string path)
      : root_(std::move(root)), path_(std::move(path)) {}
  std::string FilePath() override { return path_; }
  std::shared_ptr<OutlookFolder> GetRootFolder() override { return root_; }
  std::shared_ptr<OutlookFolder> GetDefaultFolder(int32_t) override { return nullptr; }

 private:
  std::shared_ptr<OutlookFolder> root_;
  std::string path_;
};

class ComNamespace : public OutlookNamespace {
 public:
  explicit ComNamespace(Object object) : object_(std::move(object)) {}

  std::shared_ptr<OutlookFolder> GetDefaultFolder(int32_t kind) override {
    return std::make_shared<ComFolder>(
        Child(object_, object_.Get("GetDefaultFolder", {kind}), "GetDefaultFolder", "Folder"));
  }

  void AddStore(const std::string& path) override {
    std::vector<Variant> args;
    args.push_back(Variant::Text(path));
    object_.Call("AddStore", args);
    attachedPath_ = path;
  }

  void RemoveStore(OutlookFolder& rootFolder) override {
    auto* folder = dynamic_cast<ComFolder*>(&rootFolder);
    if (!folder)
      throw Failure("RemoveStore was given a folder that is not one of Outlook's.");
    std::vector<Variant> args;
    args.push_back(Variant::Object(folder->dispatch()));
    object_.Call("RemoveStore", args);
  }

  std::shared_ptr<OutlookFolders> Folders() override {
    return std::make_shared<ComFolders>(
        Child(object_, object_.Get("Folders"), "Folders", "Folders"));
  }

  std::vector<std::shared_ptr<OutlookStore>> Stores() override {
    std::optional<Object> stores;
    try {
      stores = Child(object_, object_.Get("Stores"), "Stores", "Stores");
    } catch (const ComFailure& failure) {
      if (failure.code() != DISP_E_UNKNOWNNAME)
        throw;
      return TopFolderStores();
    }
    Variant countValue = stores->Get("Count");
    const int32_t count = ToInt(countValue, "Count");
    std::vector<std::shared_ptr<OutlookStore>> list;
    for (int32_t i = 1; i <= count; ++i)
      list.push_back(
          std::make_shared<ComStore>(Child(*stores, stores->Index(i), "Stores", "Store")));
    return list;
  }

 private:
  // Outlook before 2007 has no Stores: the top-level folders stand for them, and the last one
  // is the store attached by AddStore, as it always was.
  std::vector<std::shared_ptr<OutlookStore>> TopFolderStores() {
    std::shared_ptr<OutlookFolders> folders = Folders();
    const int32_t count = folders->Count();
    std::vector<std::shared_ptr<OutlookStore>> list;
    for (int32_t i = 1; i <= count; ++i) {
      list.push_back(std::make_shared<TopFolderStore>(folders->Item(i),
                                                      i == count ? attachedPath_ : std::string()));
    }
    return list;
  }

  Object object_;
  // The file of the last AddStore call.
  std::string attachedPath_;
};

class ComApplication : public OutlookApplication {
 public:
  explicit ComApplication(Object object) : object_(std::move(object)) {}

  std::shared_ptr<OutlookNamespace> GetNamespace(const std::string& type) override {
    std::vector<Variant> args;
    args.push_back(Variant::Text(type));
    return std::make_shared<ComNamespace>(
        Child(object_, object_.Get("GetNamespace", args), "GetNamespace", "NameSpace"));
  }

 private:
  Object object_;
};

class ComAutomation : public OutlookAutomation {
 public:
  std::shared_ptr<OutlookApplication> CreateApplication() override {
    EnterApartment();
    const std::wstring progId = Wide(kOutlookProgId);
    CLSID clsid{};
    HRESULT hr = ::CLSIDFromProgID(progId.c_str(), &clsid);
    IDispatch* dispatch = nullptr;
    if (SUCCEEDED(hr)) {
      hr = ::CoCreateInstance(clsid, nullptr, CLSCTX_SERVER, IID_IDispatch,
                              reinterpret_cast<void**>(&dispatch));
    }
    if (FAILED(hr) || !dispatch) {
      throw ComFailure(std::string("\"") + kOutlookProgId +
                           "\" cannot be created: " + HresultText(FAILED(hr) ? hr : E_POINTER),
                       hr);
    }
    return std::make_shared<ComApplication>(
        Object(Ref<IDispatch>::Adopt(dispatch), std::make_shared<Session>(), "Application"));
  }
};

}  // namespace

std::unique_ptr<OutlookAutomation> MakeComOutlook() {
  return std::make_unique<ComAutomation>();
}

}  // namespace tarnvex
