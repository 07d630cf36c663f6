// The checks that Outlook is there before a run.
#include "export/is_installed.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/fakes/fake_outlook.h"
#include "tests/fakes/fake_ui.h"

namespace tarnvex {
namespace {

TEST(OutlookChecks, AvailableOnlyWhenAnObjectIsObtained) {
  fakes::FakeOutlook outlook;
  EXPECT_TRUE(IsOutlookAvailable(outlook));
  outlook.createGivesNull = true;
  EXPECT_FALSE(IsOutlookAvailable(outlook));
  outlook.failing.insert("CreateApplication");
  EXPECT_FALSE(IsOutlookAvailable(outlook));
}

TEST(OutlookChecks, MissingOutlookIsExplainedAndEndsTheProgram) {
  fakes::FakeOutlook outlook;
  fakes::RecordingMessageBoxes boxes;
  fakes::RecordingProgram program;
  CheckOutlookInstalled(outlook, boxes, "Tarnvex Card", program);
  EXPECT_TRUE(boxes.shown.empty());
  EXPECT_EQ(program.ended, 0);

  outlook.failing.insert("CreateApplication");
  CheckOutlookInstalled(outlook, boxes, "Tarnvex Card", program);
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].caption, "Tarnvex Card");
  EXPECT_EQ(boxes.shown[0].icon, MessageIcon::kNone);
  EXPECT_EQ(boxes.shown[0].text,
            "Error 6631. A normal instance of Outlook could not be created.\r\n\r\n"
            "1. Please make sure Outlook is installed on this computer.\r\n\r\n"
            "2. Please make sure that you have properly configured Outlook such that the "
            "'Getting Started' wizard does not show.\r\n\r\n"
            "3. Please open Outlook normally and make sure a clean inbox opens immediately "
            "without any interrupting window (popups, messages).\r\n\r\n"
            "Please email a screenshot of this message to support@tarnvex.example if you have "
            "done all of above and are still having problems.");
  EXPECT_EQ(program.ended, 1);
}

}  // namespace
}  // namespace tarnvex
