#pragma once

// How the PST library fails: exceptions of its own, below the program's failure type (the
// library includes nothing of platform/). Their texts are worded for a person and name the data
// file, so whoever translates them into the program's failure (platform/standin/native_reader.cpp)
// passes the text on as it is.

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

#include "pst/format.h"

namespace tarnvex::pst {

// Every failure the library raises itself. A byte source raises what its implementation raises
// (byte_source.h).
class Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// What is wrong with a damaged file, for code that reacts to a kind of damage and for tests.
enum class Defect {
  kChecksum,          // a CRC does not match its data
  kTruncated,         // a structure ends beyond the end of the data
  kOutOfBounds,       // an offset or size points outside the file, a page or a block
  kMissing,           // a referenced block, node or subnode is not there
  kMismatch,          // a trailer, page type, BID or level differs from what refers to it
  kBadStructure,      // a field holds a value the format does not allow
  kBadHeapReference,  // an HID that names no allocation of its heap
  kLoop,              // a walk meets more pages or allocations than the data can hold
  kTooLarge,          // a value larger than any the format keeps for an item
  kDuplicateNode,     // the node index lists one NID twice
  kFolderCycle,       // a folder lists itself or a folder above it as its subfolder
};

// Where in the file the damage was found; what is unknown stays empty.
struct Location {
  std::optional<std::uint64_t> offset;  // file offset of the damaged structure
  std::optional<format::Bid> block;
  std::optional<format::Nid> node;

  static Location AtOffset(std::uint64_t offset) { return {offset, std::nullopt, std::nullopt}; }
  static Location OfBlock(format::Bid bid, std::optional<std::uint64_t> offset = std::nullopt) {
    return {offset, bid, std::nullopt};
  }
  static Location OfNode(format::Nid nid, std::optional<std::uint64_t> offset = std::nullopt) {
    return {offset, std::nullopt, nid};
  }
};

// A damaged data file. The description says what and where in words. Expected and found give
// the values compared, when there are such: expected is what the referring structure records (a
// trailer's check sum, the size an index gives), found is what the data holds.
class CorruptionError : public Error {
 public:
  CorruptionError(std::string source, Defect defect, std::string description, Location where,
                  std::string expected = {}, std::string found = {});

  const std::string& source() const { return source_; }
  Defect defect() const { return defect_; }
  const std::string& description() const { return description_; }
  const Location& where() const { return where_; }
  const std::string& expected() const { return expected_; }
  const std::string& found() const { return found_; }

 private:
  std::string source_;
  Defect defect_;
  std::string description_;
  Location where_;
  std::string expected_;
  std::string found_;
};

// A file this library does not read (no PST file, an ANSI file, an encoding it does not decode):
// not damage; another reader may serve it.
class UnsupportedFormat : public Error {
 public:
  UnsupportedFormat(std::string source, std::string reason);
  const std::string& source() const { return source_; }
  // Why, as a clause: "it is in a file format this reader does not know (format 37)".
  const std::string& reason() const { return reason_; }

 private:
  std::string source_;
  std::string reason_;
};

// "0x1F2E": identifiers and check sums as failures give them.
std::string Hex(std::uint64_t value);

}  // namespace tarnvex::pst
