#pragma once

#include <string>

#include "platform/message_boxes.h"
#include "platform/outlook.h"
#include "platform/program.h"

namespace tarnvex {

// True when an application object can be created; the object is released at once. Never fails.
bool IsOutlookAvailable(OutlookAutomation& outlook);

// The five paragraphs shown when Outlook cannot be started.
std::string OutlookMissingText();

// Returns when Outlook can be started; otherwise explains what to check and ends the program.
void CheckOutlookInstalled(OutlookAutomation& outlook, MessageBoxes& boxes,
                           const std::string& appTitle, Program& program);

}  // namespace tarnvex
