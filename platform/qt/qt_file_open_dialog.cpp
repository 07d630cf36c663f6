#include "platform/qt/qt_file_open_dialog.h"

#include <QFileDialog>
#include <QStringList>

#include "platform/failure.h"

namespace tarnvex {

QString QtNameFilters(const std::string& filter) {
  QStringList parts = QString::fromStdString(filter).split(QLatin1Char('|'));
  // The list may end with a bar.
  if (!parts.isEmpty() && parts.last().isEmpty())
    parts.removeLast();
  if (parts.size() % 2 != 0) {
    throw Failure("The file filter \"" + filter +
                  "\" does not pair every description with a pattern");
  }
  QStringList filters;
  for (qsizetype i = 0; i < parts.size(); i += 2) {
    const QString description = parts[i].trimmed();
    QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (QString& pattern : patterns)
      pattern = pattern.trimmed();
    const QString list = patterns.join(QLatin1Char(' '));
    // Qt reads the patterns from the last parentheses, which a description often has already.
    const QString ending = QStringLiteral("(%1)").arg(list);
    filters << (description.endsWith(ending) ? description
                                             : QStringLiteral("%1 %2").arg(description, ending));
  }
  return filters.join(QStringLiteral(";;"));
}

void QtFileOpenDialog::SetFilter(const std::string& filter) {
  nameFilters_ = QtNameFilters(filter);
}

void QtFileOpenDialog::ShowOpen() {
  QFileDialog dialog(window_, QString::fromStdString(title_));
  dialog.setObjectName(QStringLiteral("CommonDialog1"));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  if (!nameFilters_.isEmpty())
    dialog.setNameFilters(nameFilters_.split(QStringLiteral(";;")));
  if (!fileName_.empty())
    dialog.selectFile(QString::fromStdString(fileName_));
  if (dialog.exec() != QDialog::Accepted)
    return;
  const QStringList chosen = dialog.selectedFiles();
  if (!chosen.isEmpty())
    fileName_ = QDir::toNativeSeparators(chosen.first()).toStdString();
}

}  // namespace tarnvex
