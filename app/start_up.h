#pragma once

// The pieces of the start-up sequence that stand on their own.

#include <string>
#include <string_view>

#include "platform/process_starter.h"
#include "platform/random.h"
#include "platform/window_services.h"

namespace tarnvex {

// The application title made from a product name: words are dropped from the end, at least one,
// until at most 40 characters remain. Throws Failure when a word has to go but there is no space
// left to cut at.
std::string AppTitleFrom(std::string_view productName);

// Sets the application title from the product name.
void SetAppTitle(WindowServices& window);

// The command line that opens the home page in the desktop's browser.
std::string HomePageCommandLine();

// At one start in a hundred, opens the maker's home page without waiting for it.
void OpenHomePageAtRandom(Clock& clock, RandomSource& random, ProcessStarter& processes);

// A truth value as the settings store keeps it: "True"/"False" in any letter case, or a number
// (0 false, any other true). Throws Failure ("Type mismatch") for anything else.
bool ReadTruthValue(std::string_view text);

inline std::string TruthText(bool value) {
  return value ? "True" : "False";
}

}  // namespace tarnvex
