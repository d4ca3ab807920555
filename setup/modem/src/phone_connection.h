// The cabling page: how to connect the UT to the computer.
#pragma once

#include <QLabel>

#include "wizard_sheet.h"

namespace obnet {

class CPhoneConnection : public SheetPage {
 public:
  explicit CPhoneConnection(QWidget* parent = nullptr);
  void activate() override;

 private:
  QLabel* steps_;
};

}  // namespace obnet
