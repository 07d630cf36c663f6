#include "platform/std/style_sheet.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "platform/failure.h"
#include "text/case.h"

namespace tarnvex {
namespace {

std::string Trim(std::string_view text) {
  return std::string(text::TrimAsciiSpace(text));
}

std::string Lower(std::string text) {
  for (char& c : text)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::optional<int> Channel(const std::string& text) {
  char* end = nullptr;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (end == text.c_str())
    return std::nullopt;
  return static_cast<int>(std::clamp(value, 0L, 255L));
}

// A colour as 0x00BBGGRR; nullopt for what is no plain colour (a gradient, an image).
std::optional<uint32_t> ParseColour(const std::string& value) {
  const std::string v = Lower(Trim(value));
  auto rgb = [](int r, int g, int b) {
    return static_cast<uint32_t>(r) | (static_cast<uint32_t>(g) << 8) |
           (static_cast<uint32_t>(b) << 16);
  };
  if (v == "transparent")
    return ControlLook::kTransparent;
  if (!v.empty() && v[0] == '#') {
    const std::string hex = v.substr(1);
    if (!std::all_of(hex.begin(), hex.end(), [](char c) { return std::isxdigit(c) != 0; }))
      return std::nullopt;
    const auto number = static_cast<uint32_t>(std::strtoul(hex.c_str(), nullptr, 16));
    if (hex.size() == 3) {
      const int r = static_cast<int>((number >> 8) & 0xF) * 17;
      const int g = static_cast<int>((number >> 4) & 0xF) * 17;
      const int b = static_cast<int>(number & 0xF) * 17;
      return rgb(r, g, b);
    }
    if (hex.size() == 6 || hex.size() == 8) {
      return rgb(static_cast<int>((number >> 16) & 0xFF), static_cast<int>((number >> 8) & 0xFF),
                 static_cast<int>(number & 0xFF));
    }
    return std::nullopt;
  }
  if (v.rfind("rgb(", 0) == 0 || v.rfind("rgba(", 0) == 0) {
    const std::size_t open = v.find('(');
    const std::size_t close = v.find(')');
    if (close == std::string::npos)
      return std::nullopt;
    std::vector<std::string> parts;
    std::string inner = v.substr(open + 1, close - open - 1);
    std::size_t start = 0;
    for (std::size_t comma; (comma = inner.find(',', start)) != std::string::npos;
         start = comma + 1)
      parts.push_back(Trim(inner.substr(start, comma - start)));
    parts.push_back(Trim(inner.substr(start)));
    if (parts.size() < 3)
      return std::nullopt;
    const auto r = Channel(parts[0]), g = Channel(parts[1]), b = Channel(parts[2]);
    if (!r || !g || !b)
      return std::nullopt;
    return rgb(*r, *g, *b);
  }
  static const std::map<std::string, uint32_t> kNamed = {
      {"white", 0xFFFFFF},  {"black", 0x000000}, {"red", 0x0000FF},    {"green", 0x008000},
      {"blue", 0xFF0000},   {"gray", 0x808080},  {"grey", 0x808080},   {"silver", 0xC0C0C0},
      {"yellow", 0x00FFFF}, {"navy", 0x800000},  {"maroon", 0x000080}, {"teal", 0x808000},
  };
  if (auto found = kNamed.find(v); found != kNamed.end())
    return found->second;
  return std::nullopt;
}

struct Selector {
  std::string type;  // empty: any
  std::string name;  // empty: any
  int specificity = 0;
};

// One simple selector; nullopt for the forms the engine leaves out.
std::optional<Selector> ParseSelector(const std::string& text) {
  const std::string s = Trim(text);
  if (s.empty() || s.find_first_of(" \t\r\n>+~:[.") != std::string::npos)
    return std::nullopt;
  Selector selector;
  if (s == "*")
    return selector;
  const std::size_t hash = s.find('#');
  selector.type = s.substr(0, hash);
  if (hash != std::string::npos) {
    selector.name = s.substr(hash + 1);
    if (selector.name.empty() || selector.name.find('#') != std::string::npos)
      return std::nullopt;
  }
  selector.specificity = (selector.name.empty() ? 0 : 100) + (selector.type.empty() ? 0 : 1);
  return selector;
}

bool TypeMatches(const std::string& type, const std::string& name, ControlKind kind) {
  if (type.empty() || type == "QWidget")
    return true;
  if (name == "Form1")
    return false;
  return (type == "QGroupBox" && kind == ControlKind::kFrame) ||
         (type == "QRadioButton" && kind == ControlKind::kOptionButton) ||
         (type == "QLineEdit" && kind == ControlKind::kTextBox) ||
         (type == "QPushButton" && kind == ControlKind::kPushButton);
}

void SetProperty(ControlLook& look, const std::string& property, const std::string& value) {
  if (property == "background-color" || property == "background") {
    if (auto colour = ParseColour(value))
      look.back = colour;
  } else if (property == "color") {
    if (auto colour = ParseColour(value))
      look.fore = colour;
  } else if (property == "font-family") {
    std::string family = Trim(value.substr(0, value.find(',')));
    if (family.size() >= 2 && (family.front() == '"' || family.front() == '\''))
      family = family.substr(1, family.size() - 2);
    if (!family.empty())
      look.fontFamily = family;
  } else if (property == "font-size") {
    const std::string v = Lower(Trim(value));
    const double number = std::strtod(v.c_str(), nullptr);
    if (number <= 0)
      return;
    if (v.size() > 2 && v.compare(v.size() - 2, 2, "pt") == 0)
      look.fontPoints = number;
    else if (v.size() > 2 && v.compare(v.size() - 2, 2, "px") == 0)
      look.fontPoints = number * 72.0 / 96.0;
  } else if (property == "font-weight") {
    const std::string v = Lower(Trim(value));
    if (v == "bold")
      look.fontWeight = 700;
    else if (v == "normal")
      look.fontWeight = 400;
    else if (const int weight = std::atoi(v.c_str()); weight >= 100 && weight <= 900)
      look.fontWeight = weight;
  }
}

}  // namespace

std::map<std::string, ControlLook> SkinLooks(std::string_view sheet,
                                             const std::vector<ControlInfo>& controls) {
  std::string text;
  for (std::size_t i = 0; i < sheet.size();) {
    if (sheet.compare(i, 2, "/*") == 0) {
      const std::size_t end = sheet.find("*/", i + 2);
      if (end == std::string_view::npos)
        throw Failure("The skin has a comment that is not closed");
      i = end + 2;
      text += ' ';
    } else {
      text += sheet[i++];
    }
  }

  struct Rule {
    Selector selector;
    ControlLook look;
    std::size_t order;
  };
  std::vector<Rule> rules;
  std::size_t at = 0;
  for (;;) {
    const std::size_t open = text.find('{', at);
    if (open == std::string::npos) {
      if (!Trim(text.substr(at)).empty())
        throw Failure("The skin has text outside a rule");
      break;
    }
    const std::size_t close = text.find('}', open);
    if (close == std::string::npos)
      throw Failure("The skin has a rule that is not closed");
    ControlLook look;
    const std::string body = text.substr(open + 1, close - open - 1);
    std::size_t start = 0;
    while (start <= body.size()) {
      std::size_t end = body.find(';', start);
      if (end == std::string::npos)
        end = body.size();
      const std::string declaration = body.substr(start, end - start);
      if (const std::size_t colon = declaration.find(':'); colon != std::string::npos)
        SetProperty(look, Lower(Trim(declaration.substr(0, colon))),
                    Trim(declaration.substr(colon + 1)));
      start = end + 1;
    }
    const std::string selectors = text.substr(at, open - at);
    std::size_t from = 0;
    while (from <= selectors.size()) {
      std::size_t comma = selectors.find(',', from);
      if (comma == std::string::npos)
        comma = selectors.size();
      if (auto selector = ParseSelector(selectors.substr(from, comma - from)))
        rules.push_back({*selector, look, rules.size()});
      from = comma + 1;
    }
    at = close + 1;
  }
  std::stable_sort(rules.begin(), rules.end(), [](const Rule& a, const Rule& b) {
    return a.selector.specificity < b.selector.specificity;
  });

  std::vector<ControlInfo> targets = {{"Form1", ControlKind::kFrame}};
  targets.insert(targets.end(), controls.begin(), controls.end());
  std::map<std::string, ControlLook> looks;
  for (const ControlInfo& control : targets) {
    if (control.kind == ControlKind::kCommonDialog || control.kind == ControlKind::kSkinFramework)
      continue;
    ControlLook look;
    bool any = false;
    for (const Rule& rule : rules) {
      if (!rule.selector.name.empty() && rule.selector.name != control.name)
        continue;
      if (!TypeMatches(rule.selector.type, control.name, control.kind))
        continue;
      look.Merge(rule.look);
      any = true;
    }
    if (any)
      looks[control.name] = look;
  }
  return looks;
}

}  // namespace tarnvex
