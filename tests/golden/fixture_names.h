#pragma once

// The golden fixtures (tests/golden/fixtures/NAME.json, cards in tests/golden/cards/NAME/), for
// every suite that exports or reads them. codepage_<N> keeps its contacts' text in code page N.

namespace tarnvex::golden {

inline constexpr const char* kFixtureNames[] = {
    "folders",      "full",          "names",         "strict",
    "codepage_932", "codepage_1251", "codepage_1250", "codepage_1252",
};

// The fixtures whose 2.1 cards are also kept in Outlook's charset (cards/NAME/2.1-outlook).
inline constexpr const char* kCodePageFixtureNames[] = {
    "codepage_932",
    "codepage_1251",
    "codepage_1250",
    "codepage_1252",
};

}  // namespace tarnvex::golden
