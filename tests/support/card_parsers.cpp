#include "tests/support/card_parsers.h"

#include <gtest/gtest.h>
#include <belcard/belcard.hpp>
#include <belcard/belcard_parser.hpp>

#include <array>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <nlohmann/json.hpp>
#include <stdexcept>

#include <unistd.h>

namespace tarnvex::testing {
namespace {

std::string Lower(std::string s) {
  for (auto& c : s)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}
std::string Upper(std::string s) {
  for (auto& c : s)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

}  // namespace

std::string ShellQuote(const std::string& s) {
  std::string out = "'";
  for (char c : s) {
    if (c == '\'') {
      out += "'\\''";
    } else {
      out += c;
    }
  }
  return out + "'";
}

namespace {

void AddTypes(ParsedProperty& p, const std::string& list) {
  size_t start = 0;
  while (start <= list.size()) {
    size_t comma = list.find(',', start);
    if (comma == std::string::npos)
      comma = list.size();
    std::string t = Lower(list.substr(start, comma - start));
    if (!t.empty() && t.front() == '"')
      t = t.substr(1, t.size() - 2);
    if (t == "pref") {
      p.pref = true;
    } else if (!t.empty()) {
      p.types.insert(t);
    }
    start = comma + 1;
  }
}

// RFC 6350 section 3.4 escapes, for belcard, which hands values over as written.
std::string Unescape(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 1 < s.size()) {
      const char n = s[++i];
      out += (n == 'n' || n == 'N') ? '\n' : n;
    } else {
      out += s[i];
    }
  }
  return out;
}

std::vector<std::string> SplitUnescaped(const std::string& s, char sep) {
  std::vector<std::string> parts(1);
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 1 < s.size()) {
      parts.back() += s[i];
      parts.back() += s[++i];
    } else if (s[i] == sep) {
      parts.emplace_back();
    } else {
      parts.back() += s[i];
    }
  }
  for (auto& p : parts)
    p = Unescape(p);
  return parts;
}

}  // namespace

std::vector<ParsedProperty> All(const ParsedCard& card, const std::string& name) {
  std::vector<ParsedProperty> out;
  for (const auto& p : card) {
    if (p.name == name)
      out.push_back(p);
  }
  return out;
}

ParsedProperty One(const ParsedCard& card, const std::string& name) {
  auto all = All(card, name);
  EXPECT_EQ(all.size(), 1u) << "property " << name;
  return all.empty() ? ParsedProperty{} : all.front();
}

std::string RunCommand(const std::string& command, const std::string& what) {
  char errPath[] = "/tmp/tarnvex-parser-XXXXXX";
  const int errFd = mkstemp(errPath);
  if (errFd < 0)
    throw std::runtime_error("cannot make a temporary file for " + what);
  close(errFd);
  const std::string cmd = command + " 2>" + ShellQuote(errPath);
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(cmd.c_str(), "r"), pclose);
  if (!pipe) {
    unlink(errPath);
    throw std::runtime_error("cannot run " + cmd);
  }
  std::string output;
  std::array<char, 65536> buf;
  size_t n;
  while ((n = fread(buf.data(), 1, buf.size(), pipe.get())) > 0)
    output.append(buf.data(), n);
  const int status = pclose(pipe.release());
  std::ifstream err(errPath, std::ios::binary);
  const std::string errors((std::istreambuf_iterator<char>(err)), std::istreambuf_iterator<char>());
  unlink(errPath);
  if (status != 0)
    throw std::runtime_error(what + " rejected the card:\n" + output + errors);
  return output;
}

