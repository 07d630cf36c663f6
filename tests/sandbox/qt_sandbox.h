#pragma once

// The sandbox as the Qt suites speak of folders: paths as QString, as QTemporaryDir gives them.

#include <QString>

#include "tests/sandbox/sandbox.h"

namespace tarnvex::testing {

class QtSandbox {
 public:
  QString path() const { return QString::fromStdString(sandbox_.path()); }
  QString filePath(const QString& name) const { return path() + QLatin1Char('/') + name; }
  bool isValid() const { return true; }
  const Sandbox& sandbox() const { return sandbox_; }

 private:
  // ASCII only: the suites type these paths with QTest::keyClicks, which takes no other letters.
  Sandbox sandbox_{"tarnvex-qt"};
};

}  // namespace tarnvex::testing
