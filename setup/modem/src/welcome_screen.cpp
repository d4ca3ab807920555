#include "welcome_screen.h"

#include <QFont>
#include <QVBoxLayout>

namespace obnet {

CWelcomeScreen::CWelcomeScreen(QWidget* parent)
    : SheetPage(parent), welcome_(new QLabel), description_(new QLabel), begin_(new QLabel) {
  QFont bold = welcome_->font();
  bold.setBold(true);
  bold.setPointSizeF(bold.pointSizeF() * 1.2);
  welcome_->setFont(bold);
  for (QLabel* label : {welcome_, description_, begin_}) label->setWordWrap(true);
  welcome_->setObjectName("welcome");
  description_->setObjectName("description");
  begin_->setObjectName("begin");
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(welcome_);
  layout->addSpacing(12);
  layout->addWidget(description_);
  layout->addStretch(1);
  layout->addWidget(begin_);
}

void CWelcomeScreen::activate() {
  welcome_->setText(text(Text::WelcomeTitle));
  description_->setText(text(Text::WelcomeDescription));
  begin_->setText(text(Text::WelcomeBegin));
  sheet().setWindowTitle(text(Text::Caption));
  sheet().setWindowIcon(WizardSheet::icon());
  setPixmap(QWizard::WatermarkPixmap, WizardSheet::watermark());
}

}  // namespace obnet
