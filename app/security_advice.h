#pragma once

#include <array>
#include <string_view>

namespace tarnvex {

// The paragraphs of the advice on Outlook's programmatic-access prompt, in order.
inline constexpr std::array<std::string_view, 5> kSecurityAdvice = {
    "If you are getting a query message that says",
    "\"Allow access for x minutes Yes No Help\"",
    "You may want to deactivate it so that my software can work with Outlook for a longer period "
    "of time.",
    "To deactivate this query message, look for an option resembling:",
    "Outlook > Tools > Trust Center > Allow programmatic access",
};

inline constexpr std::string_view kParagraphSeparator = "\r\n\r\n";

}  // namespace tarnvex
