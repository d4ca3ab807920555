#include "ports.h"

#include <QDir>
#include <QFileInfo>
#include <cerrno>
#include <cstring>

#include "kmx/platform/runtime_dir.h"
#include "serial_ports.h"
#include "text_ids.h"
#include "texts.h"

namespace utvex {

QStringList availablePorts() {
  QStringList ports;
  for (const std::string& port : obnet::listSerialPorts()) ports << QString::fromStdString(port);
  const QDir simulated(QString::fromStdString(kmx::portDir()));
  for (const QString& name : simulated.entryList(QDir::System | QDir::Files | QDir::NoDotAndDotDot, QDir::Name)) {
    ports << name;
  }
  return ports;
}

QString portProblem(const QString& port, const Texts& texts) {
  // A bare name is a simulator port or a device under /dev; simulator ports
  // are sockets that anyone of this user may open.
  if (!port.contains(QLatin1Char('/'))) {
    if (QFileInfo::exists(QString::fromStdString(kmx::portDir()) + QLatin1Char('/') + port)) return {};
    if (!QFileInfo::exists(QStringLiteral("/dev/") + port)) return {};
  }
  const QString path = port.contains(QLatin1Char('/')) ? port : QStringLiteral("/dev/") + port;
  const obnet::PortCheck check = obnet::checkPortOpens(path.toStdString());
  if (check.error == 0) return {};
  if ((check.error == EACCES || check.error == EPERM) && !check.group.empty()) {
    return texts.format(text::kPortNoPermission, {path, QString::fromStdString(check.group)});
  }
  return texts.format(text::kPortCannotOpen, {path, QString::fromLocal8Bit(std::strerror(check.error))});
}

}  // namespace utvex
