// The step guard: each numbered step of a handler runs once; a failed step is reported and the
// handler goes on with the next one.
#include "dialogs/step_guard.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace tarnvex
