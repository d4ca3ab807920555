#include "connect_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSpinBox>

#include "ports.h"
#include "text_ids.h"
#include "texts.h"

namespace utvex {

ConnectDialog::ConnectDialog(const Texts& texts, const QString& port, int baudRate, int timeout, QWidget* parent,
                             Purpose purpose)
    : QDialog(parent), texts_(texts) {
  setWindowTitle(purpose == Purpose::Connect ? texts_.plain(61374) : texts_.text(text::kConnectionTitle));
  auto* form = new QFormLayout(this);
  port_ = new QComboBox;
  port_->setObjectName(QStringLiteral("port"));
  port_->setEditable(true);
  port_->addItems(availablePorts());
  port_->setCurrentText(port);
  port_->setMinimumContentsLength(28);
  form->addRow(texts_.text(text::kPort), port_);
  problem_ = new QLabel;
  problem_->setObjectName(QStringLiteral("problem"));
  problem_->setWordWrap(true);
  problem_->setStyleSheet(QStringLiteral("color: #a00000"));
  form->addRow(QString(), problem_);
  baud_ = new QComboBox;
  baud_->setObjectName(QStringLiteral("baud"));
  for (int rate : {9600, 19200, 38400, 57600, 115200}) baud_->addItem(QString::number(rate), rate);
  const int at = baud_->findData(baudRate);
  baud_->setCurrentIndex(at >= 0 ? at : baud_->count() - 1);
  form->addRow(texts_.text(text::kBaudRateLabel), baud_);
  timeout_ = new QSpinBox;
  timeout_->setObjectName(QStringLiteral("timeout"));
  timeout_->setRange(0, 600);
  timeout_->setValue(timeout);
  form->addRow(texts_.text(text::kTimeoutLabel), timeout_);
  if (purpose == Purpose::Connect) {
    spc_ = new QLineEdit(QStringLiteral("000000"));
    spc_->setObjectName(QStringLiteral("spc"));
    spc_->setEchoMode(QLineEdit::Password);
    spc_->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{1,6}")), spc_));
    form->addRow(texts_.text(text::kSpc), spc_);
  }
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  buttons->button(QDialogButtonBox::Ok)->setText(texts_.text(text::kOk));
  buttons->button(QDialogButtonBox::Cancel)->setText(texts_.text(text::kCancel));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  form->addRow(buttons);
  connect(port_, &QComboBox::currentTextChanged, this, &ConnectDialog::checkPort);
  checkPort();
}

void ConnectDialog::checkPort() {
  const QString problem = port().isEmpty() ? QString() : portProblem(port(), texts_);
  problem_->setText(problem);
  problem_->setVisible(!problem.isEmpty());
}

QString ConnectDialog::port() const { return port_->currentText().trimmed(); }
int ConnectDialog::baudRate() const { return baud_->currentData().toInt(); }
int ConnectDialog::timeout() const { return timeout_->value(); }
QString ConnectDialog::spc() const { return spc_ != nullptr ? spc_->text() : QString(); }

}  // namespace utvex
