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

QString firstSerialPort() {
  const std::vector<std::string> ports = obnet::listSerialPorts();
  return ports.empty() ? QString() : QString::fromStdString(ports.front());
}

QString portProblem(const QString& port, const Texts& texts) {
  // A bare name is a simulator port or a device under /dev; simulator ports
  // are sockets that anyone of this user may open.
  // A bare name resolves as the serial driver resolves it: the port
  // directory, then /dev, then COMn as /dev/ttyS<n-1>. A name that resolves
  // to nothing is said to be missing now, not after the connect's wait.
  QString path = port;
  if (!port.contains(QLatin1Char('/'))) {
    if (QFileInfo::exists(QString::fromStdString(kmx::portDir()) + QLatin1Char('/') + port)) return {};
    path = QStringLiteral("/dev/") + port;
    bool isCom = false;
    const int com = port.startsWith(QLatin1String("COM"), Qt::CaseInsensitive) ? port.mid(3).toInt(&isCom) : 0;
    if (!QFileInfo::exists(path) && isCom && com >= 1) path = QStringLiteral("/dev/ttyS%1").arg(com - 1);
  }
  const obnet::PortCheck check = obnet::checkPortOpens(path.toStdString());
  if (check.error == 0) return {};
  if ((check.error == EACCES || check.error == EPERM) && !check.group.empty()) {
    return texts.format(text::kPortNoPermission, {path, QString::fromStdString(check.group)});
  }
  return texts.format(text::kPortCannotOpen, {path, QString::fromLocal8Bit(std::strerror(check.error))});
}

}  // namespace utvex
