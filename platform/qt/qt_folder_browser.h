#pragma once

#include <QDialog>
#include <optional>

#include "platform/folder_browser.h"

class QFileSystemModel;
class QLabel;
class QTreeView;
class QDialogButtonBox;

namespace tarnvex {

// The folder browser's window: the prompt above a tree of the file system's folders, a status
// line the callback writes, OK and Cancel. Only folders can be chosen.
class FolderBrowserWindow : public QDialog, public BrowserDialog {
  Q_OBJECT

 public:
  FolderBrowserWindow(const BrowseRequest& request, BrowseCallbackFn callback,
                      QWidget* parent = nullptr);

  // Tells the callback that the browser is open; Browse calls it just before showing.
  void Start();

  void SendMessage(uint32_t message, int32_t wParam, const std::string& text) override;

  // The selected folder's path, nullopt when nothing is selected.
  std::optional<std::string> SelectedPath() const;
  QString StatusText() const;
  QString Prompt() const;

 private:
  void Select(const QString& path);
  void SelectionChanged();

  BrowseCallbackFn callback_;
  QFileSystemModel* model_ = nullptr;
  QTreeView* tree_ = nullptr;
  QLabel* prompt_ = nullptr;
  QLabel* status_ = nullptr;
  QDialogButtonBox* buttons_ = nullptr;
};

class QtFolderBrowser : public FolderBrowser {
 public:
  std::optional<std::string> Browse(const BrowseRequest& request,
                                    const BrowseCallbackFn& callback) override;
};

}  // namespace tarnvex
