#include "platform/qt/qt_folder_browser.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace tarnvex {

FolderBrowserWindow::FolderBrowserWindow(const BrowseRequest& request, BrowseCallbackFn callback,
                                         QWidget* parent)
    : QDialog(parent), callback_(std::move(callback)) {
  setObjectName(QStringLiteral("FolderBrowser"));
  setWindowTitle(QStringLiteral("Browse for Folder"));
  setModal(true);
  resize(420, 460);

  prompt_ = new QLabel(QString::fromStdString(request.title), this);
  prompt_->setObjectName(QStringLiteral("prompt"));
  prompt_->setWordWrap(true);

  model_ = new QFileSystemModel(this);
  model_->setFilter(QDir::AllDirs | QDir::Drives | QDir::NoDotAndDotDot);
  model_->setRootPath(QDir::rootPath());

  tree_ = new QTreeView(this);
  tree_->setObjectName(QStringLiteral("folderTree"));
  tree_->setModel(model_);
  tree_->setHeaderHidden(true);
  for (int column = 1; column < model_->columnCount(); ++column)
    tree_->hideColumn(column);
  tree_->setSelectionMode(QAbstractItemView::SingleSelection);

  status_ = new QLabel(this);
  status_->setObjectName(QStringLiteral("status"));
  status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  status_->setMinimumHeight(status_->fontMetrics().height());

  buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons_->button(QDialogButtonBox::Ok)->setEnabled(false);
  connect(buttons_, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(prompt_);
  layout->addWidget(tree_, 1);
  layout->addWidget(status_);
  layout->addWidget(buttons_);

  connect(tree_->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this] { SelectionChanged(); });
}

void FolderBrowserWindow::Start() {
  if (callback_)
    callback_(*this, kBffmInitialized, std::nullopt);
  // Our own default when the callback selected nothing: the user's home folder.
  if (!tree_->currentIndex().isValid())
    Select(QDir::homePath());
}

void FolderBrowserWindow::Select(const QString& path) {
  if (path.isEmpty() || !QFileInfo(path).isDir())
    return;
  const QModelIndex index = model_->index(QFileInfo(path).absoluteFilePath());
  if (!index.isValid())
    return;
  for (QModelIndex up = index.parent(); up.isValid(); up = up.parent())
    tree_->expand(up);
  tree_->setCurrentIndex(index);
  tree_->scrollTo(index);
}

void FolderBrowserWindow::SelectionChanged() {
  const std::optional<std::string> path = SelectedPath();
  buttons_->button(QDialogButtonBox::Ok)->setEnabled(path.has_value());
  if (callback_)
    callback_(*this, kBffmSelChanged, path);
}

void FolderBrowserWindow::SendMessage(uint32_t message, int32_t, const std::string& text) {
  if (message == kBffmSetSelection) {
    Select(QString::fromStdString(text));
  } else if (message == kBffmSetStatusText) {
    status_->setText(QString::fromStdString(text));
  }
}

std::optional<std::string> FolderBrowserWindow::SelectedPath() const {
  const QModelIndex index = tree_->currentIndex();
  if (!index.isValid())
    return std::nullopt;
  const QString path = model_->filePath(index);
  if (path.isEmpty() || !QFileInfo(path).isDir())
    return std::nullopt;
  return QDir::toNativeSeparators(path).toStdString();
}

QString FolderBrowserWindow::StatusText() const {
  return status_->text();
}
QString FolderBrowserWindow::Prompt() const {
  return prompt_->text();
}

std::optional<std::string> QtFolderBrowser::Browse(const BrowseRequest& request,
                                                   const BrowseCallbackFn& callback) {
  QWidget* owner = request.owner
                       ? QWidget::find(static_cast<WId>(static_cast<uint32_t>(request.owner)))
                       : nullptr;
  FolderBrowserWindow window(request, callback, owner);
  window.Start();
  if (window.exec() != QDialog::Accepted)
    return std::nullopt;
  return window.SelectedPath().value_or(std::string());
}

}  // namespace tarnvex
