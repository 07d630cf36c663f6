#pragma once

// MAPI's vocabulary, as Outlook's data files, the contact table, the stand-in and the PST writer
// share it: the property types (PT_*), the property sets' GUIDs as stored, and the message and
// container classes the program tells apart. Knows no OS, no toolkit and no file format.

#include <array>
#include <cstdint>
#include <string_view>

#include "text/case.h"

namespace tarnvex::mapi {

// Property types (MS-OXCDATA 2.11.1).
inline constexpr std::uint16_t kTypeInt16 = 0x0002;
inline constexpr std::uint16_t kTypeInt32 = 0x0003;
inline constexpr std::uint16_t kTypeDouble = 0x0005;
inline constexpr std::uint16_t kTypeBoolean = 0x000B;
inline constexpr std::uint16_t kTypeInt64 = 0x0014;
inline constexpr std::uint16_t kTypeString8 = 0x001E;  // 8-bit text in a code page
inline constexpr std::uint16_t kTypeUnicode = 0x001F;  // UTF-16LE text
inline constexpr std::uint16_t kTypeSystime = 0x0040;  // a FILETIME
inline constexpr std::uint16_t kTypeGuid = 0x0048;
inline constexpr std::uint16_t kTypeBinary = 0x0102;
inline constexpr std::uint16_t kTypeMultiple = 0x1000;  // the flag of the multi-valued types
inline constexpr std::uint16_t kTypeMultiInt32 = kTypeMultiple | kTypeInt32;
inline constexpr std::uint16_t kTypeMultiString8 = kTypeMultiple | kTypeString8;
inline constexpr std::uint16_t kTypeMultiUnicode = kTypeMultiple | kTypeUnicode;
inline constexpr std::uint16_t kTypeMultiBinary = kTypeMultiple | kTypeBinary;

// A GUID as stored: the first three fields little-endian, the rest as written.
using GuidBytes = std::array<std::uint8_t, 16>;

// The GUID {XXXXXXXX-0000-0000-C000-000000000046} of a property set Outlook defines, by its
// first field.
constexpr GuidBytes OutlookGuid(std::uint32_t data1) {
  return {static_cast<std::uint8_t>(data1),
          static_cast<std::uint8_t>(data1 >> 8),
          static_cast<std::uint8_t>(data1 >> 16),
          static_cast<std::uint8_t>(data1 >> 24),
          0x00,
          0x00,
          0x00,
          0x00,
          0xC0,
          0x00,
          0x00,
          0x00,
          0x00,
          0x00,
          0x00,
          0x46};
}

inline constexpr GuidBytes kPsMapi = OutlookGuid(0x00020328);             // PS_MAPI
inline constexpr GuidBytes kPsPublicStrings = OutlookGuid(0x00020329);    // PS_PUBLIC_STRINGS
inline constexpr GuidBytes kPsetidAddress = OutlookGuid(0x00062004);      // PSETID_Address
inline constexpr GuidBytes kPsetidCommon = OutlookGuid(0x00062008);       // PSETID_Common
inline constexpr GuidBytes kPsetidAppointment = OutlookGuid(0x00062002);  // PSETID_Appointment
inline constexpr GuidBytes kPsetidTask = OutlookGuid(0x00062003);         // PSETID_Task

// True for the class `name` itself or `name` followed by "." and a custom form's suffix, the
// letter case ignored in the ASCII range, as Outlook compares message and container classes.
inline bool IsClassOrSubclass(std::string_view cls, std::string_view name) {
  return text::StartsWithIgnoringAsciiCase(cls, name) &&
         (cls.size() == name.size() || cls[name.size()] == '.');
}

// The container class of a folder that holds contacts: "IPF.Contact", or a custom form's
// "IPF.Contact.*" (MS-OXOCNTC).
inline bool IsContactsFolderClass(std::string_view containerClass) {
  return IsClassOrSubclass(containerClass, "IPF.Contact");
}

// The message class of a contact item: "IPM.Contact" or "IPM.Contact.*" (MS-OXOCNTC).
inline bool IsContactMessageClass(std::string_view messageClass) {
  return IsClassOrSubclass(messageClass, "IPM.Contact");
}

}  // namespace tarnvex::mapi
