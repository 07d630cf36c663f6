#include "dialogs/error_report.h"

#include <gtest/gtest.h>

namespace tarnvex {
namespace {

TEST(ErrorReport, TextIsDescriptionTagLineAndRequest) {
  EXPECT_EQ(ErrorReportText("Disk full", LocationTag("PushButton2_Click"), 104),
            "Disk full\r\nin Brismolt2021/08/31.Form1.PushButton2_Click at line 104\r\r"
            "Please email screenshot of this message to support@tarnvex.example");
}

}  // namespace
}  // namespace tarnvex
