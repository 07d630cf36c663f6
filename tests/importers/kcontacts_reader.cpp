// Reads vCard files with KDE's KContacts (what KAddressBook and Kontact import with) and prints
// what its Addressee model holds as the importer JSON of tests/importers.
//
//   kcontacts_reader FILE.vcf...
//
// Nothing here repairs what the library gets wrong: the output is meant to show its faults.

#include <kcontacts_version.h>
#include <KContacts/Addressee>
#include <KContacts/VCardConverter>

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <QUrl>

#include <cstdio>

namespace {

using KContacts::Address;
using KContacts::Addressee;
using KContacts::Email;
using KContacts::PhoneNumber;
using KContacts::Picture;
using KContacts::ResourceLocatorUrl;

struct FlagName {
  int flag;
  const char* name;
};

// Pref is left out of every table: it becomes the "pref" flag of the entry, not a type.
const FlagName phoneTypeNames[] = {
    {PhoneNumber::Home, "home"},   {PhoneNumber::Work, "work"}, {PhoneNumber::Msg, "msg"},
    {PhoneNumber::Voice, "voice"}, {PhoneNumber::Fax, "fax"},   {PhoneNumber::Cell, "cell"},
    {PhoneNumber::Video, "video"}, {PhoneNumber::Bbs, "bbs"},   {PhoneNumber::Modem, "modem"},
    {PhoneNumber::Car, "car"},     {PhoneNumber::Isdn, "isdn"}, {PhoneNumber::Pcs, "pcs"},
    {PhoneNumber::Pager, "pager"},
};

const FlagName addressTypeNames[] = {
    {Address::Dom, "dom"},       {Address::Intl, "intl"}, {Address::Postal, "postal"},
    {Address::Parcel, "parcel"}, {Address::Home, "home"}, {Address::Work, "work"},
};

const FlagName emailTypeNames[] = {
    {Email::Home, "home"},
    {Email::Work, "work"},
    {Email::Other, "other"},
};

const FlagName urlTypeNames[] = {
    {ResourceLocatorUrl::Home, "home"},
    {ResourceLocatorUrl::Work, "work"},
    {ResourceLocatorUrl::Profile, "profile"},
    {ResourceLocatorUrl::Other, "other"},
};

template <std::size_t N>
QStringList namesOfFlags(int flags, const FlagName (&table)[N]) {
  QStringList names;
  for (const FlagName& entry : table) {
    if (flags & entry.flag) {
      names << QString::fromLatin1(entry.name);
    }
  }
  return names;
}

QJsonArray sortedTypes(QStringList types) {
  for (QString& type : types) {
    type = type.toLower();
  }
  types.removeAll(QStringLiteral("pref"));
  types.sort();
  types.removeDuplicates();
  return QJsonArray::fromStringList(types);
}

// parameters() is deprecated in favour of params(), but the ParameterMap that params() returns
// has no installed header, so the old accessor is the only public way to the TYPE values.
QT_WARNING_PUSH
QT_WARNING_DISABLE_DEPRECATED
template <typename Entry>
QStringList typeParameter(const Entry& entry) {
  const QMap<QString, QStringList> parameters = entry.parameters();
  QStringList types;
  for (auto it = parameters.cbegin(); it != parameters.cend(); ++it) {
    if (it.key().compare(QLatin1String("type"), Qt::CaseInsensitive) == 0) {
      for (const QString& value : it.value()) {
        types << value.split(QLatin1Char(','), Qt::SkipEmptyParts);
      }
    }
  }
  return types;
}
QT_WARNING_POP

QJsonValue stringOrNull(const QString& text) {
  return text.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(text);
}

QJsonValue nameParts(const Addressee& card) {
  const QStringList parts{card.familyName(), card.givenName(), card.additionalName(), card.prefix(),
                          card.suffix()};
  // The model cannot tell an N of five empty parts from a card without N.
  if (parts.join(QString()).isEmpty()) {
    return QJsonValue::Null;
  }
  return QJsonArray::fromStringList(parts);
}

// KContacts keeps the organisation and one department; further units of ORG are not in the model.
QJsonValue organisation(const Addressee& card) {
  if (card.organization().isEmpty() && card.department().isEmpty()) {
    return QJsonValue::Null;
  }
  QStringList parts{card.organization()};
  if (!card.department().isEmpty()) {
    parts << card.department();
  }
  return QJsonArray::fromStringList(parts);
}

// The phone's type is its flags: the card's own TYPE values stay in parameters(), but KContacts
// shows and writes back only the flags, so a type without a flag is lost for the user.
QJsonArray phones(const Addressee& card) {
  QJsonArray result;
  for (const PhoneNumber& phone : card.phoneNumbers()) {
    const int flags = phone.type();
    result.append(QJsonObject{{"value", phone.number()},
                              {"types", sortedTypes(namesOfFlags(flags, phoneTypeNames))},
                              {"pref", bool(flags & PhoneNumber::Pref)}});
  }
  return result;
}

// An e-mail's types are its TYPE parameter as kept (KContacts writes it back as it is) plus
// whatever its flags say.
QJsonArray emails(const Addressee& card) {
  QJsonArray result;
  for (const Email& email : card.emailList()) {
    const QStringList types = typeParameter(email) + namesOfFlags(email.type(), emailTypeNames);
    result.append(QJsonObject{
        {"value", email.mail()}, {"types", sortedTypes(types)}, {"pref", email.isPreferred()}});
  }
  return result;
}

QJsonArray addresses(const Addressee& card) {
  QJsonArray result;
  for (const Address& address : card.addresses()) {
    const int flags = address.type();
    const QStringList parts{address.postOfficeBox(), address.extended(), address.street(),
                            address.locality(),      address.region(),   address.postalCode(),
                            address.country()};
    result.append(QJsonObject{{"types", sortedTypes(namesOfFlags(flags, addressTypeNames))},
                              {"pref", bool(flags & Address::Pref)},
                              {"parts", QJsonArray::fromStringList(parts)}});
  }
  return result;
}

// Like e-mails, URLs keep their TYPE parameter and KContacts writes it back as it is.
QJsonArray urls(const Addressee& card) {
  QJsonArray result;
  for (const ResourceLocatorUrl& url : card.extraUrlList()) {
    const QStringList types = typeParameter(url) + namesOfFlags(url.type(), urlTypeNames);
    result.append(QJsonObject{{"value", url.url().toString()}, {"types", sortedTypes(types)}});
  }
  return result;
}

// A birthday without a year comes back as year -1; it is written "--MM-DD" rather than invented.
QJsonValue birthday(const Addressee& card) {
  const QDate date = card.birthday().date();
  if (!date.isValid()) {
    return QJsonValue::Null;
  }
  if (date.year() <= 0) {
    return date.toString(QStringLiteral("--MM-dd"));
  }
  return date.toString(QStringLiteral("yyyy-MM-dd"));
}

QJsonValue note(const Addressee& card) {
  QString text = card.note();
  text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return stringOrNull(text);
}

QJsonArray nicknames(const Addressee& card) {
  QStringList names;
  for (const KContacts::NickName& nickname : card.extraNickNameList()) {
    names << nickname.nickname();
  }
  if (names.isEmpty() && !card.nickName().isEmpty()) {
    names << card.nickName();
  }
  return QJsonArray::fromStringList(names);
}

QString sha256Hex(const QByteArray& bytes) {
  return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

QByteArray dataUriBytes(const QString& uri) {
  const int comma = uri.indexOf(QLatin1Char(','));
  const QString header = uri.left(comma);
  const QByteArray payload = uri.mid(comma + 1).toLatin1();
  if (header.endsWith(QLatin1String(";base64"), Qt::CaseInsensitive)) {
    return QByteArray::fromBase64(payload);
  }
  return QByteArray::fromPercentEncoding(payload);
}

// rawData() holds the bytes as they were decoded from the card, not a re-encoded QImage.
QJsonValue photo(const Addressee& card) {
  const Picture picture = card.photo();
  if (picture.isEmpty()) {
    return QJsonValue::Null;
  }
  if (picture.isIntern()) {
    return sha256Hex(picture.rawData());
  }
  const QString uri = picture.url();
  if (uri.startsWith(QLatin1String("data:"), Qt::CaseInsensitive)) {
    return sha256Hex(dataUriBytes(uri));
  }
  return QStringLiteral("uri:") + uri;
}

QJsonObject fields(const Addressee& card) {
  return QJsonObject{
      {"fn", stringOrNull(card.formattedName())},
      {"n", nameParts(card)},
      {"org", organisation(card)},
      {"title", stringOrNull(card.title())},
      {"tel", phones(card)},
      {"email", emails(card)},
      {"adr", addresses(card)},
      {"url", urls(card)},
      {"bday", birthday(card)},
      {"note", note(card)},
      {"nickname", nicknames(card)},
      {"photo", photo(card)},
  };
}

QJsonObject refusedCard(const QString& path, const QString& why) {
  return QJsonObject{{"file", path}, {"error", why}, {"fields", QJsonValue::Null}};
}

QJsonObject readCard(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    return refusedCard(path, QStringLiteral("cannot read the file: ") + file.errorString());
  }
  const Addressee::List cards = KContacts::VCardConverter().parseVCards(file.readAll());
  if (cards.isEmpty()) {
    return refusedCard(path, QStringLiteral("VCardConverter::parseVCards found no card"));
  }
  QJsonObject result{
      {"file", path}, {"error", QJsonValue::Null}, {"fields", fields(cards.first())}};
  if (cards.size() > 1) {
    result.insert(QStringLiteral("warning"), QStringLiteral("%1 cards in file").arg(cards.size()));
  }
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QJsonArray cards;
  for (const QString& path : app.arguments().mid(1)) {
    cards.append(readCard(path));
  }
  const QJsonObject report{{"importer", "kcontacts"},
                           {"library", QStringLiteral("KContacts " KContacts_VERSION_STRING)},
                           {"cards", cards}};
  const QByteArray json = QJsonDocument(report).toJson(QJsonDocument::Indented);
  return std::fwrite(json.constData(), 1, json.size(), stdout) == std::size_t(json.size()) ? 0 : 1;
}
