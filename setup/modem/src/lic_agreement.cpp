#include "lic_agreement.h"

#include <QVBoxLayout>

namespace obnet {

CLicAgreement::CLicAgreement(QWidget* parent)
    : SheetPage(parent), agreement_(new QPlainTextEdit), prompt_(new QLabel) {
  agreement_->setReadOnly(true);
  agreement_->setObjectName("agreement");
  prompt_->setWordWrap(true);
  prompt_->setObjectName("prompt");
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(agreement_, 1);
  layout->addWidget(prompt_);
}

void CLicAgreement::activate() {
  setTitle(text(Text::LicenseHeading));
  agreement_->setPlainText(text(Text::LicenseTermsStart) + text(Text::LicenseTermsEnd));
  agreement_->moveCursor(QTextCursor::End);
  prompt_->setText(text(Text::LicensePrompt));
  if (!renamed_) {
    savedNext_ = sheet().buttonText(QWizard::NextButton);
    savedCancel_ = sheet().buttonText(QWizard::CancelButton);
    renamed_ = true;
  }
  // Yes moves on, No cancels the wizard.
  sheet().setButtonText(QWizard::NextButton, text(Text::Yes));
  sheet().setButtonText(QWizard::CancelButton, text(Text::No));
}

void CLicAgreement::deactivate() {
  if (!renamed_) return;
  sheet().setButtonText(QWizard::NextButton, savedNext_);
  sheet().setButtonText(QWizard::CancelButton, savedCancel_);
  renamed_ = false;
}

}  // namespace obnet
