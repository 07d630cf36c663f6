// tarnvex-test-outlook.exe: the test automation server as a local (out-of-process) server, the
// way Outlook serves its object model, and its registration in the test prefix.
//
//   tarnvex-test-outlook.exe /regserver [inproc|local|both|missing]   (default: local)
//   tarnvex-test-outlook.exe /unregserver
//   tarnvex-test-outlook.exe -Embedding        (as COM starts it)
//
// Started by COM, it serves until its last object goes, or until 30 s pass without an object or
// without a call (a client that died: wine runs no rundown of a dead client's references, so
// they would keep the server, and the test output it inherited from the client that started it,
// open for ever).
#include <windows.h>

#include <objbase.h>

#include <string>
#include <utility>

#include "tests/outlook_server/registration.h"
#include "tests/outlook_server/test_outlook.h"

namespace {

using namespace tarnvex::test_outlook;

DWORD mainThread = 0;
DWORD cookie = 0;
constexpr UINT kIdleCheckMs = 10000;
constexpr int kQuietChecksToEnd = 3;

// The last object went: no new client may reach this process any more, then it ends.
void Quit() {
  if (cookie != 0)
    ::CoRevokeClassObject(std::exchange(cookie, 0));
  ::PostThreadMessageW(mainThread, WM_QUIT, 0, 0);
}

std::wstring OwnFolder() {
  wchar_t path[MAX_PATH] = {};
  const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring self(path, length);
  return self.substr(0, self.find_last_of(L"\\/") + 1);
}

int Serve() {
  if (FAILED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
    return 1;
  mainThread = ::GetCurrentThreadId();
  SetObjectsGone(Quit);
  IClassFactory* factory = NewClassFactory();
  if (FAILED(::CoRegisterClassObject(kClsid, factory, CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE,
                                     &cookie))) {
    factory->Release();
    ::CoUninitialize();
    return 1;
  }
  const UINT_PTR timer = ::SetTimer(nullptr, 0, kIdleCheckMs, nullptr);
  long long callsSeen = -1;
  int quietChecks = 0;
  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (message.message == WM_TIMER && message.wParam == timer) {
      const long long calls = CallsServed();
      quietChecks = (LiveObjects() == 0 || calls == callsSeen) ? quietChecks + 1 : 0;
      callsSeen = calls;
      if (quietChecks >= kQuietChecksToEnd)
        break;
    }
    ::DispatchMessageW(&message);
  }
  ::KillTimer(nullptr, timer);
  if (cookie != 0)
    ::CoRevokeClassObject(std::exchange(cookie, 0));
  factory->Release();
  ::CoUninitialize();
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring command = argc > 1 ? argv[1] : L"";
  if (command == L"/regserver") {
    const std::wstring kind = argc > 2 ? argv[2] : L"local";
    Mode mode = Mode::kLocal;
    if (kind == L"inproc")
      mode = Mode::kInProcess;
    else if (kind == L"both")
      mode = Mode::kBoth;
    else if (kind == L"missing")
      mode = Mode::kMissingFile;
    return Register(mode, OwnFolder()) ? 0 : 1;
  }
  if (command == L"/unregserver") {
    Unregister();
    return 0;
  }
  return Serve();
}
