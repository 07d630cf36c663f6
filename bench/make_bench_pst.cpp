// Writes a PST with the given number of contacts for the export benchmark: the kind of contact
// an address book holds (names, company, phones, a postal address, e-mail, a short note), one in
// ten with a photo, one in twenty-five with a long note.
//
// Usage: tarnvex-bench-pst FILE COUNT [--no-photos] [--equal-names] [--mails N] [--in-inbox]
//   --no-photos    no contact has a photo (a million contacts then stay well under 2 GB)
//   --equal-names  nine contacts in ten share one of a few file-as texts, as real address
//                  books do ("Info", "Switchboard", an empty one, ...), the rest are distinct
//   --mails N      the Inbox also holds N mails (a subject, a sender, a short body)
//   --in-inbox     the contacts lie in the Inbox among the mails, spread evenly, instead of in
//                  the Contacts folder

#include <cstdio>
#include <exception>
#include <string>

#include "tools/pstwriter/pst_writer.h"
#include "tools/pstwriter/store_model.h"

using namespace tarnvex::pstwriter;

namespace {

const char* const kGiven[] = {"Anna",    "Björn",  "Chloé", "Dmitri", "Elena", "Farid",  "Grace",
                              "Hiroshi", "Ingrid", "José",  "Kofi",   "Lena",  "Miguel", "Nadia"};
const char* const kSurname[] = {"Andersson", "Brown",  "Castillo", "Dubois", "Eriksen",  "Fischer",
                                "García",    "Hansen", "Ivanova",  "Jensen", "Kowalski", "López"};
const char* const kCompany[] = {"Acme Ltd",          "Globex", "Initech",  "Umbrella", "Stark & Co",
                                "Wayne Enterprises", "Tyrell", "Cyberdyne"};

Bytes Photo(unsigned seed) {
  Bytes b = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0x00};
  unsigned x = seed * 2654435761u + 1;
  while (b.size() < 3000) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    b.push_back(static_cast<uint8_t>(x));
  }
  b.push_back(0xFF);
  b.push_back(0xD9);
  return b;
}

void AddMail(Folder& folder, long i) {
  auto& p = folder.AddMessage("IPM.Note").props;
  p.SetString("PidTagSubject", "Order " + std::to_string(i) + ": delivery next week");
  p.SetString("PidTagSenderName", "Sales Desk");
  p.SetString("PidTagSenderEmailAddress", "sales@example.com");
  p.SetString("PidTagBody", "Dear customer,\r\nyour order " + std::to_string(i) +
                                " ships on Monday.\r\nKind regards");
  p.Set("PidTagMessageDeliveryTime", Value::Time(FileTime::FromUnix(1700000000 + i)));
}

}  // namespace

int main(int argc, char** argv) {
  bool photos = true, equalNames = false, inInbox = false;
  long mails = 0;
  for (int i = 3; i < argc; ++i) {
    const std::string option = argv[i];
    if (option == "--no-photos") {
      photos = false;
    } else if (option == "--equal-names") {
      equalNames = true;
    } else if (option == "--in-inbox") {
      inInbox = true;
    } else if (option == "--mails" && i + 1 < argc) {
      mails = std::stol(argv[++i]);
    } else {
      argc = 0;  // usage
    }
  }
  if (argc < 3) {
    std::fprintf(stderr,
                 "usage: %s FILE COUNT [--no-photos] [--equal-names] [--mails N] [--in-inbox]\n",
                 argv[0]);
    return 2;
  }
  static const char* const kShared[] = {"Info", "Switchboard", "", "Reception", "info"};
  try {
    const long count = std::stol(argv[2]);
    Store store = Store::WithStandardFolders();
    Folder& inbox = *store.ipmSubtree.FindFolder("Inbox");
    Folder& contacts = inInbox ? inbox : *store.Contacts();
    // With the contacts in the Inbox, one comes after every mails / count mails.
    const long mailsPerContact = count > 0 ? mails / count : mails;
    long mailsWritten = 0;
    for (long i = 0; i < count; ++i) {
      if (inInbox) {
        for (long k = 0; k < mailsPerContact; ++k)
          AddMail(inbox, mailsWritten++);
      }
      Message& m = contacts.AddMessage("IPM.Contact");
      const std::string given = kGiven[i % 14];
      const std::string surname = std::string(kSurname[(i / 14) % 12]) + " " + std::to_string(i);
      const std::string company = kCompany[i % 8];
      auto& p = m.props;
      p.SetString("PidLidFileUnder",
                  equalNames && i % 10 != 0 ? kShared[i % 5] : surname + ", " + given);
      p.SetString("PidTagDisplayName", given + " " + surname);
      p.SetString("PidTagGivenName", given);
      p.SetString("PidTagSurname", surname);
      p.SetString("PidTagCompanyName", company);
      p.SetString("PidTagTitle", "Account Manager");
      p.SetString("PidTagBusinessTelephoneNumber",
                  "+44 20 7946 " + std::to_string(1000 + i % 9000));
      p.SetString("PidTagMobileTelephoneNumber", "+44 7700 " + std::to_string(900000 + i % 99999));
      p.SetString("PidTagHomeTelephoneNumber", "+44 161 496 " + std::to_string(1000 + i % 9000));
      p.SetString("PidLidWorkAddressStreet", std::to_string(1 + i % 200) + " High Street");
      p.SetString("PidLidWorkAddressCity", "London");
      p.SetString("PidLidWorkAddressPostalCode", "EC1A 1BB");
      p.SetString("PidLidWorkAddressCountry", "United Kingdom");
      p.Set("PidLidPostalAddressId", Value::Int32(2));
      p.SetString("PidLidEmail1EmailAddress", "contact" + std::to_string(i) + "@example.com");
      p.SetString("PidLidEmail1AddressType", "SMTP");
      p.SetString("PidTagBusinessHomePage", "https://www.example.com/");
      p.SetString("PidTagBody", i % 25 == 0 ? std::string(10000, 'n') + "\r\nend"
                                            : "Met at the trade fair.\r\nCall in spring.");
      p.Set("PidNameKeywords", Value::MultiString({"Business", "Customers"}));
      p.Set("PidTagLastModificationTime", Value::Time(FileTime::FromUnix(1700000000 + i)));
      if (photos && i % 10 == 0)
        m.SetContactPhoto(Photo(static_cast<unsigned>(i)));
    }
    while (mailsWritten < mails)
      AddMail(inbox, mailsWritten++);
    const WriteStats stats = WritePst(store, argv[1]);
    std::printf("%s: %ld contacts, %ld mails, %llu bytes\n", argv[1], count, mails,
                static_cast<unsigned long long>(stats.fileSize));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}
