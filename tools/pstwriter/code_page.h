#pragma once

// 8-bit strings for the writer: UTF-8 text encoded in a Windows code page, as an Outlook running
// in that code page stores PT_STRING8 values. Uses iconv (the writer is a tool, not the library).

#include <cstdint>
#include <string>
#include <vector>

#include "tools/pstwriter/store_model.h"

namespace tarnvex::pstwriter {

// The text in the code page. Throws Failure when iconv lacks the code page or the text holds a
// character the code page does not have.
std::string EncodeInCodePage(const std::string& utf8, std::uint32_t codePage);

// Every Unicode string (single and multi-valued) of the bag becomes an 8-bit string in the code
// page. Throws as EncodeInCodePage.
void EncodeStrings(PropertyBag& bag, std::uint32_t codePage);

}  // namespace tarnvex::pstwriter
