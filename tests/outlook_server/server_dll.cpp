// tarnvex-test-outlook.dll: the test automation server as an in-process server.
#include <windows.h>

#include <objbase.h>

#include "tests/outlook_server/registration.h"
#include "tests/outlook_server/test_outlook.h"

extern "C" __declspec(dllexport) HRESULT
    __stdcall DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  if (!out)
    return E_POINTER;
  *out = nullptr;
  if (clsid != tarnvex::test_outlook::kClsid)
    return CLASS_E_CLASSNOTAVAILABLE;
  IClassFactory* factory = tarnvex::test_outlook::NewClassFactory();
  const HRESULT result = factory->QueryInterface(iid, out);
  factory->Release();
  return result;
}

// The session over the stand-in stays for the process's life, so the DLL stays loaded.
extern "C" __declspec(dllexport) HRESULT __stdcall DllCanUnloadNow() {
  return S_FALSE;
}
