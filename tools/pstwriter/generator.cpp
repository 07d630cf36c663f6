#include "tools/pstwriter/generator.h"

#include <array>
#include <string>
#include <vector>

#include "platform/failure.h"

namespace tarnvex::pstwriter {

namespace {

// splitmix64: small, fast, and the same on every platform and standard library.
class Random {
 public:
  explicit Random(std::uint64_t seed)
      : state_(seed * 0x9E3779B97F4A7C15ull + 0x632BE59BD9B4E019ull) {}
  std::uint64_t Next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  std::size_t Below(std::size_t n) { return static_cast<std::size_t>(Next() % n); }
  template <typename T, std::size_t N>
  const T& Pick(const std::array<T, N>& a) {
    return a[Below(N)];
  }

 private:
  std::uint64_t state_;
};

struct Script {
  std::array<const char*, 6> given;
  std::array<const char*, 6> surnames;
  bool surnameFirst;  // display name order of the culture
};

const std::array<Script, 7> kScripts = {{
    {{"Anna", "John", "Mary", "Peter", "Linda", "James"},
     {"Smith", "Johnson", "Brown", "Taylor", "Walker", "Clark"},
     false},
    {{"José", "Zoë", "Björn", "Łukasz", "François", "Ângela"},
     {"Müller", "Øvergård", "Núñez", "Dvořák", "Śliwiński", "Ç. Yılmaz"},
     false},
    {{"Алексей", "Мария", "Дмитрий", "Ольга", "Сергей", "Наталья"},
     {"Иванов", "Петрова", "Смирнов", "Кузнецова", "Попов", "Соколова"},
     false},
    {{"Γιώργος", "Ελένη", "Νίκος", "Μαρία", "Δημήτρης", "Σοφία"},
     {"Παπαδόπουλος", "Οικονόμου", "Γεωργίου", "Νικολάου", "Ιωάννου", "Βασιλείου"},
     false},
    {{"太郎", "美咲", "伟", "秀英", "민준", "서연"},
     {"山田", "佐藤", "王", "李", "김", "박"},
     true},
    {{"محمد", "فاطمة", "أحمد", "مريم", "علي", "نور"},
     {"العلي", "حسن", "الحسيني", "منصور", "السيد", "خليل"},
     false},
    {{"Ann 🎉", "Bob 🚀", "Cleo 🌸", "Dan 🎸", "Eve 🦄", "Fay 🍀"},
     {"Smiley 😀", "Rocket", "Blossom 🌺", "Strings", "Unicorn", "Clover"},
     false},
}};

const std::array<const char*, 8> kCompanies = {
    "Contoso Ltd.",     "Fabrikam, Inc.", "Müller & Söhne GmbH", "ООО «Ромашка»",
    "株式会社サンプル", "شركة المثال",    "AT&T R/D: \"Lab\"",   "Tailspin Toys"};
const std::array<const char*, 6> kTitles = {"Engineer", "Manager", "Directora",
                                            "Инженер",  "部長",    "Consultant"};
const std::array<const char*, 6> kCities = {"Zürich", "Москва",  "Αθήνα",
                                            "東京",   "القاهرة", "São Paulo"};
const std::array<const char*, 4> kCategories = {"Business", "Personal", "VIP", "Família"};

// A fixed piece of text in several scripts, repeated to the requested length.
std::string NoteText(std::size_t chars, std::uint64_t seed) {
  static const char* kLines[] = {
      "Met at the conference; follow up about the proposal.\r\n",
      "Größere Bestellung im Frühjahr – Rückruf erbeten.\r\n",
      "Позвонить после обеда, уточнить адрес доставки.\r\n",
      "会議の後にメールを送ること。\r\n",
      "يرجى الاتصال بعد الظهر.\r\n",
      "Birthday party 🎂 on Saturday!\r\n",
  };
  std::string out;
  std::size_t i = seed % 6;
  std::size_t count = 0;
  while (count < chars) {
    const std::string line = kLines[i++ % 6];
    out += line;
    for (unsigned char c : line)
      count += (c & 0xC0) != 0x80;  // count code points
  }
  return out;
}

std::string Ascii(const std::string& s, std::uint64_t n) {
  std::string out;
  for (unsigned char c : s) {
    if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))
      out += static_cast<char>(c);
    if (c >= 'A' && c <= 'Z')
      out += static_cast<char>(c - 'A' + 'a');
  }
  if (out.empty())
    out = "contact";
  return out + std::to_string(n);
}

