// The first page: what the wizard does and how to begin.
#pragma once

#include <QLabel>

#include "wizard_sheet.h"

namespace obnet {

class CWelcomeScreen : public SheetPage {
 public:
  explicit CWelcomeScreen(QWidget* parent = nullptr);
  void activate() override;

 private:
  QLabel* welcome_;
  QLabel* description_;
  QLabel* begin_;
};

}  // namespace obnet
