#include "export/is_installed.h"

#include "product/product.h"

namespace tarnvex {
namespace {

bool CanCreateApplication(OutlookAutomation& outlook) {
  try {
    return outlook.CreateApplication() != nullptr;
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace

bool IsOutlookAvailable(OutlookAutomation& outlook) {
  return CanCreateApplication(outlook);
}

std::string OutlookMissingText() {
  const std::string separator = "\r\n\r\n";
  return "Error 6631. A normal instance of Outlook could not be created." + separator +
         "1. Please make sure Outlook is installed on this computer." + separator +
         "2. Please make sure that you have properly configured Outlook such that the 'Getting "
         "Started' wizard does not show." +
         separator +
         "3. Please open Outlook normally and make sure a clean inbox opens immediately without "
         "any interrupting window (popups, messages)." +
         separator + "Please email a screenshot of this message to " +
         std::string(product::kSupportAddress) +
         " if you have done all of above and are still having problems.";
}

void CheckOutlookInstalled(OutlookAutomation& outlook, MessageBoxes& boxes,
                           const std::string& appTitle, Program& program) {
  if (CanCreateApplication(outlook))
    return;
  try {
    boxes.Show(OutlookMissingText(), appTitle, MessageIcon::kNone);
  } catch (const std::exception&) {
    // The program ends all the same.
  }
  program.End();
}

}  // namespace tarnvex