// Bytes in the shape of a DER certificate (a SEQUENCE of the length that follows), different for
// each contact; they stand for a certificate the way the photos stand for a picture.
Bytes CertificateLike(std::uint64_t n) {
  const std::size_t length = 300 + n % 200;
  Bytes bytes = {0x30, 0x82, static_cast<std::uint8_t>(length >> 8),
                 static_cast<std::uint8_t>(length & 0xFF)};
  std::uint32_t x = static_cast<std::uint32_t>(n) * 2654435761u + 1;
  for (std::size_t i = 0; i < length; ++i) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    bytes.push_back(static_cast<std::uint8_t>(x));
  }
  return bytes;
}

void AddContact(Message& m, std::uint64_t n, Random& rnd, const GeneratorOptions& options,
                std::vector<std::string>& fileAsHistory) {
  const Script& script = kScripts[n % kScripts.size()];
  const std::string given = rnd.Pick(script.given);
  const std::string surname = rnd.Pick(script.surnames);
  const std::string display = script.surnameFirst ? surname + given : given + " " + surname;
  std::string fileAs = surname + ", " + given;
  if (n % 15 == 7)
    fileAs += " <R&D: \"a/b\\c\"?*|>";  // characters no file name may hold
  if (options.collidingEvery > 0 && n % options.collidingEvery == 0 && !fileAsHistory.empty()) {
    fileAs = fileAsHistory[rnd.Below(fileAsHistory.size())];  // collides with an earlier one
  }
  fileAsHistory.push_back(fileAs);

  PropertyBag& p = m.props;
  p.SetString("PidTagDisplayName", display);
  p.SetString("PidTagSubject", display);
  p.SetString("PidTagNormalizedSubject", display);
  p.SetString("PidTagGivenName", given);
  p.SetString("PidTagSurname", surname);
  p.SetString("PidLidFileUnder", fileAs);
  p.Set("PidLidFileUnderId", Value::Int32(0x8017));
  const std::string mail = Ascii(given, n) + "@example.com";
  p.SetString("PidLidEmail1EmailAddress", mail);
  p.SetString("PidLidEmail1AddressType", "SMTP");
  p.SetString("PidLidEmail1DisplayName", display + " (" + mail + ")");
  p.SetString("PidLidEmail1OriginalDisplayName", mail);
  if (n % 3 == 0) {
    p.SetString("PidLidEmail2EmailAddress", Ascii(surname, n) + "@example.org");
    p.SetString("PidLidEmail2AddressType", "SMTP");
  }
  p.SetString("PidTagMobileTelephoneNumber", "+41 79 " + std::to_string(1000000 + n % 9000000));
  if (n % 2 == 0) {
    p.SetString("PidTagBusinessTelephoneNumber", "+1 (425) 555-" + std::to_string(1000 + n % 9000));
  }
  if (n % 4 == 1)
    p.SetString("PidTagHomeTelephoneNumber", "+7 495 " + std::to_string(n % 10000000));
  if (n % 2 == 1) {
    p.SetString("PidTagCompanyName", rnd.Pick(kCompanies));
    p.SetString("PidTagTitle", rnd.Pick(kTitles));
  }
  if (n % 5 == 0) {
    p.SetString("PidLidWorkAddressStreet", std::to_string(1 + n % 200) + " Main St.\r\nSuite 5");
    p.SetString("PidLidWorkAddressCity", rnd.Pick(kCities));
    p.SetString("PidLidWorkAddressPostalCode", std::to_string(10000 + n % 90000));
    p.SetString("PidLidWorkAddressCountry", "Switzerland");
    p.Set("PidLidPostalAddressId", Value::Int32(2));
  }
  if (n % 5 == 2) {
    p.SetString("PidTagHomeAddressStreet", "Hauptstraße " + std::to_string(1 + n % 99));
    p.SetString("PidTagHomeAddressCity", rnd.Pick(kCities));
    p.SetString("PidTagHomeAddressCountry", "Deutschland");
  }
  if (n % 6 == 0) {
    // Local midnight of a birthday between 1950 and 2005.
    const std::int64_t days = 7305 - 365 * 20 + static_cast<std::int64_t>(n % 20000);
    p.Set("PidTagBirthday", Value::Time(FileTime::FromUnix(days * 86400)));
    p.Set("PidLidBirthdayLocal", Value::Time(FileTime::FromUnix(days * 86400)));
  }
  if (n % 7 == 3) {
    p.Set("PidNameKeywords", Value::MultiString({rnd.Pick(kCategories), rnd.Pick(kCategories)}));
  }
  if (n % 8 == 5)
    p.SetString("PidTagBusinessHomePage", "https://example.com/~" + Ascii(given, n));
  if (n % 9 == 4)
    p.SetString("PidLidFreeBusyLocation", "https://calendar.example.com/fb/" + Ascii(given, n));
  if (n % 13 == 6)
    p.Set("PidTagUserX509Certificate", Value::MultiBinary({CertificateLike(n)}));
  p.Set("PidTagLastModificationTime",
        Value::Time(FileTime::FromUnix(1700000000 + static_cast<std::int64_t>(n) * 60)));
  if (options.longNotes && n % 25 == 11) {
    p.SetString("PidTagBody", NoteText(5000 + rnd.Below(8000), n));  // several blocks
  } else if (n % 4 == 3) {
    p.SetString("PidTagBody", NoteText(40, n));
  }
  if (options.photos && n % 10 == 4)
    m.SetContactPhoto(TinyJpeg(static_cast<std::uint32_t>(n)));
}

