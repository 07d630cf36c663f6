#pragma once

// The program's fixed names and the maker's addresses, kept in one place.

#include <string_view>

namespace tarnvex::product {

inline constexpr std::string_view kName = "Tarnvex Card Exporter";
// Application name under which the settings store keeps the program's section.
inline constexpr std::string_view kSettingsApplication = "Dravelkin";
inline constexpr std::string_view kSettingsSection = kName;
inline constexpr std::string_view kSupportAddress = "support@tarnvex.example";
inline constexpr std::string_view kHomePage = "https://tarnvex.example/";
// Project word and date that open every handler's location tag.
inline constexpr std::string_view kLocationPrefix = "in Brismolt2021/08/31.Form1.";
inline constexpr std::string_view kVersion = "0.1.0";

}  // namespace tarnvex::product
