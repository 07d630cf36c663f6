#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "dialogs/error_report.h"
#include "dialogs/step_guard.h"
#include "export/is_installed.h"
#include "tests/fakes/fake_outlook.h"
#include "tests/fakes/fake_ui.h"

namespace tarnvex {
namespace {

using ::testing::ElementsAre;

TEST(StepGuard, ReportsEachFailedStepAndGoesOn) {
  fakes::RecordingMessageBoxes boxes;
  StepGuard guard(boxes, "PushButton2_Click");
  std::string value = "old";
  std::vector<int> ran;

  guard.Run(100, [&] { ran.push_back(100); });
  const auto failingSource = []() -> std::string { throw Failure(""); };
  guard.Run(102, [&] { value = failingSource(); });
  EXPECT_TRUE(guard.Test(104, [&]() -> bool { throw Failure("test failed"); }));
  EXPECT_FALSE(guard.Test(106, [&] { return false; }));
  guard.Run(108, [&] { throw std::runtime_error("runtime"); });

  EXPECT_EQ(value, "old");
  EXPECT_THAT(ran, ElementsAre(100));
  EXPECT_THAT(boxes.ReportedLines(), ElementsAre(102, 104, 108));
  EXPECT_EQ(boxes.shown[0].text,
            "\r\nin Brismolt2021/08/31.Form1.PushButton2_Click at line 102\r\r"
            "Please email screenshot of this message to support@tarnvex.example");
  EXPECT_EQ(boxes.shown[0].caption, "Application Error");
  EXPECT_EQ(boxes.shown[0].icon, MessageIcon::kWarning);
  EXPECT_EQ(guard.reports(), 3);
}

TEST(StepGuard, UsingAnEmptyObjectFailsAsUsual) {
  std::shared_ptr<int> empty;
  EXPECT_THROW(
      {
        try {
          Use(empty);
        } catch (const Failure& failure) {
          EXPECT_EQ(failure.description(), "Object variable or With block variable not set");
          throw;
        }
      },
      Failure);
}

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
