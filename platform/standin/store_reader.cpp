#include "platform/standin/store_reader.h"

#include <cstring>

#include "platform/failure.h"
#include "platform/standin/fallback_reader.h"
#include "platform/standin/native_reader.h"
#include "pst/file_source.h"
#include "text/locale_code_page.h"
#include "text/utf.h"

namespace tarnvex::standin::store {

// MS-PST section 2.3.3.4.2, multi-valued variable-size properties: a 32-bit count, that many
// 32-bit offsets into the data, then the values one after the other. libpff's own multi-value
// access of this release gives no values for them, so the data is read here.
std::vector<std::string_view> Entry::SplitValues(std::string_view raw) const {
  const auto* d = reinterpret_cast<const uint8_t*>(raw.data());
  auto u32 = [&](size_t at) {
    return static_cast<uint32_t>(d[at] | (d[at + 1] << 8) | (d[at + 2] << 16) |
                                 (static_cast<uint32_t>(d[at + 3]) << 24));
  };
  auto damaged = [&] {
    throw Failure("A list property in the Outlook data file \"" + FilePath() +
                  "\" is damaged: its value table does not fit its data.");
  };
  std::vector<std::string_view> out;
  if (raw.size() < 4)
    return out;
  const uint32_t count = u32(0);
  if (count > (raw.size() - 4) / 4)
    damaged();
  const size_t dataStart = 4 + static_cast<size_t>(count) * 4;
  for (uint32_t k = 0; k < count; ++k) {
    const size_t begin = u32(4 + k * 4);
    const size_t end = k + 1 < count ? u32(4 + (k + 1) * 4) : raw.size();
    if (begin < dataStart || begin > end || end > raw.size())
      damaged();
    out.push_back(raw.substr(begin, end - begin));
  }
  return out;
}

std::vector<std::string> Entry::Texts() const {
  const std::string raw = Bytes();
  std::vector<std::string> out;
  for (std::string_view value : SplitValues(raw)) {
    if (ValueType() == kTypeMultiUnicode) {
      out.push_back(
          text::Utf16LeToUtf8(reinterpret_cast<const uint8_t*>(value.data()), value.size()));
    } else {
      out.push_back(Decode8(value));
    }
  }
  return out;
}

std::vector<std::string> Entry::Binaries() const {
  const std::string raw = Bytes();
  std::vector<std::string> out;
  for (std::string_view value : SplitValues(raw))
    out.emplace_back(value);
  return out;
}

std::string TextDecoding::Decode(std::string_view bytes, uint32_t codePage) const {
  bytes = bytes.substr(0, bytes.find('\0'));
  if (!pages_) {
    std::string out;
    for (const unsigned char c : bytes)
      text::AppendUtf8(out, c);
    return out;
  }
  CodePages::Decoded d = pages_->Decode(bytes, codePage);
  if (d.replaced && warn_ && !warned_.exchange(true)) {
    warn_(pages_->Knows(codePage) ? "Some text in code page " + std::to_string(codePage) +
                                        " does not decode; it is shown as U+FFFD."
                                  : "Code page " + std::to_string(codePage) +
                                        " is not known here; text in it is shown as U+FFFD.");
  }
  return std::move(d.utf8);
}

uint32_t CodePageOf(const Item& item, uint32_t inherited) {
  if (auto e = item.Find(kTagMessageCodepage, kTypeInt32); e && e->Int32() != 0)
    return e->Int32();
  if (auto e = item.Find(kTagMessageLocaleId, kTypeInt32)) {
    if (const uint32_t cp = text::AnsiCodePageOfLocale(e->Int32()))
      return cp;
  }
  if (auto e = item.Find(kTagCodePageId, kTypeInt32); e && e->Int32() != 0)
    return e->Int32();
  return inherited;
}

namespace {

// The quick check over an open source.
void CheckSignature(const pst::ByteSource& source) {
  char magic[4] = {};
  const std::size_t read = source.ReadAt(0, magic, sizeof magic);
  if (read == 0) {
    throw Failure("The file \"" + source.Name() +
                  "\" is empty; it is not an Outlook data file (PST/OST).");
  }
  if (read < sizeof magic || std::memcmp(magic, "!BDN", 4) != 0)
    throw Failure("The file \"" + source.Name() + "\" is not an Outlook data file (PST/OST).");
}

}  // namespace

void CheckSignature(const std::string& path) {
  CheckSignature(*pst::OpenFileSource(path));
}

std::shared_ptr<File> OpenFile(const std::string& path,
                               std::shared_ptr<const TextDecoding> decoding) {
  if (!decoding)
    decoding = std::make_shared<const TextDecoding>();
  std::shared_ptr<const pst::ByteSource> source = pst::OpenFileSource(path);
  CheckSignature(*source);
  std::string why, damage;
  if (auto file = native::OpenNative(std::move(source), why, decoding, &damage))
    return file;
  // Only a format the native reader does not read goes to the fall-back reader; a damaged file of
  // a format it reads is refused with the damage.
  if (!damage.empty())
    throw Failure(damage);
  return OpenWithFallback(path, why, std::move(decoding));
}

namespace {

class ChildrenInMemory : public Item::Children {
 public:
  explicit ChildrenInMemory(std::vector<Item::Child> children) : children_(std::move(children)) {}
  std::size_t Count() const override { return children_.size(); }
  Item::Child Take(std::size_t index) override { return std::move(children_.at(index)); }

 private:
  std::vector<Item::Child> children_;
};

}  // namespace

std::unique_ptr<Item::Children> Item::NormalMessagesOneByOne() const {
  return std::make_unique<ChildrenInMemory>(NormalMessages());
}

}  // namespace tarnvex::standin::store
