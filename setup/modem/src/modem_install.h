// The modem page: the user picks the serial port of the UT and the wizard
// checks that it can be opened, as pppd will open it. Next is enabled once a
// port has been checked, and stays enabled when the user comes back.
#pragma once

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include "wizard_sheet.h"

namespace obnet {

class CModemInstall : public SheetPage {
 public:
  explicit CModemInstall(QWidget* parent = nullptr);
  void activate() override;
  void deactivate() override;
  bool isComplete() const override;

  // The port that passed the check; empty while none has.
  QString checkedPort() const { return launched_ ? checkedPort_ : QString(); }

 private:
  void beginInstall();
  void fillPorts();
  QString failureText(const QString& port, int error, const QString& group) const;

  QLabel* instructions_;
  QLabel* portLabel_;
  QComboBox* ports_;
  QPushButton* begin_;
  QLabel* status_;
  bool returned_ = false;  // the user has been on this page before
  bool launched_ = false;  // the modem set-up step has succeeded
  bool nextEnabled_ = false;
  QString checkedPort_;
};

}  // namespace obnet
