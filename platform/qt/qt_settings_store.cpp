#include "platform/qt/qt_settings_store.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

#include "platform/failure.h"

namespace tarnvex {

QString QtSettingsStore::FileFor(const std::string& application) const {
  if (folder_.isEmpty())
    return {};
  return folder_ + QLatin1Char('/') + QString::fromStdString(application) + QStringLiteral(".ini");
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
  if (file.isEmpty())
    return defaultValue;  // no folder, so no file: nothing is stored
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
  if (file.isEmpty()) {
    throw Failure("Cannot save the setting \"" + key +
                  "\": no configuration folder is known for the settings file (neither "
                  "XDG_CONFIG_HOME nor HOME is set and the user has no home folder).");
  }
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
