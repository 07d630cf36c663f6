#pragma once

// Doubles of the main window and the services around it, for the window's handlers: they keep
// what the handlers set, raise the window's events as the real window does, and fail the calls
// a test names.

#include <map>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/failure.h"
#include "platform/file_open_dialog.h"
#include "platform/folder_browser.h"
#include "platform/form1_view.h"
#include "platform/process_starter.h"
#include "platform/random.h"
#include "platform/settings_store.h"
#include "platform/shell.h"
#include "platform/skin_engine.h"
#include "platform/window_services.h"

namespace tarnvex::fakes {

// Throws when the set names the call.
inline void FailIfIn(const std::set<std::string>& failing, const std::string& call) {
  if (failing.contains(call))
    throw Failure(call + " failed");
}

// The window: its controls with the option group's rule, and its services.
class FakeForm1 : public Form1View, public WindowServices {
 public:
  // The handlers that get the window's events; none until a test connects them.
  Form1Events* events = nullptr;
  // Names of calls that fail: "SetCaption", "SetApplicationIcon", "SetAppTitle",
  // "LoadCustomPointer", "WindowHandle", "ProgramFolder", "SetText2", "SetText3", "SetOption1",
  // "SetOption2", "SetBackColor", "SetControlBackColor".
  std::set<std::string> failing;

  bool option1 = true;
  bool option2 = false;
  std::string text2;
  std::string text3;
  std::vector<std::string> clicks;  // "Option1", "Option2" as the events were raised

  std::string programFolder = "/opt/tarnvex";
  std::string caption = "Form1";
  int iconsSet = 0;
  std::string appTitle = "tarnvex-card-exporter";
  PointerMode pointer = PointerMode::kDefault;
  std::vector<PointerMode> pointers;
  std::optional<std::string> customPointer;
  uint32_t backColor = kOleWhite;
  std::map<std::string, uint32_t> controlColours;
  std::vector<ControlInfo> controls = {
      {"Frame1", ControlKind::kFrame},
      {"Option1", ControlKind::kOptionButton},
      {"Option2", ControlKind::kOptionButton},
      {"Text2", ControlKind::kTextBox},
      {"PushButton8", ControlKind::kPushButton},
      {"PushButton3", ControlKind::kPushButton},
      {"PushButton7", ControlKind::kPushButton},
      {"Frame2", ControlKind::kFrame},
      {"Text3", ControlKind::kTextBox},
      {"PushButton2", ControlKind::kPushButton},
      {"CommonDialog1", ControlKind::kCommonDialog},
      {"SkinFramework1", ControlKind::kSkinFramework},
  };
  int32_t handle = 4242;

  bool Option1() override { return option1; }
  bool Option2() override { return option2; }
  std::string Text2() override { return text2; }
  std::string Text3() override { return text3; }
  void SetOption1(bool selected) override {
    FailIfIn(failing, "SetOption1");
    SetOption(option1, option2, selected, "Option1");
  }
  void SetOption2(bool selected) override {
    FailIfIn(failing, "SetOption2");
    SetOption(option2, option1, selected, "Option2");
  }
  void SetText2(const std::string& text) override {
    FailIfIn(failing, "SetText2");
    SetText(text2, text, &Form1Events::Text2_Change);
  }
  void SetText3(const std::string& text) override {
    FailIfIn(failing, "SetText3");
    SetText(text3, text, &Form1Events::Text3_Change);
  }
  // What a user's typing does: a change event per changed text.
  void Type(std::string& box, const std::string& text, void (Form1Events::*change)()) {
    SetText(box, text, change);
  }
  // A user's click on an option: the group moves the selection, then the click is reported.
  void Click(int option) {
    if (option == 1) {
      SetOption(option1, option2, true, "Option1");
    } else {
      SetOption(option2, option1, true, "Option2");
    }
  }

