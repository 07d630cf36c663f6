#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

#include "platform/file_open_dialog.h"

namespace tarnvex {

// "description|pattern|..." as Qt's name filters "description (patterns)", joined by ";;".
// Throws Failure when a description has no pattern.
QString QtNameFilters(const std::string& filter);

// The file-open dialog as Qt's file dialog, modal to the window.
class QtFileOpenDialog : public FileOpenDialog {
 public:
  explicit QtFileOpenDialog(QWidget* window = nullptr) : window_(window) {}

  void SetFileName(const std::string& fileName) override { fileName_ = fileName; }
  std::string FileName() override { return fileName_; }
  void SetDialogTitle(const std::string& title) override { title_ = title; }
  void SetFilter(const std::string& filter) override;
  void ShowOpen() override;

 private:
  QPointer<QWidget> window_;
  std::string fileName_;
  std::string title_;
  QString nameFilters_;
};

}  // namespace tarnvex
