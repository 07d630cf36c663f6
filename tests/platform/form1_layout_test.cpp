// The main window's table: every control where the form places it, in tab order, and the rule
// both windows turn twips into pixels by.
#include "platform/form1_layout.h"

#include <gtest/gtest.h>

#include <string>

namespace tarnvex {
namespace {

TEST(TwipsToPixels, FifteenTwipsAPixelAt96Dpi) {
  EXPECT_EQ(TwipsToPixels(8040, 96), 536);
  EXPECT_EQ(TwipsToPixels(3390, 96), 226);
  EXPECT_EQ(TwipsToPixels(585, 96), 39);
  EXPECT_EQ(TwipsToPixels(8040, 144), 804);
  EXPECT_EQ(TwipsToPixels(15, 120), 1);
}

TEST(Form1Layout, TheClientAreaIs8040By3390Twips) {
  EXPECT_EQ(kForm1ClientWidthTwips, 8040);
  EXPECT_EQ(kForm1ClientHeightTwips, 3390);
}

struct ControlCase {
  const char* name;
  ControlKind kind;
  const char* container;
  const char* caption;
  int left, top, width, height;
};

// In tab order.
const ControlCase kExpected[] = {
    {"Frame1", ControlKind::kFrame, "Form1", "Source", 120, 600, 7800, 1245},
    {"Option1", ControlKind::kOptionButton, "Frame1",
     "Outlook 2000/2002/2003/2007/2010/etc. (Outlook but not Outlook Express)", 240, 300, 6870,
     255},
    {"Option2", ControlKind::kOptionButton, "Frame1", "PST File:", 240, 780, 1230, 255},
    {"Text2", ControlKind::kTextBox, "Frame1", "", 1320, 720, 5565, 345},
    {"PushButton8", ControlKind::kPushButton, "Frame1", "...", 6960, 720, 585, 345},
    {"PushButton3", ControlKind::kPushButton, "Form1", "Start Exporting", 120, 2870, 7800, 405},
    {"PushButton7", ControlKind::kPushButton, "Form1", "Help", 120, 120, 7800, 405},
    {"Frame2", ControlKind::kFrame, "Form1", "Save Results To This Folder", 120, 1920, 7800, 825},
    {"Text3", ControlKind::kTextBox, "Frame2", "", 225, 300, 6660, 345},
    {"PushButton2", ControlKind::kPushButton, "Frame2", "...", 6960, 300, 600, 345},
};

TEST(Form1Layout, EveryControlInTabOrderWhereTheFormPlacesIt) {
  ASSERT_EQ(kForm1Controls.size(), std::size(kExpected));
  for (std::size_t i = 0; i < kForm1Controls.size(); ++i) {
    const Form1Control& c = kForm1Controls[i];
    const ControlCase& e = kExpected[i];
    SCOPED_TRACE(e.name);
    EXPECT_STREQ(c.name, e.name);
    EXPECT_EQ(c.kind, e.kind);
    EXPECT_STREQ(Form1ContainerName(c), e.container);
    EXPECT_STREQ(c.caption, e.caption);
    EXPECT_EQ(c.left, e.left);
    EXPECT_EQ(c.top, e.top);
    EXPECT_EQ(c.width, e.width);
    EXPECT_EQ(c.height, e.height);
    // No access keys: no caption marks one.
    EXPECT_EQ(std::string(c.caption).find('&'), std::string::npos);
  }
}

TEST(Form1Layout, AContainerIsAFrameCreatedBeforeWhatItHolds) {
  for (std::size_t i = 0; i < kForm1Controls.size(); ++i) {
    const int container = kForm1Controls[i].container;
    if (container == kForm1NoContainer)
      continue;
    SCOPED_TRACE(kForm1Controls[i].name);
    ASSERT_GE(container, 0);
    EXPECT_LT(static_cast<std::size_t>(container), i);
    EXPECT_EQ(kForm1Controls[static_cast<std::size_t>(container)].kind, ControlKind::kFrame);
  }
}

TEST(Form1Layout, ControlsAreFoundByName) {
  EXPECT_EQ(Form1ControlIndex("Frame1"), 0);
  EXPECT_EQ(Form1ControlIndex("PushButton2"), 9);
  EXPECT_EQ(Form1ControlIndex("Frame"), -1);
  EXPECT_EQ(Form1ControlIndex("CommonDialog1"), -1);
}

TEST(Form1Layout, TheDialogAndSkinControlsAreNoWindows) {
  ASSERT_EQ(kForm1Components.size(), 2u);
  EXPECT_STREQ(kForm1Components[0].name, "CommonDialog1");
  EXPECT_EQ(kForm1Components[0].kind, ControlKind::kCommonDialog);
  EXPECT_STREQ(kForm1Components[1].name, "SkinFramework1");
  EXPECT_EQ(kForm1Components[1].kind, ControlKind::kSkinFramework);
}

}  // namespace
}  // namespace tarnvex
