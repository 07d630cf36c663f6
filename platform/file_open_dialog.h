#pragma once

// The file-open common dialog `CommonDialog1`, with the members of the dialog control the
// program uses. The window owns it. ShowOpen throws Failure when the dialog cannot be shown.

#include <string>

namespace tarnvex {

class FileOpenDialog {
 public:
  virtual ~FileOpenDialog() = default;
  virtual void SetFileName(const std::string& fileName) = 0;
  virtual std::string FileName() = 0;
  virtual void SetDialogTitle(const std::string& title) = 0;
  // Filter in the dialog control's form: "description|pattern|description|pattern|...", where a
  // pattern may list several wildcards separated by ';'.
  virtual void SetFilter(const std::string& filter) = 0;
  // Shows the modal dialog and waits. A chosen file's full path becomes FileName; cancelling
  // leaves FileName as it was.
  virtual void ShowOpen() = 0;
};

}  // namespace tarnvex
