#include "wizard_sheet.h"

#include <QPainter>
#include <QPixmap>

#include "dun_connection.h"
#include "lic_agreement.h"
#include "modem_install.h"
#include "phone_connection.h"
#include "welcome_screen.h"

namespace obnet {

WizardSheet& SheetPage::sheet() const { return *static_cast<WizardSheet*>(wizard()); }

QString SheetPage::text(Text id) const { return sheet().text(id); }

WizardSheet::WizardSheet(SheetSettings settings, QWidget* parent)
    : QWizard(parent), settings_(std::move(settings)) {
  if (settings_.record == nullptr) settings_.record = &platformRecord();
  setWizardStyle(QWizard::ModernStyle);
  setOption(QWizard::NoBackButtonOnStartPage, true);
  setButtonText(QWizard::BackButton, text(Text::ButtonBack));
  setButtonText(QWizard::NextButton, text(Text::ButtonNext));
  setButtonText(QWizard::FinishButton, text(Text::ButtonFinish));
  setButtonText(QWizard::CancelButton, text(Text::ButtonCancel));
  setMinimumSize(640, 480);

  setPage(Welcome, new CWelcomeScreen);
  setPage(License, new CLicAgreement);
  setPage(Phone, new CPhoneConnection);
  modemPage_ = new CModemInstall;
  setPage(Modem, modemPage_);
  setPage(Connection, new CDunConnection);
  setStartId(Welcome);

  QObject::connect(this, &QWizard::currentIdChanged, this, [this](int id) { pageChanged(id); });
}

void WizardSheet::pageChanged(int id) {
  // Leaving a page comes first, so that a page that renamed the buttons has
  // put their captions back before the next page is set up.
  if (auto* left = dynamic_cast<SheetPage*>(page(shown_))) left->deactivate();
  shown_ = id;
  if (auto* entered = dynamic_cast<SheetPage*>(page(id))) entered->activate();
}

QString WizardSheet::text(Text id) const {
  std::string_view s = obnet::text(settings_.language, id);
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

void WizardSheet::report(QMessageBox::Icon icon, const QString& message) {
  if (settings_.reporter) {
    settings_.reporter(icon, message);
    return;
  }
  QMessageBox box(icon, text(Text::Caption), message, QMessageBox::Ok, this);
  box.exec();
}

QString WizardSheet::modemPort() const { return modemPage_->checkedPort(); }

QIcon WizardSheet::icon() {
  // A handset with its antenna and a signal arc: the UT as a modem.
  QPixmap pixmap(64, 64);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0x2a, 0x4d, 0x7a));
  p.drawRoundedRect(QRectF(18, 16, 24, 44), 5, 5);
  p.drawRect(QRectF(34, 4, 4, 14));
  p.setBrush(QColor(0xd8, 0xe6, 0xf3));
  p.drawRoundedRect(QRectF(22, 21, 16, 12), 2, 2);
  p.setBrush(QColor(0xe8, 0xee, 0xf4));
  for (int row = 0; row < 3; ++row)
    for (int col = 0; col < 3; ++col) p.drawEllipse(QRectF(22.5 + col * 5.5, 38 + row * 6, 4, 4));
  QPen arc(QColor(0xf0, 0x8c, 0x1e), 3);
  arc.setCapStyle(Qt::RoundCap);
  p.setPen(arc);
  p.setBrush(Qt::NoBrush);
  p.drawArc(QRectF(40, 0, 18, 18), -30 * 16, 120 * 16);
  p.drawArc(QRectF(44, -2, 18, 26), -40 * 16, 110 * 16);
  p.end();
  return QIcon(pixmap);
}

QPixmap WizardSheet::watermark() {
  // Transparent around the picture, so that it suits a page of any height.
  QPixmap pixmap(150, 180);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0xdc, 0xe7, 0xf2));
  p.drawEllipse(QRectF(17, 30, 116, 116));
  p.drawPixmap(27, 40, icon().pixmap(96, 96));
  p.end();
  return pixmap;
}

}  // namespace obnet