namespace {

// The JSON both readers print: {"FILE": [{"name", "params", "singletons", "value"}, ...]}.
std::vector<ParsedCard> FromJson(const std::string& output, const std::vector<std::string>& paths) {
  const auto json = nlohmann::json::parse(output);
  std::vector<ParsedCard> cards;
  for (const auto& path : paths) {
    ParsedCard card;
    for (const auto& prop : json.at(path)) {
      ParsedProperty p;
      p.name = Upper(prop.at("name").get<std::string>());
      for (const auto& [key, values] : prop.at("params").items()) {
        const std::string k = Upper(key);
        for (const auto& v : values) {
          if (k == "TYPE") {
            AddTypes(p, v.get<std::string>());
          } else if (k == "PREF") {
            p.pref = true;
          } else {
            p.params[k] = v.get<std::string>();
          }
        }
      }
      for (const auto& s : prop.at("singletons"))
        AddTypes(p, s.get<std::string>());
      const auto& value = prop.at("value");
      if (value.is_array()) {
        for (const auto& v : value)
          p.value.push_back(v.get<std::string>());
      } else {
        p.value.push_back(value.get<std::string>());
      }
      card.push_back(std::move(p));
    }
    cards.push_back(std::move(card));
  }
  return cards;
}

std::string Files(const std::vector<std::string>& paths) {
  std::string out;
  for (const auto& p : paths)
    out += " " + ShellQuote(p);
  return out;
}

}  // namespace

std::vector<ParsedCard> ParseWithVobject(const std::vector<std::string>& paths,
                                         VobjectOptions options) {
  std::string cmd = "/usr/bin/python3 " + ShellQuote(TARNVEX_READ_VCARD_PY);
  if (!options.quotedPrintable)
    cmd += " --no-qp";
  if (options.lexical)
    cmd += " --lexical";
  return FromJson(RunCommand(cmd + Files(paths), "vobject"), paths);
}

std::vector<ParsedCard> ParseWithEzVcard(const std::vector<std::string>& paths) {
  const std::string cmd =
      ShellQuote(TARNVEX_JAVA) + " -cp " + ShellQuote(TARNVEX_EZVCARD_CLASSPATH) + " EzVcardReader";
  return FromJson(RunCommand(cmd + Files(paths), "ez-vcard"), paths);
}

ParsedCard ParseWithBelcard(const std::string& text) {
  auto card = belcard::BelCardParser::getInstance()->parseOne(text);
  if (!card)
    throw std::runtime_error("belcard rejected the card:\n" + text);
  ParsedCard out;
  for (const auto& prop : card->getProperties()) {
    ParsedProperty p;
    p.name = Upper(prop->getName());
    for (const auto& param : prop->getParams()) {
      const std::string k = Upper(param->getName());
      if (k == "TYPE") {
        AddTypes(p, param->getValue());
      } else if (k == "PREF") {
        p.pref = param->getValue() == "1";
      } else {
        p.params[k] = param->getValue();
      }
    }
    if (p.name == "N" || p.name == "ADR" || p.name == "ORG") {
      // belcard keeps the parts of these apart and gives no whole value.
      if (p.name == "N") {
        auto n = card->getName();
        p.value = {Unescape(n->getFamilyName()), Unescape(n->getGivenName()),
                   Unescape(n->getAdditionalName()), Unescape(n->getPrefixes()),
                   Unescape(n->getSuffixes())};
      } else if (p.name == "ORG") {
        p.value = SplitUnescaped(prop->getValue(), ';');
      } else {
        auto a = std::dynamic_pointer_cast<belcard::BelCardAddress>(prop);
        p.value = {Unescape(a->getPostOfficeBox()), Unescape(a->getExtendedAddress()),
                   Unescape(a->getStreet()),        Unescape(a->getLocality()),
                   Unescape(a->getRegion()),        Unescape(a->getPostalCode()),
                   Unescape(a->getCountry())};
      }
    } else if (p.name == "CATEGORIES") {
      p.value = SplitUnescaped(prop->getValue(), ',');
    } else if (p.name == "PHOTO" || p.name == "URL" || p.name == "IMPP") {
      p.value = {prop->getValue()};
    } else {
      p.value = {Unescape(prop->getValue())};
    }
    out.push_back(std::move(p));
  }
  return out;
}

}  // namespace tarnvex::testing
