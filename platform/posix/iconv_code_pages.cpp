#include "platform/posix/iconv_code_pages.h"

#include <iconv.h>

#include <cerrno>

namespace tarnvex {
namespace {

struct Name {
  uint32_t codePage;
  const char* iconv;
};

// Windows code page numbers and the names glibc's and libiconv's iconv know them by.
constexpr Name kNames[] = {
    {437, "CP437"},         {850, "CP850"},          {852, "CP852"},         {866, "CP866"},
    {874, "CP874"},         {932, "CP932"},          {936, "CP936"},         {949, "CP949"},
    {950, "CP950"},         {1200, "UTF-16LE"},      {1201, "UTF-16BE"},     {1250, "CP1250"},
    {1251, "CP1251"},       {1252, "CP1252"},        {1253, "CP1253"},       {1254, "CP1254"},
    {1255, "CP1255"},       {1256, "CP1256"},        {1257, "CP1257"},       {1258, "CP1258"},
    {10000, "MACINTOSH"},   {10007, "MAC-CYRILLIC"}, {20127, "ASCII"},       {20866, "KOI8-R"},
    {20932, "EUC-JP"},      {20936, "GB2312"},       {21866, "KOI8-U"},      {28591, "ISO-8859-1"},
    {28592, "ISO-8859-2"},  {28593, "ISO-8859-3"},   {28594, "ISO-8859-4"},  {28595, "ISO-8859-5"},
    {28596, "ISO-8859-6"},  {28597, "ISO-8859-7"},   {28598, "ISO-8859-8"},  {28599, "ISO-8859-9"},
    {28600, "ISO-8859-10"}, {28601, "ISO-8859-11"},  {28603, "ISO-8859-13"}, {28604, "ISO-8859-14"},
    {28605, "ISO-8859-15"}, {50220, "ISO-2022-JP"},  {50221, "ISO-2022-JP"}, {50222, "ISO-2022-JP"},
    {50225, "ISO-2022-KR"}, {51932, "EUC-JP"},       {51936, "GB2312"},      {51949, "EUC-KR"},
    {52936, "HZ-GB-2312"},  {54936, "GB18030"},      {65000, "UTF-7"},       {65001, "UTF-8"},
};

constexpr char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD

}  // namespace

const char* IconvName(uint32_t codePage) {
  for (const Name& n : kNames) {
    if (n.codePage == codePage)
      return n.iconv;
  }
  return nullptr;
}

struct IconvCodePages::Converter {
  iconv_t cd;
  ~Converter() { iconv_close(cd); }
};

IconvCodePages::IconvCodePages() = default;
IconvCodePages::~IconvCodePages() = default;

IconvCodePages::Converter* IconvCodePages::ConverterFor(uint32_t codePage, bool encoding) const {
  Converters& converters = encoding ? encoders_ : decoders_;
  auto it = converters.find(codePage);
  if (it != converters.end())
    return it->second.get();
  std::unique_ptr<Converter> c;
  if (const char* name = IconvName(codePage)) {
    iconv_t cd = encoding ? iconv_open(name, "UTF-8") : iconv_open("UTF-8", name);
    if (cd != reinterpret_cast<iconv_t>(-1))
      c.reset(new Converter{cd});
  }
  return converters.emplace(codePage, std::move(c)).first->second.get();
}

bool IconvCodePages::Knows(uint32_t codePage) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return ConverterFor(codePage, /*encoding=*/false) != nullptr;
}

namespace {

// Runs the converter over the input until it is used up, appending what it gives to `out`. Gives 0,
// or the errno of a byte it cannot convert (`in` then stands at that byte). `approximated` grows
// by the characters converted to a look-alike.
int ConvertInto(iconv_t cd, char*& in, size_t& inLeft, std::string& out, size_t& approximated) {
  char buffer[1024];
  while (inLeft > 0) {
    char* to = buffer;
    size_t toLeft = sizeof buffer;
    const size_t rc = iconv(cd, &in, &inLeft, &to, &toLeft);
    const int error = rc == static_cast<size_t>(-1) ? errno : 0;
    out.append(buffer, to);
    if (error != 0 && error != E2BIG)
      return error;
    if (error == 0)
      approximated += rc;
  }
  return 0;
}

// A stateful encoding's return to the initial state, appended to `out`.
void FlushInto(iconv_t cd, std::string& out) {
  char buffer[64];
  char* to = buffer;
  size_t toLeft = sizeof buffer;
  iconv(cd, nullptr, nullptr, &to, &toLeft);
  out.append(buffer, to);
}

}  // namespace

std::optional<std::string> IconvCodePages::Encode(std::string_view utf8, uint32_t codePage) const {
  std::lock_guard<std::mutex> lock(mutex_);
  Converter* c = ConverterFor(codePage, /*encoding=*/true);
  if (!c)
    return std::nullopt;
  iconv(c->cd, nullptr, nullptr, nullptr, nullptr);
  std::string out;
  char* in = const_cast<char*>(utf8.data());
  size_t inLeft = utf8.size();
  size_t approximated = 0;
  // A character the code page lacks (EILSEQ), text that is not UTF-8, or a look-alike.
  if (ConvertInto(c->cd, in, inLeft, out, approximated) != 0 || approximated != 0)
    return std::nullopt;
  FlushInto(c->cd, out);
  return out;
}

CodePages::Decoded IconvCodePages::Decode(std::string_view bytes, uint32_t codePage) const {
  Decoded out;
  if (bytes.empty())
    return out;
  std::lock_guard<std::mutex> lock(mutex_);
  Converter* c = ConverterFor(codePage, /*encoding=*/false);
  if (!c) {
    // Unknown code page: ASCII stays readable, every other byte is U+FFFD.
    for (const char ch : bytes) {
      if (static_cast<unsigned char>(ch) < 0x80)
        out.utf8 += ch;
      else
        out.utf8 += kReplacement;
    }
    out.replaced = true;  // the code page itself is unknown
    return out;
  }
  iconv(c->cd, nullptr, nullptr, nullptr, nullptr);  // initial shift state
  char* in = const_cast<char*>(bytes.data());
  size_t inLeft = bytes.size();
  size_t approximated = 0;
  while (const int error = ConvertInto(c->cd, in, inLeft, out.utf8, approximated)) {
    // EILSEQ: a byte that does not decode; EINVAL: a sequence cut short at the end.
    out.utf8 += kReplacement;
    out.replaced = true;
    if (error == EINVAL)
      break;
    ++in;
    --inLeft;
    iconv(c->cd, nullptr, nullptr, nullptr, nullptr);
  }
  FlushInto(c->cd, out.utf8);
  return out;
}

}  // namespace tarnvex
