#include "pst/errors.h"

#include <cstdio>

namespace tarnvex::pst {
namespace {

std::string CorruptionText(const std::string& source, const std::string& description,
                           const std::string& expected, const std::string& found) {
  std::string text = "The Outlook data file \"" + source + "\" is damaged: " + description;
  if (!expected.empty() || !found.empty())
    text += " (expected " + expected + ", found " + found + ")";
  return text + ".";
}

}  // namespace

CorruptionError::CorruptionError(std::string source, Defect defect, std::string description,
                                 Location where, std::string expected, std::string found)
    : Error(CorruptionText(source, description, expected, found)),
      source_(std::move(source)),
      defect_(defect),
      description_(std::move(description)),
      where_(where),
      expected_(std::move(expected)),
      found_(std::move(found)) {}

UnsupportedFormat::UnsupportedFormat(std::string source, std::string reason)
    : Error("The file \"" + source + "\" is not an Outlook data file this reader reads: " + reason +
            "."),
      source_(std::move(source)),
      reason_(std::move(reason)) {}

std::string Hex(std::uint64_t value) {
  char buf[24];
  std::snprintf(buf, sizeof buf, "0x%llX", static_cast<unsigned long long>(value));
  return buf;
}

}  // namespace tarnvex::pst
