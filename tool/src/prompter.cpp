#include "prompter.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFontDatabase>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "text_ids.h"
#include "texts.h"

namespace utvex {

void Prompter::inform(QWidget* parent, const QString& message) {
  QMessageBox box(QMessageBox::Information, texts_.text(130), message, QMessageBox::Ok, parent);
  box.button(QMessageBox::Ok)->setText(texts_.text(text::kOk));
  box.exec();
}

void Prompter::warn(QWidget* parent, const QString& message) {
  QMessageBox box(QMessageBox::Warning, texts_.text(130), message, QMessageBox::Ok, parent);
  box.button(QMessageBox::Ok)->setText(texts_.text(text::kOk));
  box.exec();
}

bool Prompter::ask(QWidget* parent, const QString& question, bool defaultNo) {
  QMessageBox box(QMessageBox::Question, texts_.text(130), question, QMessageBox::Yes | QMessageBox::No, parent);
  box.button(QMessageBox::Yes)->setText(texts_.text(text::kYes));
  box.button(QMessageBox::No)->setText(texts_.text(text::kNo));
  box.setDefaultButton(defaultNo ? QMessageBox::No : QMessageBox::Yes);
  return box.exec() == QMessageBox::Yes;
}

QString Prompter::saveFile(QWidget* parent, const QString& title, const QString& filter, const QString& suffix,
                           const QString& start) {
  QFileDialog dialog(parent, title, start, filter);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix(suffix);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().first();
}

QString Prompter::openFile(QWidget* parent, const QString& title, const QString& filter, const QString& start) {
  QFileDialog dialog(parent, title, start, filter);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().first();
}

void Prompter::showReport(QWidget* parent, const QString& title, const QString& text) {
  QDialog dialog(parent);
  dialog.setWindowTitle(title);
  auto* layout = new QVBoxLayout(&dialog);
  auto* view = new QPlainTextEdit(text, &dialog);
  view->setReadOnly(true);
  view->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  layout->addWidget(view);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, &dialog);
  buttons->button(QDialogButtonBox::Close)->setText(texts_.text(text::kClose));
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  layout->addWidget(buttons);
  dialog.resize(760, 520);
  dialog.exec();
}

}  // namespace utvex
