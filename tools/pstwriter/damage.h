#pragma once

// Deliberately damaged copies of a PST file, for robustness tests of readers.

#include <cstdint>
#include <string>

namespace tarnvex::pstwriter {

// Copies source to target, cut after the first `length` bytes. Throws Failure.
void WriteTruncatedCopy(const std::string& source, const std::string& target, std::uint64_t length);

// Copies source to target with `count` bytes at positions chosen from seed replaced by other
// values (each byte XORed with a non-zero value). Positions are drawn from [from, file size):
// pass from = 564 to keep the file header intact. Throws Failure.
void WriteFlippedCopy(const std::string& source, const std::string& target, std::uint64_t count,
                      std::uint64_t seed, std::uint64_t from = 0);

}  // namespace tarnvex::pstwriter
