#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tarnvex::standin {

// A store that keeps a password (PidTagPstPassword, 0x67FF on the message store: absent or 0
// when it has none) is opened only with that password. Throws Failure naming the file when the
// password is missing or not the one kept.
void CheckStorePassword(const std::string& path, std::optional<uint32_t> kept,
                        const std::optional<std::string>& password);

}  // namespace tarnvex::standin
