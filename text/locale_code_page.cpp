#include "text/locale_code_page.h"

namespace tarnvex::text {
namespace {

struct Language {
  uint16_t primary;  // the low 10 bits of the LCID's language id
  uint16_t codePage;
};

// By primary language, as Windows' locale tables give LOCALE_IDEFAULTANSICODEPAGE.
constexpr Language kLanguages[] = {
    {0x01, 1256},  // Arabic
    {0x02, 1251},  // Bulgarian
    {0x03, 1252},  // Catalan
    {0x05, 1250},  // Czech
    {0x06, 1252},  // Danish
    {0x07, 1252},  // German
    {0x08, 1253},  // Greek
    {0x09, 1252},  // English
    {0x0A, 1252},  // Spanish
    {0x0B, 1252},  // Finnish
    {0x0C, 1252},  // French
    {0x0D, 1255},  // Hebrew
    {0x0E, 1250},  // Hungarian
    {0x0F, 1252},  // Icelandic
    {0x10, 1252},  // Italian
    {0x11, 932},   // Japanese
    {0x12, 949},   // Korean
    {0x13, 1252},  // Dutch
    {0x14, 1252},  // Norwegian
    {0x15, 1250},  // Polish
    {0x16, 1252},  // Portuguese
    {0x18, 1250},  // Romanian
    {0x19, 1251},  // Russian
    {0x1A, 1250},  // Croatian, Serbian and Bosnian (Latin)
    {0x1B, 1250},  // Slovak
    {0x1C, 1250},  // Albanian
    {0x1D, 1252},  // Swedish
    {0x1E, 874},   // Thai
    {0x1F, 1254},  // Turkish
    {0x20, 1256},  // Urdu
    {0x21, 1252},  // Indonesian
    {0x22, 1251},  // Ukrainian
    {0x23, 1251},  // Belarusian
    {0x24, 1250},  // Slovenian
    {0x25, 1257},  // Estonian
    {0x26, 1257},  // Latvian
    {0x27, 1257},  // Lithuanian
    {0x29, 1256},  // Persian
    {0x2A, 1258},  // Vietnamese
    {0x2C, 1254},  // Azerbaijani (Latin)
    {0x2D, 1252},  // Basque
    {0x2F, 1251},  // Macedonian
    {0x36, 1252},  // Afrikaans
    {0x38, 1252},  // Faroese
    {0x3E, 1252},  // Malay
    {0x3F, 1251},  // Kazakh
    {0x40, 1251},  // Kyrgyz
    {0x41, 1252},  // Swahili
    {0x43, 1254},  // Uzbek (Latin)
    {0x44, 1251},  // Tatar
    {0x50, 1251},  // Mongolian (Cyrillic)
    {0x56, 1252},  // Galician
};

struct Locale {
  uint16_t lcid;
  uint16_t codePage;
};

// Locales whose code page differs from their language's: Chinese by region, Cyrillic forms.
constexpr Locale kLocales[] = {
    {0x0404, 950},   // Chinese (Taiwan)
    {0x0804, 936},   // Chinese (PRC)
    {0x0C04, 950},   // Chinese (Hong Kong SAR)
    {0x1004, 936},   // Chinese (Singapore)
    {0x1404, 950},   // Chinese (Macao SAR)
    {0x0C1A, 1251},  // Serbian (Cyrillic, Serbia and Montenegro)
    {0x1C1A, 1251},  // Serbian (Cyrillic, Bosnia and Herzegovina)
    {0x201A, 1251},  // Bosnian (Cyrillic)
    {0x281A, 1251},  // Serbian (Cyrillic, Serbia)
    {0x301A, 1251},  // Serbian (Cyrillic, Montenegro)
    {0x082C, 1251},  // Azerbaijani (Cyrillic)
    {0x0843, 1251},  // Uzbek (Cyrillic)
};

}  // namespace

uint32_t AnsiCodePageOfLocale(uint32_t lcid) {
  const uint32_t language = lcid & 0xFFFF;  // the sort id above it does not change the code page
  for (const Locale& l : kLocales) {
    if (l.lcid == language)
      return l.codePage;
  }
  if ((language & 0x3FF) == 0x04)
    return 936;  // another Chinese locale
  for (const Language& l : kLanguages) {
    if (l.primary == (language & 0x3FF))
      return l.codePage;
  }
  return 0;
}

}  // namespace tarnvex::text
