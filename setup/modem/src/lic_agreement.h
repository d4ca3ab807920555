// The license page: the agreement, and the sheet's Next and Cancel buttons
// renamed Yes and No while it is shown.
#pragma once

#include <QLabel>
#include <QPlainTextEdit>

#include "wizard_sheet.h"

namespace obnet {

class CLicAgreement : public SheetPage {
 public:
  explicit CLicAgreement(QWidget* parent = nullptr);
  void activate() override;
  void deactivate() override;

 private:
  QPlainTextEdit* agreement_;
  QLabel* prompt_;
  // The captions the buttons had before this page renamed them.
  QString savedNext_;
  QString savedCancel_;
  bool renamed_ = false;
};

}  // namespace obnet
