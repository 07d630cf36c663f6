#pragma once

// The ANSI code page Windows uses for a locale (LCID), as PidTagMessageLocaleId (0x3FF1) records
// it for a message: the code page its 8-bit strings are in when the message names none.

#include <cstdint>

namespace tarnvex::text {

// The ANSI code page of the locale, or 0 when the locale has none (a Unicode-only locale) or the
// table does not know it.
uint32_t AnsiCodePageOfLocale(uint32_t lcid);

}  // namespace tarnvex::text