// Huffman code of a JPEG DC difference category (the standard luminance DC table).
void DcCode(int category, std::uint32_t& code, int& length) {
  static const std::uint16_t codes[] = {0x000, 0x002, 0x003, 0x004, 0x005, 0x006,
                                        0x00E, 0x01E, 0x03E, 0x07E, 0x0FE, 0x1FE};
  static const int lengths[] = {2, 3, 3, 3, 3, 3, 4, 5, 6, 7, 8, 9};
  code = codes[category];
  length = lengths[category];
}

// A one-off entry id (an address not in any address book): flags, the one-off provider UID,
// version, Unicode flag, then display name, address type and address as UTF-16LE with
// terminators.
Bytes OneOffEntryId(const std::string& name, const std::string& address) {
  Bytes id = {0,    0,    0,    0,    0x81, 0x2B, 0x1F, 0xA4, 0xBE, 0xA3, 0x10, 0x19,
              0x9D, 0x6E, 0x00, 0xDD, 0x01, 0x0F, 0x54, 0x02, 0x00, 0x00, 0x01, 0x90};
  for (const std::string& part : {name, std::string("SMTP"), address}) {
    for (unsigned char c : part) {  // the parts used here are ASCII
      id.push_back(c);
      id.push_back(0);
    }
    id.push_back(0);
    id.push_back(0);
  }
  return id;
}

}  // namespace

Bytes TinyJpeg(std::uint32_t seed) {
  // A baseline greyscale JPEG of one 8x8 block in a single grey level: only the DC coefficient
  // is coded, followed by an end-of-block code.
  const int grey = 16 + static_cast<int>(seed * 37 % 224);
  Bytes j = {0xFF, 0xD8,                                                      // SOI
             0xFF, 0xE0, 0x00, 0x10, 'J',  'F',  'I', 'F', 0x00, 0x01, 0x01,  // APP0 JFIF 1.1
             0x00, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00};
  j.insert(j.end(), {0xFF, 0xDB, 0x00, 0x43, 0x00});  // DQT, table 0, all ones
  j.insert(j.end(), 64, 0x01);
  j.insert(j.end(), {0xFF, 0xC0, 0x00, 0x0B, 0x08, 0x00, 0x08, 0x00, 0x08, 0x01, 0x01, 0x11,
                     0x00});  // SOF0: 8x8, one component, table 0
  // DHT: standard luminance DC table (class 0, id 0).
  j.insert(j.end(), {0xFF, 0xC4, 0x00, 0x1F, 0x00, 0, 1, 5, 1, 1, 1, 1, 1, 1, 0,  0, 0,
                     0,    0,    0,    0,    0,    1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11});
  // DHT: an AC table (class 1, id 0) holding only the end-of-block symbol, coded "0".
  j.insert(j.end(),
           {0xFF, 0xC4, 0x00, 0x14, 0x10, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x00});
  // A comment makes some photos larger than a heap allocation, so they go to a subnode.
  if (seed % 4 == 0) {
    const std::size_t n = 4000 + seed % 3000;
    j.insert(j.end(), {0xFF, 0xFE, static_cast<std::uint8_t>((n + 2) >> 8),
                       static_cast<std::uint8_t>((n + 2) & 0xFF)});
    for (std::size_t i = 0; i < n; ++i)
      j.push_back(static_cast<std::uint8_t>('a' + i % 26));
  }
  j.insert(j.end(), {0xFF, 0xDA, 0x00, 0x08, 0x01, 0x01, 0x00, 0x00, 0x3F, 0x00});  // SOS
  // Entropy-coded data: DC value (level shift and 8x scale of the DCT), then EOB.
  const int dc = (grey - 128) * 8;
  int magnitude = dc < 0 ? -dc : dc;
  int category = 0;
  while (magnitude >> category)
    ++category;
  std::uint32_t bits = 0;
  int nbits = 0;
  std::uint32_t code;
  int length;
  DcCode(category, code, length);
  bits = code;
  nbits = length;
  if (category > 0) {
    const std::uint32_t extra = dc < 0 ? static_cast<std::uint32_t>(dc + (1 << category) - 1)
                                       : static_cast<std::uint32_t>(dc);
    bits = (bits << category) | (extra & ((1u << category) - 1));
    nbits += category;
  }
  bits = (bits << 1);  // EOB, code "0"
  nbits += 1;
  while (nbits % 8) {  // pad with ones
    bits = (bits << 1) | 1;
    ++nbits;
  }
  for (int shift = nbits - 8; shift >= 0; shift -= 8) {
    const auto byte = static_cast<std::uint8_t>((bits >> shift) & 0xFF);
    j.push_back(byte);
    if (byte == 0xFF)
      j.push_back(0x00);
  }
  j.insert(j.end(), {0xFF, 0xD9});  // EOI
  return j;
}

