#include "dialogs/step_guard.h"

#include "dialogs/error_report.h"

namespace tarnvex {

StepGuard::StepGuard(MessageBoxes& boxes, std::string_view handlerName)
    : boxes_(boxes), tag_(LocationTag(handlerName)) {}

void StepGuard::Report(const std::exception& failure) {
  ++reports_;
  ShowErrorReport(boxes_, failure.what(), tag_, line_);
}

}  // namespace tarnvex
