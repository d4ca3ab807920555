#include "startup_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QStyle>
#include <QVBoxLayout>

#include "text_ids.h"
#include "texts.h"
#include "tool_settings.h"

namespace utvex {

StartupDialog::StartupDialog(const Texts& texts, QSettings& store, QWidget* parent)
    : QDialog(parent), texts_(texts), store_(store) {
  setObjectName(QStringLiteral("startup"));
  setWindowTitle(texts_.text(130));
  auto* layout = new QVBoxLayout(this);
  auto* top = new QHBoxLayout;
  auto* icon = new QLabel;
  icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(48, 48));
  icon->setAlignment(Qt::AlignTop);
  top->addWidget(icon);
  auto* words = new QVBoxLayout;
  auto* heading = new QLabel(texts_.text(text::kWelcomeTitle));
  QFont big = heading->font();
  big.setPointSizeF(big.pointSizeF() * 1.4);
  big.setBold(true);
  heading->setFont(big);
  heading->setWordWrap(true);
  words->addWidget(heading);
  auto* body = new QLabel(texts_.text(text::kWelcomeText));
  body->setObjectName(QStringLiteral("welcomeText"));
  body->setWordWrap(true);
  body->setTextFormat(Qt::PlainText);
  words->addWidget(body);
  top->addLayout(words, 1);
  layout->addLayout(top);
  dontShow_ = new QCheckBox(texts_.text(text::kWelcomeDontShow));
  dontShow_->setObjectName(QStringLiteral("dontShowAgain"));
  dontShow_->setChecked(!mustShow(store_, texts_));
  layout->addWidget(dontShow_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
  buttons->button(QDialogButtonBox::Ok)->setText(texts_.text(text::kOk));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  layout->addWidget(buttons);
  setMinimumWidth(620);
}

bool StartupDialog::mustShow(QSettings& store, const Texts& texts) {
  return loadSettings(store, texts).showStartupDialog != 0;
}

void StartupDialog::done(int result) {
  store_.setValue(texts_.text(61489), dontShow_->isChecked() ? 0 : 1);
  store_.sync();
  QDialog::done(result);
}

}  // namespace utvex
