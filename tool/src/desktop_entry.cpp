#include "desktop_entry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace utvex {

Registration registrationSwitch(const QStringList& arguments) {
  for (qsizetype i = 1; i < arguments.size(); ++i) {
    QString word = arguments[i];
    while (word.startsWith(QLatin1Char('-')) || word.startsWith(QLatin1Char('/'))) word.remove(0, 1);
    if (word.compare(QLatin1String("RegServer"), Qt::CaseInsensitive) == 0) return Registration::Register;
    if (word.compare(QLatin1String("UnregServer"), Qt::CaseInsensitive) == 0) return Registration::Unregister;
  }
  return Registration::None;
}

QString desktopEntryPath() {
  QString data = qEnvironmentVariable("XDG_DATA_HOME");
  if (data.isEmpty() || !QDir::isAbsolutePath(data)) data = QDir::homePath() + QStringLiteral("/.local/share");
  return data + QStringLiteral("/applications/utvex.desktop");
}

QString desktopEntryText(const QString& program, const QString& title) {
  // Exec quotes the path as the desktop entry format asks for paths with spaces.
  QString quoted = program;
  quoted.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('"'), QLatin1String("\\\""));
  return QStringLiteral(
             "[Desktop Entry]\n"
             "Type=Application\n"
             "Name=%1\n"
             "Exec=\"%2\"\n"
             "Terminal=false\n"
             "Categories=Utility;Settings;HardwareSettings;\n")
      .arg(title, quoted);
}

bool registerDesktopEntry(const QString& program, const QString& title, QString* error) {
  const QString path = desktopEntryPath();
  if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
    *error = QStringLiteral("cannot create %1").arg(QFileInfo(path).absolutePath());
    return false;
  }
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) {
    *error = file.errorString();
    return false;
  }
  file.write(desktopEntryText(program, title).toUtf8());
  if (!file.commit()) {
    *error = file.errorString();
    return false;
  }
  return true;
}

bool unregisterDesktopEntry(QString* error) {
  QFile file(desktopEntryPath());
  if (!file.exists()) return true;
  if (!file.remove()) {
    *error = file.errorString();
    return false;
  }
  return true;
}

}  // namespace utvex
