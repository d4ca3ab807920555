// The dialog of a record-shaped setting: each value of the record in a
// control of its own (a spin box for a number within its range, a list for
// a number that names a choice, a digits-only line for a code whose leading
// zeros count), so that the record's text form is never typed by hand.
#pragma once

#include <QDialog>
#include <functional>
#include <vector>

#include "page_specs.h"

namespace utvex {

class Texts;

class RecordDialog : public QDialog {
  Q_OBJECT
 public:
  // `value` is the record's text as the page shows it; a text that does not
  // fit the shape starts every control at its least value.
  RecordDialog(const Texts& texts, const QString& title, RecordShape shape, const QString& value, QWidget* parent);

  // Asks for the record of another selector (the first part's value) and
  // calls `show` with its text, on the dialog's thread, unless `receiver`
  // is gone by then.
  using Reader = std::function<void(QObject* receiver, int selector, std::function<void(const QString&)> show)>;
  // When the first part selects the record, choosing another one loads its
  // values through `reader`.
  void setSelectedReader(Reader reader);
  bool loading() const { return loading_; }

  // The record's text from the controls.
  QString value() const;
  // The control of the value at `index` (QSpinBox, QComboBox or QLineEdit).
  QWidget* partWidget(std::size_t index) const { return widgets_.at(index); }

 private:
  void showValues(const QStringList& values, bool withSelector);

  RecordShape shape_;
  std::vector<QWidget*> widgets_;
  Reader reader_;
  bool loading_ = false;
};

}  // namespace utvex
