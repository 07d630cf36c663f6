#include "platform/qt/qt_settings_store.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

#include "platform/failure.h"

namespace tarnvex {

QString ConfigFolder() {
  const QString xdg = qEnvironmentVariable("XDG_CONFIG_HOME");
  // A relative XDG_CONFIG_HOME is invalid and ignored, as the XDG base directories rule.
  if (!xdg.isEmpty() && QDir::isAbsolutePath(xdg))
    return xdg;
  return QDir::homePath() + QStringLiteral("/.config");
}

QString QtSettingsStore::FileFor(const std::string& application) const {
  const QString folder = folder_.isEmpty() ? ConfigFolder() : folder_;
  return folder + QLatin1Char('/') + QString::fromStdString(application) + QStringLiteral(".ini");
}

namespace {

std::string Reason(QSettings::Status status) {
  return status == QSettings::FormatError ? "it is not a settings file"
                                          : "it cannot be read or written";
}

}  // namespace

std::string QtSettingsStore::Get(const std::string& application, const std::string& section,
                                 const std::string& key, const std::string& defaultValue) {
  const QString file = FileFor(application);
  QSettings settings(file, QSettings::IniFormat);
  if (settings.status() != QSettings::NoError) {
    throw Failure("Cannot read the setting \"" + key + "\" from " + file.toStdString() + ": " +
                  Reason(settings.status()));
  }
  settings.beginGroup(QString::fromStdString(section));
  const QString name = QString::fromStdString(key);
  if (!settings.contains(name))
    return defaultValue;
  const QVariant value = settings.value(name);
  // A value edited by hand with unquoted commas reads back as a list: keep its text.
  if (value.typeId() == QMetaType::QStringList) {
    return value.toStringList().join(QStringLiteral(", ")).toStdString();
  }
  return value.toString().toStdString();
}

void QtSettingsStore::Save(const std::string& application, const std::string& section,
                           const std::string& key, const std::string& value) {
  const QString file = FileFor(application);
  auto failure = [&](const std::string& reason) {
    return Failure("Cannot save the setting \"" + key + "\" in " + file.toStdString() + ": " +
                   reason);
  };
  const QFileInfo info(file);
  if (!QDir().mkpath(info.absolutePath())) {
    throw failure("its folder " + info.absolutePath().toStdString() + " cannot be created");
  }
  QSettings settings(file, QSettings::IniFormat);
  if (settings.status() != QSettings::NoError)
    throw failure(Reason(settings.status()));
  settings.beginGroup(QString::fromStdString(section));
  settings.setValue(QString::fromStdString(key), QString::fromStdString(value));
  settings.endGroup();
  settings.sync();
  if (settings.status() != QSettings::NoError)
    throw failure(Reason(settings.status()));
}

}  // namespace tarnvex
