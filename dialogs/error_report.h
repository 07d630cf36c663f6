#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/message_boxes.h"

namespace tarnvex {

inline constexpr std::string_view kErrorReportCaption = "Application Error";

// The location tag of one of the window's handlers, e.g. "in Brismolt2021/08/31.Form1.Form_Load ".
std::string LocationTag(std::string_view handlerName);

// The text of the uniform error report.
std::string ErrorReportText(std::string_view description, std::string_view locationTag,
                            int32_t line);

// Shows the uniform error report and returns when the user has closed it.
void ShowErrorReport(MessageBoxes& boxes, std::string_view description,
                     std::string_view locationTag, int32_t line);

}  // namespace tarnvex
