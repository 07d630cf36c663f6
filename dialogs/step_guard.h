#pragma once

// The guarded, numbered steps of the window's working handlers.
//
// A handler creates one StepGuard for its whole body and runs each numbered step through it. A
// step that fails shows the uniform error report with the handler's tag and the step's line, and
// the handler goes on with its next step:
//   - a failed guarded test counts as passed, so the steps it guards run;
//   - a step assigns its results only at its end, so a failed step leaves them as they were;
//   - a failure inside an operation the step called ends that step, i.e. resumes after the call.

#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <string_view>

#include "platform/failure.h"
#include "platform/message_boxes.h"

namespace tarnvex {

// What using an object that an earlier failed step left empty raises.
inline constexpr std::string_view kObjectNotSet = "Object variable or With block variable not set";

class StepGuard {
 public:
  StepGuard(MessageBoxes& boxes, std::string_view handlerName);

  // Runs the step as the given line; true when it completed, false when it failed and was
  // reported.
  template <class Step>
  bool Run(int32_t line, Step&& step) {
    line_ = line;
    try {
      step();
      return true;
    } catch (const std::exception& failure) {
      Report(failure);
      return false;
    }
  }

  // Evaluates a guarded test as the given line; a test whose evaluation fails counts as passed.
  template <class Condition>
  bool Test(int32_t line, Condition&& test) {
    bool result = true;
    Run(line, [&] { result = test(); });
    return result;
  }

  int32_t line() const { return line_; }
  int reports() const { return reports_; }

 private:
  void Report(const std::exception& failure);

  MessageBoxes& boxes_;
  std::string tag_;
  int32_t line_ = 0;
  int reports_ = 0;
};

// The object a step works on; raises the usual failure when an earlier step left it empty.
template <class T>
T& Use(const std::shared_ptr<T>& object) {
  if (!object)
    throw Failure(std::string(kObjectNotSet));
  return *object;
}

}  // namespace tarnvex
