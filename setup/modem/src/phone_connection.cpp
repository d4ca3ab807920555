#include "phone_connection.h"

#include <QVBoxLayout>

namespace obnet {

CPhoneConnection::CPhoneConnection(QWidget* parent) : SheetPage(parent), steps_(new QLabel) {
  steps_->setWordWrap(true);
  steps_->setObjectName("steps");
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(steps_);
  layout->addStretch(1);
}

void CPhoneConnection::activate() {
  setTitle(text(Text::PhoneHeading));
  steps_->setText(text(Text::PhoneSteps));
}

}  // namespace obnet
