#pragma once

// The export run behind "Start Exporting".

#include <string>

#include "platform/export_view.h"
#include "platform/file_system.h"
#include "platform/message_boxes.h"
#include "platform/outlook.h"
#include "platform/sleeper.h"

namespace tarnvex {

struct ExportServices {
  OutlookAutomation& outlook;
  FileSystem& files;
  MessageBoxes& boxes;
  // The window pauses twice for Outlook; the command line passes NoSleep.
  Sleeper& sleeper;
  // Caption of the run's plain messages.
  std::string appTitle;
  ExportProgress* progress = nullptr;
  // The PST source's Deleted Items folder, and the folders below it, are exported too; without
  // this their contacts are only counted.
  bool includeDeletedItems = false;
};

struct ExportSummary {
  // The run's one closing message: "Done.", "No contacts found.", "PST File not found.", ...
  std::string closingMessage;
  int cardsWritten = 0;
  // Items of a contacts folder that are not contacts (distribution lists, mail, ...); other
  // folders bring their contacts alone.
  int itemsPassedOver = 0;
  // Failures reported during the run: one for each item that failed (however many of its steps
  // reported one) and each report outside the items' steps. For every folder exported, cards
  // written + items passed over + failed items is the number of items it brings: all of a
  // contacts folder's, the contact items of any other.
  int failures = 0;
  // Contacts that lie in the Deleted Items folder of the PST source, or below it, and were not
  // exported.
  int contactsInDeletedItems = 0;
};

inline constexpr std::string_view kMsgOutlookMissing =
    "MS Outlook does not appear to be installed on this computer.";
inline constexpr std::string_view kMsgFolderMissing =
    "Folder does not exist. Please select another folder.";
inline constexpr std::string_view kMsgForgotPst = "You forgot to input PST File.";
inline constexpr std::string_view kMsgPstNotFound = "PST File not found.";
inline constexpr std::string_view kMsgNoContacts = "No contacts found.";
inline constexpr std::string_view kMsgDone = "Done.";

ExportSummary PushButton3_Click(ExportView& view, const ExportServices& services);

}  // namespace tarnvex
