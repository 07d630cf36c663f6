#pragma once

// PST files for the stand-in's tests, written by the project's PST writer at test time.

#include <string>
#include <vector>

#include "tests/sandbox/sandbox.h"
#include "tools/pstwriter/store_model.h"
#include "vcard/contact.h"

namespace tarnvex::standin::testing {

using tarnvex::testing::Sandbox;
using tarnvex::testing::SandboxedProfile;

// Sets the message's properties from the contact, each under the property Outlook keeps it in.
void SetContactProperties(pstwriter::Message& message, const vcard::Contact& contact);

// A contact message with just these texts.
pstwriter::Message& AddSimpleContact(pstwriter::Folder& folder, const std::string& fileAs,
                                     const std::string& surname = "");

std::string WriteStore(const pstwriter::Store& store, const std::string& path);

std::string ReadFile(const std::string& path);

// The names of the files in the folder, sorted.
std::vector<std::string> FileNames(const std::string& folder);

}  // namespace tarnvex::standin::testing
