// The wizard's sheet: the five pages in order, the texts of the user's
// language, and how the pages report to the user.
#pragma once

#include <QMessageBox>
#include <QString>
#include <QWizard>
#include <QWizardPage>
#include <functional>
#include <string>

#include "peer_writer.h"
#include "platform_class.h"
#include "serial_ports.h"
#include "texts.h"

namespace obnet {

class WizardSheet;

// A page of the sheet. The sheet calls activate() every time the page is
// shown, also when the user comes back to it, and deactivate() when the
// user leaves it by Back or Next.
class SheetPage : public QWizardPage {
 public:
  using QWizardPage::QWizardPage;
  virtual void activate() {}
  virtual void deactivate() {}

 protected:
  WizardSheet& sheet() const;
  QString text(Text id) const;
};

// Shows a message with the sheet's caption.
using Reporter = std::function<void(QMessageBox::Icon icon, const QString& message)>;

struct SheetSettings {
  Language language = Language::English;
  PlatformRecord* record = nullptr;  // the process-wide record when null
  PeerTarget target;                 // where the connection's files go
  std::string devRoot = "/dev";      // where the serial ports are listed
  UartProbe probe = uartPresent;
  Reporter reporter;                 // message boxes when empty
};

class CModemInstall;

class WizardSheet : public QWizard {
 public:
  enum PageId { Welcome, License, Phone, Modem, Connection };

  explicit WizardSheet(SheetSettings settings, QWidget* parent = nullptr);

  const SheetSettings& settings() const { return settings_; }
  PlatformRecord& record() const { return *settings_.record; }
  QString text(Text id) const;
  void report(QMessageBox::Icon icon, const QString& message);

  // The port the modem page checked; empty before a successful check.
  QString modemPort() const;

  // Whether Finish put the connection's files in place or staged them.
  bool connectionPrepared() const { return prepared_; }
  void setConnectionPrepared(bool prepared) { prepared_ = prepared; }

  // The sheet's icon, and the picture beside the welcome page.
  static QIcon icon();
  static QPixmap watermark();

 private:
  void pageChanged(int id);

  SheetSettings settings_;
  CModemInstall* modemPage_ = nullptr;
  int shown_ = -1;
  bool prepared_ = false;
};

}  // namespace obnet
