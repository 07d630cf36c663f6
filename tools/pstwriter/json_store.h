#pragma once

// Reads a store description in JSON (the format tools/README.md documents) into a Store.

#include <string>

#include "tools/pstwriter/store_model.h"

namespace tarnvex::pstwriter {

// jsonText: the description; baseDir: where relative "file" paths in it are looked up.
// source names the description in messages. Throws Failure naming the place that is wrong.
Store StoreFromJson(const std::string& jsonText, const std::string& baseDir,
                    const std::string& source);

}  // namespace tarnvex::pstwriter
