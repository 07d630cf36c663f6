#include "dialogs/error_report.h"

#include "product/product.h"

namespace tarnvex {

std::string LocationTag(std::string_view handlerName) {
  std::string tag(product::kLocationPrefix);
  tag += handlerName;
  tag += ' ';
  return tag;
}

std::string ErrorReportText(std::string_view description, std::string_view locationTag,
                            int32_t line) {
  std::string text(description);
  text += "\r\n";
  text += locationTag;
  text += "at line ";
  text += std::to_string(line);
  text += "\r\r";
  text += "Please email screenshot of this message to ";
  text += product::kSupportAddress;
  return text;
}

void ShowErrorReport(MessageBoxes& boxes, std::string_view description,
                     std::string_view locationTag, int32_t line) {
  boxes.Show(ErrorReportText(description, locationTag, line), std::string(kErrorReportCaption),
             MessageIcon::kWarning);
}

}  // namespace tarnvex
