#include "platform/qt/qt_services.h"

#include <QCoreApplication>
#include <QProcess>
#include <QThread>
#include <QTime>
#include <cmath>

#include "platform/failure.h"

namespace tarnvex {

double QtClock::SecondsSinceMidnight() {
  return QTime::currentTime().msecsSinceStartOfDay() / 1000.0;
}

void MersenneRandom::Seed(double seed) {
  engine_.seed(static_cast<std::mt19937::result_type>(std::llround(std::fabs(seed) * 1000)));
}

double MersenneRandom::Next() {
  return std::uniform_real_distribution<double>(0.0, 1.0)(engine_);
}

void ThreadSleeper::Sleep(int milliseconds) {
  if (milliseconds > 0)
    QThread::msleep(static_cast<unsigned long>(milliseconds));
}

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
