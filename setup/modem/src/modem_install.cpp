#include "modem_install.h"

#include <QGridLayout>
#include <QVBoxLayout>
#include <cerrno>
#include <cstring>

namespace obnet {

CModemInstall::CModemInstall(QWidget* parent)
    : SheetPage(parent),
      instructions_(new QLabel),
      portLabel_(new QLabel),
      ports_(new QComboBox),
      begin_(new QPushButton),
      status_(new QLabel) {
  instructions_->setWordWrap(true);
  status_->setWordWrap(true);
  ports_->setObjectName("ports");
  begin_->setObjectName("beginInstall");
  status_->setObjectName("status");
  portLabel_->setBuddy(ports_);
  ports_->setSizeAdjustPolicy(QComboBox::AdjustToContents);

  auto* row = new QHBoxLayout;
  row->addWidget(portLabel_);
  row->addWidget(ports_, 1);
  auto* buttonRow = new QHBoxLayout;
  buttonRow->addWidget(begin_);
  buttonRow->addStretch(1);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(instructions_);
  layout->addSpacing(8);
  layout->addLayout(row);
  layout->addLayout(buttonRow);
  layout->addSpacing(8);
  layout->addWidget(status_);
  layout->addStretch(1);

  QObject::connect(begin_, &QPushButton::clicked, this, [this] { beginInstall(); });
  // A different port has not been checked: Next waits for a new check.
  QObject::connect(ports_, &QComboBox::currentIndexChanged, this, [this](int) {
    if (!launched_ || ports_->currentText() == checkedPort_) return;
    launched_ = false;
    nextEnabled_ = false;
    status_->clear();
    emit completeChanged();
  });
}

void CModemInstall::fillPorts() {
  ports_->clear();
  for (const auto& port : listSerialPorts(sheet().settings().devRoot, sheet().settings().probe))
    ports_->addItem(QString::fromStdString(port));
}

void CModemInstall::activate() {
  setTitle(text(Text::ModemHeading));
  instructions_->setText(text(Text::ModemInstructions));
  portLabel_->setText(text(Text::ModemPortLabel));
  bool onLinux = sheet().record().platformClass == PlatformClass::Linux;
  begin_->setText(text(onLinux ? Text::CheckModemPort : Text::BeginModemInstall));
  portLabel_->setVisible(onLinux);
  ports_->setVisible(onLinux);
  if (onLinux && ports_->count() == 0) fillPorts();

  nextEnabled_ = returned_ && launched_;
  emit completeChanged();
  if (!nextEnabled_) begin_->setFocus();
}

void CModemInstall::deactivate() { returned_ = true; }

bool CModemInstall::isComplete() const { return nextEnabled_; }

QString CModemInstall::failureText(const QString& port, int error, const QString& group) const {
  switch (error) {
    case EACCES:
    case EPERM:
      return text(Text::PortDenied).arg(port, group.isEmpty() ? QStringLiteral("dialout") : group);
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case EIO:
      return text(Text::PortMissing).arg(port);
    case EBUSY:
      return text(Text::PortBusy).arg(port);
    default:
      return text(Text::PortOtherError).arg(port, QString::fromLocal8Bit(std::strerror(error)));
  }
}

void CModemInstall::beginInstall() {
  if (sheet().record().platformClass != PlatformClass::Linux) {
    sheet().report(QMessageBox::Critical, text(Text::NotAvailable));
    return;
  }
  if (ports_->count() == 0) fillPorts();  // the cable may have been plugged in since
  QString port = ports_->currentText();
  if (port.isEmpty()) {
    sheet().report(QMessageBox::Critical, text(Text::NoPortFound));
    return;
  }
  PortCheck check = checkPortOpens(port.toStdString());
  if (check.error != 0) {
    status_->clear();
    sheet().report(QMessageBox::Critical,
                   failureText(port, check.error, QString::fromStdString(check.group)));
    return;
  }
  checkedPort_ = port;
  launched_ = true;
  nextEnabled_ = true;
  status_->setText(text(Text::PortOpens).arg(port));
  emit completeChanged();
}

}  // namespace obnet
