// What the platform interfaces define themselves: the one test of a contacts folder's class.
#include "platform/outlook.h"

#include <gtest/gtest.h>

#include <string_view>

namespace tarnvex {
namespace {

struct ClassCase {
  std::string_view containerClass;
  bool contacts;
};

constexpr ClassCase kClasses[] = {
    {"IPF.Contact", true},
    {"ipf.contact", true},
    {"IPF.CONTACT", true},
    {"Ipf.Contact.MOC.QuickContacts", true},
    {"IPF.Contact.", true},
    {"IPF.Contact.Custom.Form", true},
    {"IPF.Contactless", false},
    {"IPF.Contacts", false},
    {"IPF.Contac", false},
    {"IPF.Note", false},
    {"IPF.Contact Form", false},
    {" IPF.Contact", false},
    {"IPF_Contact", false},
    {"IPM.Contact", false},
    {"", false},
    // Only ASCII letters fold: a dotless capital I or a Kelvin sign is no "i" or "k".
    {"\xC4\xB0PF.Contact", false},
    {"IPF.Contac\xE2\x84\xAA", false},
};

class ContactsFolderClass : public ::testing::TestWithParam<ClassCase> {};

TEST_P(ContactsFolderClass, IsIpfContactOrACustomFormOfIt) {
  EXPECT_EQ(IsContactsFolderClass(GetParam().containerClass), GetParam().contacts)
      << GetParam().containerClass;
}

INSTANTIATE_TEST_SUITE_P(Classes, ContactsFolderClass, ::testing::ValuesIn(kClasses));

}  // namespace
}  // namespace tarnvex
