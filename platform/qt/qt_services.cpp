#include "platform/qt/qt_services.h"

#include <QCoreApplication>
#include <QProcess>

#include "platform/failure.h"

namespace tarnvex {

QStringList SplitCommandLine(const std::string& commandLine) {
  QStringList words;
  QString word;
  bool quoted = false;
  bool inWord = false;
  for (const QChar c : QString::fromStdString(commandLine)) {
    if (c == QLatin1Char('"')) {
      quoted = !quoted;
      inWord = true;
    } else if (!quoted && (c == QLatin1Char(' ') || c == QLatin1Char('\t'))) {
      if (inWord)
        words << word;
      word.clear();
      inWord = false;
    } else {
      word += c;
      inWord = true;
    }
  }
  if (inWord)
    words << word;
  return words;
}

void QtProcessStarter::Start(const std::string& commandLine, WindowState) {
  QStringList words = SplitCommandLine(commandLine);
  if (words.isEmpty())
    throw Failure("Cannot start a program from an empty command line");
  QString program = words.takeFirst();
  if (program.compare(QStringLiteral("explorer"), Qt::CaseInsensitive) == 0) {
    program = QStringLiteral("xdg-open");
  }
  if (!QProcess::startDetached(program, words)) {
    throw Failure("Cannot start " + program.toStdString() + " for the command line " + commandLine);
  }
}

void QtProgram::End() {
  ended_ = true;
  QCoreApplication::exit(0);
}

}  // namespace tarnvex
