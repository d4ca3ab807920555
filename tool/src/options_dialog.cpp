#include "options_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>

#include "text_ids.h"
#include "texts.h"

namespace utvex {

OptionsDialog::OptionsDialog(const Texts& texts, const ToolSettings& settings, QWidget* parent) : QDialog(parent) {
  setWindowTitle(texts.text(text::kOptionsTitle));
  auto* form = new QFormLayout(this);
  logFile_ = new QLineEdit(settings.recordLogFile);
  logFile_->setObjectName(QStringLiteral("recordLog"));
  auto* browse = new QPushButton(texts.text(text::kBrowse));
  connect(browse, &QPushButton::clicked, this, [this] {
    const QString file = QFileDialog::getSaveFileName(this, QString(), logFile_->text(), QString(), nullptr,
                                                      QFileDialog::DontConfirmOverwrite);
    if (!file.isEmpty()) logFile_->setText(file);
  });
  auto* row = new QHBoxLayout;
  row->addWidget(logFile_, 1);
  row->addWidget(browse);
  form->addRow(texts.text(61398), row);
  append_ = new QCheckBox(texts.text(61399));
  append_->setObjectName(QStringLiteral("appendAfterWrite"));
  append_->setChecked(settings.appendRecordAfterWrite != 0);
  form->addRow(append_);
  copyOnSwap_ = new QCheckBox(texts.text(text::kSaveCopyOnSwap));
  copyOnSwap_->setObjectName(QStringLiteral("copyOnSwap"));
  copyOnSwap_->setChecked(settings.saveCopyOnSwap != 0);
  form->addRow(copyOnSwap_);
  safetyCopies_ = new QCheckBox(texts.text(text::kSafetyCopiesOption));
  safetyCopies_->setObjectName(QStringLiteral("safetyCopies"));
  safetyCopies_->setChecked(settings.safetyCopies != 0);
  form->addRow(safetyCopies_);
  showWelcome_ = new QCheckBox(texts.text(text::kShowWelcome));
  showWelcome_->setObjectName(QStringLiteral("showWelcome"));
  showWelcome_->setChecked(settings.showStartupDialog != 0);
  form->addRow(showWelcome_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
  buttons->button(QDialogButtonBox::Ok)->setText(texts.text(text::kOk));
  buttons->button(QDialogButtonBox::Cancel)->setText(texts.text(text::kCancel));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  form->addRow(buttons);
  setMinimumWidth(560);
}

void OptionsDialog::applyTo(ToolSettings& settings) const {
  settings.recordLogFile = logFile_->text().trimmed();
  settings.appendRecordAfterWrite = append_->isChecked() ? 1 : 0;
  settings.saveCopyOnSwap = copyOnSwap_->isChecked() ? 1 : 0;
  settings.safetyCopies = safetyCopies_->isChecked() ? 1 : 0;
  settings.showStartupDialog = showWelcome_->isChecked() ? 1 : 0;
}

}  // namespace utvex
