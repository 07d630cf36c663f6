#include "tools/pstwriter/code_page.h"

#include <iconv.h>

#include <cerrno>

#include "platform/failure.h"

namespace tarnvex::pstwriter {
namespace {

std::string IconvName(std::uint32_t codePage) {
  switch (codePage) {
    case 20127:
      return "ASCII";
    case 20866:
      return "KOI8-R";
    case 21866:
      return "KOI8-U";
    case 50220:
      return "ISO-2022-JP";
    case 51932:
      return "EUC-JP";
    case 65001:
      return "UTF-8";
    case 10000:
      return "MACINTOSH";
    default:
      break;
  }
  if (codePage >= 28591 && codePage <= 28605)
    return "ISO-8859-" + std::to_string(codePage - 28590);
  return "CP" + std::to_string(codePage);
}

}  // namespace

std::string EncodeInCodePage(const std::string& utf8, std::uint32_t codePage) {
  const std::string name = IconvName(codePage);
  iconv_t cd = iconv_open(name.c_str(), "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1))
    throw Failure("Code page " + std::to_string(codePage) + " is not known to iconv.");
  struct Closer {
    iconv_t cd;
    ~Closer() { iconv_close(cd); }
  } closer{cd};
  std::string out;
  char* in = const_cast<char*>(utf8.data());
  size_t inLeft = utf8.size();
  char buffer[1024];
  while (true) {
    char* to = buffer;
    size_t toLeft = sizeof buffer;
    const size_t rc = inLeft > 0 ? iconv(cd, &in, &inLeft, &to, &toLeft)
                                 : iconv(cd, nullptr, nullptr, &to, &toLeft);
    out.append(buffer, to);
    if (rc == static_cast<size_t>(-1) && errno != E2BIG) {
      throw Failure("\"" + utf8 + "\" cannot be written in code page " + std::to_string(codePage) +
                    ".");
    }
    if (rc != static_cast<size_t>(-1) && inLeft == 0 && to == buffer)
      break;
  }
  return out;
}

void EncodeStrings(PropertyBag& bag, std::uint32_t codePage) {
  std::vector<Property> encoded;
  for (const Property& p : bag.all()) {
    if (p.value.type() == PropType::kString) {
      encoded.push_back({p.key, Value::String8(EncodeInCodePage(p.value.AsString(), codePage))});
    } else if (p.value.type() == PropType::kMultiString) {
      std::vector<std::string> values;
      for (const std::string& s : p.value.AsMultiString())
        values.push_back(EncodeInCodePage(s, codePage));
      encoded.push_back({p.key, Value::MultiString8(std::move(values))});
    }
  }
  for (Property& p : encoded)
    bag.Set(p.key, std::move(p.value));
}

}  // namespace tarnvex::pstwriter
