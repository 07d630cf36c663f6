#include "platform/pst/store_reader.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <fstream>

#include "platform/failure.h"
#include "platform/pst/ndb/native_reader.h"
#include "platform/pst/pff.h"

namespace tarnvex::pst::store {

std::string Utf16ToUtf8(const uint8_t* data, size_t size) {
  // At most three bytes per UTF-16 unit (a surrogate pair, two units, makes four).
  std::string out(size / 2 * 3, '\0');
  char* o = out.data();
  auto put = [&](uint32_t cp) {
    if (cp < 0x800) {
      *o++ = static_cast<char>(0xC0 | (cp >> 6));
      *o++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
      *o++ = static_cast<char>(0xE0 | (cp >> 12));
      *o++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      *o++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      *o++ = static_cast<char>(0xF0 | (cp >> 18));
      *o++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      *o++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      *o++ = static_cast<char>(0x80 | (cp & 0x3F));
    }
  };
  for (size_t i = 0; i + 1 < size; i += 2) {
    const uint32_t u = data[i] | (data[i + 1] << 8);
    if (u < 0x80) {
      if (u == 0)
        break;
      *o++ = static_cast<char>(u);
      continue;
    }
    if (u >= 0xD800 && u <= 0xDBFF && i + 3 < size) {
      const uint32_t low = data[i + 2] | (data[i + 3] << 8);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        put(0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
        i += 2;
        continue;
      }
    }
    put(u >= 0xD800 && u <= 0xDFFF ? 0xFFFD : u);
  }
  out.resize(static_cast<size_t>(o - out.data()));
  return out;
}

void FailDamaged(const std::string& path, const std::string& what) {
  throw Failure("The Outlook data file \"" + path + "\" is damaged: " + what + ".");
}

// MS-PST section 2.3.3.4.2, multi-valued variable-size properties: a 32-bit count, that many
// 32-bit offsets into the data, then the values one after the other. libpff's own multi-value
// access of this release gives no values for them, so the data is read here.
std::vector<std::string> Entry::Texts() const {
  const std::string raw = Bytes();
  const auto* d = reinterpret_cast<const uint8_t*>(raw.data());
  auto u32 = [&](size_t at) {
    return static_cast<uint32_t>(d[at] | (d[at + 1] << 8) | (d[at + 2] << 16) |
                                 (static_cast<uint32_t>(d[at + 3]) << 24));
  };
  auto damaged = [&] {
    throw Failure("A list property in the Outlook data file \"" + FilePath() +
                  "\" is damaged: its value table does not fit its data.");
  };
  std::vector<std::string> out;
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
    if (ValueType() == kTypeMultiUnicode) {
      out.push_back(store::Utf16ToUtf8(d + begin, end - begin));
    } else {
      std::string s(raw, begin, end - begin);
      s.resize(strnlen(s.c_str(), s.size()));
      out.push_back(std::move(s));
    }
  }
  return out;
}

void CheckSignature(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    throw Failure("Cannot open the Outlook data file \"" + path + "\": " + std::strerror(errno) +
                  ".");
  }
  if (!S_ISREG(st.st_mode)) {
    throw Failure("Cannot open the Outlook data file \"" + path + "\": it is not a file.");
  }
  {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
      throw Failure("Cannot open the Outlook data file \"" + path + "\": " + std::strerror(errno) +
                    ".");
    }
    char magic[4] = {};
    in.read(magic, sizeof magic);
    if (in.gcount() == 0) {
      throw Failure("The file \"" + path +
                    "\" is empty; it is not an Outlook data file (PST/OST).");
    }
    if (in.gcount() < 4 || std::memcmp(magic, "!BDN", 4) != 0) {
      throw Failure("The file \"" + path + "\" is not an Outlook data file (PST/OST).");
    }
  }
}

std::shared_ptr<File> OpenFile(const std::string& path) {
  CheckSignature(path);
  if (auto file = ndb::OpenNative(path))
    return file;
  return pff::File::Open(path);
}

}  // namespace tarnvex::pst::store
