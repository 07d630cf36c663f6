#pragma once

#include <stdexcept>
#include <string>

namespace tarnvex {

// The one failure type of the program. Its description is the text the uniform error report
// shows, so whoever raises it words it for the person reading the report: which file or object,
// and what went wrong. Platform implementations translate library and OS errors into it.
class Failure : public std::runtime_error {
 public:
  explicit Failure(const std::string& description) : std::runtime_error(description) {}
  std::string description() const { return what(); }
};

}  // namespace tarnvex