Store GenerateStore(const GeneratorOptions& options) {
  if (options.folders < 1)
    throw Failure("The number of contact folders must be at least 1.");
  Store store = Store::WithStandardFolders(options.storeName);
  Random rnd(options.seed);
  for (auto& b : store.recordKey.bytes)
    b = static_cast<std::uint8_t>(rnd.Next());

  std::vector<Folder*> targets{store.Contacts()};
  for (int i = 2; i <= options.folders; ++i) {
    targets.push_back(&targets.back()->AddFolder("Contacts " + std::to_string(i), "IPF.Contact"));
  }
  std::vector<std::string> fileAsHistory;
  fileAsHistory.reserve(options.contacts);
  for (std::uint64_t n = 0; n < options.contacts; ++n) {
    Message& m = targets[n % targets.size()]->AddMessage("IPM.Contact");
    AddContact(m, n, rnd, options, fileAsHistory);
  }

  Folder& contacts = *store.Contacts();
  for (int i = 0; i < options.distributionLists; ++i) {
    Message& dl = contacts.AddMessage("IPM.DistList");
    const std::string name = "Team " + std::to_string(i + 1) + " – Ω";
    dl.props.SetString("PidTagDisplayName", name);
    dl.props.SetString("PidTagSubject", name);
    dl.props.SetString("PidLidDistributionListName", name);
    dl.props.SetString("PidLidFileUnder", name);
    std::vector<Bytes> members;
    for (int k = 0; k < 2 + i; ++k) {
      const std::string who = "Member " + std::to_string(k + 1);
      members.push_back(OneOffEntryId(who, "member" + std::to_string(k + 1) + "@example.com"));
    }
    dl.props.Set("PidLidDistributionListMembers", Value::MultiBinary(members));
    dl.props.Set("PidLidDistributionListOneOffMembers", Value::MultiBinary(members));
  }
  Folder& inbox = *store.ipmSubtree.FindRole(FolderRole::kInbox);
  Folder& notes = *store.ipmSubtree.FindRole(FolderRole::kNotes);
  for (int i = 0; i < options.otherItems; ++i) {
    const std::string subject = "Note " + std::to_string(i + 1) + " – Grüße";
    Message& item = (i % 3 == 0)   ? contacts.AddMessage("IPM.Note")
                    : (i % 3 == 1) ? inbox.AddMessage("IPM.Note")
                                   : notes.AddMessage("IPM.StickyNote");
    item.props.SetString("PidTagSubject", subject);
    item.props.SetString("PidTagBody", "Not a contact.");
    item.props.SetString("PidLidFileUnder", subject);  // a file-as text on a non-contact
    if (i % 3 == 1) {
      item.recipients.push_back(Recipient{"Anna Smith", "anna@example.com", 1});
      item.props.SetString("PidTagDisplayTo", "Anna Smith");
      item.attachments.push_back(Attachment::File("readme.txt", Bytes{'h', 'i', '\n'}));
    }
  }
  return store;
}

}  // namespace tarnvex::pstwriter
