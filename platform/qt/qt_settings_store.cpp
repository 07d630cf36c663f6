#include "platform/qt/qt_settings_store.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

#include <optional>
#include <string>

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

// A settings file of a few keys is a few hundred bytes; anything near this size is not one.
constexpr qint64 kMaxSettingsBytes = 1024 * 1024;

// Why the file at the path cannot serve as the settings file, or nothing when it can (or is not
// there yet). QSettings would block on a FIFO and read a device without end.
std::optional<std::string> Unusable(const QString& file) {
  const QFileInfo info(file);
  if (!info.exists())
    return std::nullopt;
  if (info.isDir())
    return "it is a folder";
  if (!info.isFile())
    return "it is not a regular file";
  if (info.size() > kMaxSettingsBytes)
    return "it is larger than " + std::to_string(kMaxSettingsBytes) + " bytes";
  return std::nullopt;
}

}  // namespace

std::string QtSettingsStore::Get(const std::string& application, const std::string& section,
                                 const std::string& key, const std::string& defaultValue) {
  const QString file = FileFor(application);
  if (file.isEmpty())
    return defaultValue;  // no folder, so no file: nothing is stored
  if (const auto reason = Unusable(file)) {
    throw Failure("Cannot read the setting \"" + key + "\" from " + file.toStdString() + ": " +
                  *reason);
  }
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
  if (const auto reason = Unusable(file))
    throw failure(*reason);
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
