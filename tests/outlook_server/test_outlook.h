#pragma once

// An automation server of our own that answers the late-bound calls the program makes of
// Outlook, for the Windows tests (never installed). It serves the object model over the
// program's own PST reader and vCard writer (the stand-in of platform/standin), so SaveAs (path, 6)
// writes real cards; settings in registration.h make it fail a chosen call or refuse creation.

#include <unknwn.h>

namespace tarnvex::test_outlook {

// The class factory of the application object, with one reference for the caller.
IClassFactory* NewClassFactory();

// Objects and locks alive in this process.
long LiveObjects();
// Calls of the objects' members (names asked for and invoked) so far.
long long CallsServed();

// Called when the last object or lock goes; the executable sets it to end its message loop.
void SetObjectsGone(void (*gone)());

}  // namespace tarnvex::test_outlook