  std::string ProgramFolder() override {
    FailIfIn(failing, "ProgramFolder");
    return programFolder;
  }
  void SetCaption(const std::string& text) override {
    FailIfIn(failing, "SetCaption");
    caption = text;
  }
  void SetApplicationIcon() override {
    FailIfIn(failing, "SetApplicationIcon");
    ++iconsSet;
  }
  std::string AppTitle() override { return appTitle; }
  void SetAppTitle(const std::string& title) override {
    FailIfIn(failing, "SetAppTitle");
    appTitle = title;
  }
  PointerMode Pointer() override { return pointer; }
  void SetPointer(PointerMode mode) override {
    pointer = mode;
    pointers.push_back(mode);
  }
  void LoadCustomPointer(const std::string& path) override {
    FailIfIn(failing, "LoadCustomPointer");
    customPointer = path;
  }
  void SetBackColor(uint32_t colour) override {
    FailIfIn(failing, "SetBackColor");
    backColor = colour;
  }
  std::vector<ControlInfo> Controls() override { return controls; }
  void SetControlBackColor(const std::string& name, uint32_t colour) override {
    FailIfIn(failing, "SetControlBackColor");
    controlColours[name] = colour;
  }
  int32_t WindowHandle() override {
    FailIfIn(failing, "WindowHandle");
    return handle;
  }

 private:
  void SetOption(bool& option, bool& other, bool selected, const char* name) {
    option = selected;
    if (!selected)
      return;
    other = false;
    clicks.push_back(name);
    if (events)
      (name[6] == '1' ? events->Option1_Click() : events->Option2_Click());
  }
  void SetText(std::string& box, const std::string& text, void (Form1Events::*change)()) {
    if (box == text)
      return;
    box = text;
    if (events)
      (events->*change)();
  }
};

// A settings store in memory that logs every write and fails the keys a test names.
class FakeSettingsStore : public SettingsStore {
 public:
  using Address = std::tuple<std::string, std::string, std::string>;
  std::map<Address, std::string> values;
  std::vector<std::pair<std::string, std::string>> writes;  // key, value
  std::set<std::string> failingReads;
  std::set<std::string> failingWrites;

  static Address At(const std::string& key) { return {"Dravelkin", "Tarnvex Card Exporter", key}; }
  void Put(const std::string& key, const std::string& value) { values[At(key)] = value; }
  std::optional<std::string> Value(const std::string& key) const {
    const auto found = values.find(At(key));
    if (found == values.end())
      return std::nullopt;
    return found->second;
  }
  // The values written to the key, in order.
  std::vector<std::string> WritesOf(const std::string& key) const {
    std::vector<std::string> result;
    for (const auto& [k, v] : writes) {
      if (k == key)
        result.push_back(v);
    }
    return result;
  }

  std::string Get(const std::string& application, const std::string& section,
                  const std::string& key, const std::string& defaultValue) override {
    if (failingReads.contains(key))
      throw Failure("Cannot read " + key);
    const auto found = values.find({application, section, key});
    return found == values.end() ? defaultValue : found->second;
  }
  void Save(const std::string& application, const std::string& section, const std::string& key,
            const std::string& value) override {
    if (failingWrites.contains(key))
      throw Failure("Cannot save " + key);
    values[{application, section, key}] = value;
    writes.emplace_back(key, value);
  }
};

// A skin engine that logs its calls as text: "Invoke 2 /opt/x/o.cjs|", "Get 1", "Set 1 7",
// "Set 5 true", "Invoke 3 4242".
class FakeSkinEngine : public SkinEngine {
 public:
  std::vector<std::string> calls;
  DispatchValue options = int32_t{6};
  // The call (as logged) that fails.
  std::string failing;

