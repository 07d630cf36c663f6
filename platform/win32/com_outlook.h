#pragma once

// Outlook itself, driven by late-bound automation as a script or a VB program drives it: the
// object is created from the ProgID "Outlook.Application" (CLSIDFromProgID, then CoCreateInstance
// in any server context, as CreateObject does) and every member is reached by name
// (IDispatch::GetIDsOfNames, then Invoke). A member's dispatch id is asked for once per member and
// object class and kept for the application object's lifetime.
//
// Failures: a call that Outlook refuses throws Failure with the text Outlook gives (EXCEPINFO);
// a call that fails without one throws Failure with the system's text for the HRESULT.
//
// COM is initialised on the calling thread at the first use (single-threaded apartment, as in a
// VB program) and stays initialised for the thread's life. Every object handed out holds its own
// interface reference, released when the last shared handle to it goes; Outlook is never told to
// quit.
//
// Where Outlook itself may answer otherwise than the test automation server of the tests (the
// contact interface across processes, folders' item type and hidden flag, Outlook before 2007
// without Stores) is listed in the README, "Outlook in the tests".

#include <memory>

#include "platform/outlook.h"

namespace tarnvex {

// The ProgID the automation object is created from.
inline constexpr const char* kOutlookProgId = "Outlook.Application";

std::unique_ptr<OutlookAutomation> MakeComOutlook();

}  // namespace tarnvex
