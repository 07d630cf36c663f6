// The style sheet as a window that draws its own controls reads it: colours and fonts per control.
#include "platform/std/style_sheet.h"

#include <gtest/gtest.h>

#include "platform/failure.h"

namespace tarnvex {
namespace {

constexpr uint32_t Rgb(uint32_t r, uint32_t g, uint32_t b) {
  return r | (g << 8) | (b << 16);
}

TEST(SkinLooks, ColoursAndFontsPerControlName) {
  std::vector<ControlInfo> controls = {{"Frame1", ControlKind::kFrame},
                                       {"Option1", ControlKind::kOptionButton},
                                       {"Text2", ControlKind::kTextBox},
                                       {"PushButton3", ControlKind::kPushButton},
                                       {"PushButton7", ControlKind::kPushButton}};
  const auto looks = SkinLooks(R"(
    /* a comment { } */
    QWidget#Form1 { background-color: #e9eff2; }
    QPushButton { color: #10394a; background-color: qlineargradient(x1: 0, stop: 0 #fff); }
    QPushButton:hover { color: red; }
    #PushButton7, QGroupBox::title { color: rgb(1, 2, 3); font-family: "Liberation Sans", Arial;
                                     font-size: 12pt; font-weight: normal }
    QRadioButton { background-color: transparent }
    QLineEdit { background: #abc; font-size: 16px }
  )",
                               controls);
  ASSERT_TRUE(looks.contains("Form1"));
  EXPECT_EQ(looks.at("Form1").back, Rgb(0xe9, 0xef, 0xf2));
  EXPECT_FALSE(looks.contains("Frame1"));
  EXPECT_EQ(looks.at("PushButton3").fore, Rgb(0x10, 0x39, 0x4a));
  EXPECT_FALSE(looks.at("PushButton3").back.has_value());  // gradients are left out
  EXPECT_EQ(looks.at("PushButton7").fore, Rgb(1, 2, 3));   // a name wins over a type
  EXPECT_EQ(looks.at("PushButton7").fontFamily, "Liberation Sans");
  EXPECT_EQ(looks.at("PushButton7").fontPoints, 12.0);
  EXPECT_EQ(looks.at("PushButton7").fontWeight, 400);
  EXPECT_EQ(looks.at("Option1").back, ControlLook::kTransparent);
  EXPECT_EQ(looks.at("Text2").back, Rgb(0xaa, 0xbb, 0xcc));
  EXPECT_EQ(looks.at("Text2").fontPoints, 12.0);
  EXPECT_THROW(SkinLooks("QWidget { color: red;", controls), Failure);
  EXPECT_THROW(SkinLooks("/* open", controls), Failure);
}

struct ColourCase {
  const char* value;
  std::optional<uint32_t> colour;
};

TEST(SkinLooks, ColourForms) {
  const ColourCase cases[] = {
      {"#abc", Rgb(0xaa, 0xbb, 0xcc)},
      {"#A0B1C2", Rgb(0xa0, 0xb1, 0xc2)},
      {"#80a0b1c2", Rgb(0xa0, 0xb1, 0xc2)},  // alpha left out
      {"rgb(300, -4, 7)", Rgb(255, 0, 7)},
      {"rgba(1,2,3,0.5)", Rgb(1, 2, 3)},
      {"Navy", Rgb(0, 0, 0x80)},
      {"transparent", ControlLook::kTransparent},
      {"#abcd", std::nullopt},
      {"#ggg", std::nullopt},
      {"rgb(1, 2)", std::nullopt},
      {"rgb(1, 2, 3", std::nullopt},
      {"url(a.png)", std::nullopt},
  };
  const std::vector<ControlInfo> controls = {{"Text2", ControlKind::kTextBox}};
  for (const ColourCase& c : cases) {
    SCOPED_TRACE(c.value);
    const auto looks = SkinLooks(std::string("#Text2 { color: ") + c.value + " }", controls);
    if (c.colour) {
      ASSERT_TRUE(looks.contains("Text2"));
      EXPECT_EQ(looks.at("Text2").fore, c.colour);
    } else if (looks.contains("Text2")) {
      EXPECT_FALSE(looks.at("Text2").fore.has_value());
    }
  }
}

TEST(SkinLooks, TheDialogAndTheSkinEngineTakeNoLook) {
  const auto looks = SkinLooks("* { color: red }", {{"CommonDialog1", ControlKind::kCommonDialog},
                                                    {"SkinFramework1", ControlKind::kSkinFramework},
                                                    {"Frame1", ControlKind::kFrame}});
  EXPECT_EQ(looks.size(), 2u);  // Form1 and Frame1
  EXPECT_TRUE(looks.contains("Form1"));
  EXPECT_TRUE(looks.contains("Frame1"));
}

TEST(SkinLooks, TextOutsideARuleIsNoStyleSheet) {
  EXPECT_THROW(SkinLooks("QWidget { color: red } stray", {}), Failure);
  EXPECT_NO_THROW(SkinLooks("  /* only a comment */  ", {}));
}

}  // namespace
}  // namespace tarnvex