  static std::string Text(const DispatchValue& value) {
    if (const auto* text = std::get_if<std::string>(&value))
      return *text;
    if (const auto* number = std::get_if<int32_t>(&value))
      return std::to_string(*number);
    if (const auto* flag = std::get_if<bool>(&value))
      return *flag ? "true" : "false";
    return "(none)";
  }
  DispatchValue Invoke(int32_t id, const std::vector<DispatchValue>& arguments) override {
    std::string call = "Invoke " + std::to_string(id) + " ";
    for (std::size_t i = 0; i < arguments.size(); ++i) {
      call += (i ? "|" : "") + Text(arguments[i]);
    }
    Log(call);
    return {};
  }
  DispatchValue GetProperty(int32_t id) override {
    Log("Get " + std::to_string(id));
    return options;
  }
  void SetProperty(int32_t id, const DispatchValue& value) override {
    Log("Set " + std::to_string(id) + " " + Text(value));
  }

 private:
  void Log(const std::string& call) {
    calls.push_back(call);
    if (call == failing)
      throw Failure("Skin engine refused: " + call);
  }
};

class FakeFileOpenDialog : public FileOpenDialog {
 public:
  std::string fileName = "/previous/pick.pst";
  std::string title;
  std::string filter;
  // What the user picks; nullopt: cancel.
  std::optional<std::string> pick;
  std::set<std::string> failing;  // "SetFileName", "SetDialogTitle", "SetFilter", "ShowOpen"
  std::vector<std::string> calls;

  void SetFileName(const std::string& name) override {
    Call("SetFileName");
    fileName = name;
  }
  std::string FileName() override { return fileName; }
  void SetDialogTitle(const std::string& text) override {
    Call("SetDialogTitle");
    title = text;
  }
  void SetFilter(const std::string& text) override {
    Call("SetFilter");
    filter = text;
  }
  void ShowOpen() override {
    Call("ShowOpen:" + fileName);
    if (pick)
      fileName = *pick;
  }

 private:
  void Call(const std::string& call) {
    calls.push_back(call);
    FailIfIn(failing, call.substr(0, call.find(':')));
  }
};

// A browser that runs the callback as the desktop's browser would and answers as the test says.
class FakeFolderBrowser : public FolderBrowser, public BrowserDialog {
 public:
  std::vector<BrowseRequest> requests;
  // Messages the callback sent: message, wParam, text.
  std::vector<std::tuple<uint32_t, int32_t, std::string>> sent;
  // Selections the user moves through before confirming (paths, nullopt: not a file-system item).
  std::vector<std::optional<std::string>> selections;
  // The answer; nullopt: cancel.
  std::optional<std::string> answer;
  bool fail = false;
  int callbackResults = 0;  // sum of the callback's answers

  std::optional<std::string> Browse(const BrowseRequest& request,
                                    const BrowseCallbackFn& callback) override {
    if (fail)
      throw Failure("The folder browser cannot be shown");
    requests.push_back(request);
    callbackResults += callback(*this, kBffmInitialized, std::nullopt);
    for (const auto& selection : selections) {
      callbackResults += callback(*this, kBffmSelChanged, selection);
    }
    callbackResults += callback(*this, 77, std::nullopt);  // a message it does not handle
    return answer;
  }
  void SendMessage(uint32_t message, int32_t wParam, const std::string& text) override {
    sent.emplace_back(message, wParam, text);
  }
};

class FakeShell : public Shell {
 public:
  std::string desktop = "/home/ann/Desktop";
  std::string SpecialFolderPath(int32_t id) override { return id == 0 ? desktop : ""; }
};

class FakeProcessStarter : public ProcessStarter {
 public:
  std::vector<std::pair<std::string, WindowState>> started;
  bool fail = false;
  void Start(const std::string& commandLine, WindowState state) override {
    if (fail)
      throw Failure("Cannot start " + commandLine);
    started.emplace_back(commandLine, state);
  }
};

class FakeClock : public Clock {
 public:
  double seconds = 3600.5;
  double SecondsSinceMidnight() override { return seconds; }
};

// Gives the numbers a test lines up, and records the seeds.
class FakeRandom : public RandomSource {
 public:
  std::vector<double> seeds;
  double next = 0.5;
  void Seed(double seed) override { seeds.push_back(seed); }
  double Next() override { return next; }
};

}  // namespace tarnvex::fakes
