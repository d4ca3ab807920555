#include "dun_connection.h"

#include <QGridLayout>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

namespace obnet {

CDunConnection::CDunConnection(QWidget* parent)
    : SheetPage(parent),
      intro_(new QLabel),
      ipAddress_(new QLabel),
      primary_(new QLabel),
      secondary_(new QLabel),
      dnsHelp_(new QLabel),
      portLabel_(new QLabel),
      ports_(new QComboBox),
      howToStart_(new QLabel) {
  for (QLabel* label : {intro_, dnsHelp_, howToStart_}) label->setWordWrap(true);
  howToStart_->setObjectName("howToStart");
  howToStart_->setTextInteractionFlags(Qt::TextSelectableByMouse);

  auto* grid = new QGridLayout;
  grid->addWidget(ipAddress_, 0, 1, 1, 7);
  grid->addWidget(primary_, 1, 0);
  grid->addWidget(secondary_, 2, 0);
  auto* digits = new QRegularExpressionValidator(QRegularExpression("[0-9]{0,3}"), this);
  for (std::size_t i = 0; i < octets_.size(); ++i) {
    auto* edit = new QLineEdit;
    edit->setObjectName(QStringLiteral("octet%1").arg(i + 1));
    edit->setValidator(digits);
    edit->setMaxLength(3);
    edit->setFixedWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 12);
    edit->setAlignment(Qt::AlignRight);
    // A value of 256 or more becomes 255 as soon as it is typed.
    QObject::connect(edit, &QLineEdit::textChanged, edit, [edit](const QString& typed) {
      QString clamped = QString::fromStdString(clampOctetText(typed.toStdString()));
      if (clamped != typed) edit->setText(clamped);
    });
    int row = i < 4 ? 1 : 2;
    int column = 1 + static_cast<int>(i % 4) * 2;
    grid->addWidget(edit, row, column);
    if (i % 4 != 3) grid->addWidget(new QLabel(QStringLiteral(".")), row, column + 1);
    octets_[i] = edit;
  }
  grid->setColumnStretch(8, 1);
  grid->addWidget(portLabel_, 3, 0);
  grid->addWidget(ports_, 3, 1, 1, 7);
  ports_->setObjectName("comPorts");

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(intro_);
  layout->addSpacing(8);
  layout->addLayout(grid);
  layout->addWidget(dnsHelp_);
  layout->addSpacing(8);
  layout->addWidget(howToStart_);
  layout->addStretch(1);
}

void CDunConnection::activate() {
  setTitle(text(Text::DunCaption));
  intro_->setText(text(Text::DunIntro));
  ipAddress_->setText(text(Text::IpAddress));
  primary_->setText(text(Text::PrimaryDns));
  secondary_->setText(text(Text::SecondaryDns));
  dnsHelp_->setText(text(Text::DunDnsHelp));
  portLabel_->setText(text(Text::DunPortLabel));
  // On Linux the port was chosen and checked on the modem page.
  bool onLinux = sheet().record().platformClass == PlatformClass::Linux;
  portLabel_->setVisible(!onLinux);
  ports_->setVisible(!onLinux);
  howToStart_->setText(onLinux ? text(Text::DunHowToStart) : QString());
  howToStart_->setVisible(onLinux);
}

DnsChoice CDunConnection::dnsChoice() const {
  std::array<std::string, 8> fields;
  for (std::size_t i = 0; i < octets_.size(); ++i) fields[i] = octets_[i]->text().toStdString();
  return dnsChoiceFromOctets(fields);
}

bool CDunConnection::validatePage() {
  // An octet typed as 256 or more shows as 255, and 255 in the first octet
  // is a broadcast or reserved address, never a name server: the user is
  // told before anything is written and stays on the page.
  if (const DnsChoice dns = dnsChoice()) {
    for (const Ipv4& address : {dns->primary, dns->secondary}) {
      if (address[0] != 255) continue;
      sheet().report(QMessageBox::Warning, text(Text::DnsUnusable).arg(QString::fromStdString(dottedQuad(address))));
      return false;
    }
  }
  writeEntry();
  return true;  // the sheet ends with Finish whatever the outcome
}

void CDunConnection::writeEntry() {
  PlatformRecord& record = sheet().record();
  if (record.platformClass != PlatformClass::Linux) {
    sheet().report(QMessageBox::Critical, text(Text::NotAvailable));
    return;
  }
  PeerWriteResult result =
      writePeer(sheet().modemPort().toStdString(), dnsChoice(), sheet().settings().target);
  switch (result.status) {
    case PeerWriteResult::Status::Written:
      sheet().setConnectionPrepared(true);
      sheet().report(QMessageBox::Information,
                     text(Text::Written).arg(QString::fromStdString(result.written.back())));
      return;
    case PeerWriteResult::Status::Staged:
      sheet().setConnectionPrepared(true);
      sheet().report(QMessageBox::Warning,
                     text(Text::Staged).arg(QString::fromStdString(result.stagingDir),
                                            QString::fromStdString(result.command)));
      return;
    case PeerWriteResult::Status::Failed:
      record.rebootFlag = false;
      sheet().report(QMessageBox::Critical,
                     text(Text::WriteFailed) + "\n\n" + QString::fromStdString(result.detail));
      return;
  }
}

}  // namespace obnet
