// The questions and messages the tool puts to the user, and its file
// choices, behind one interface so that tests can answer them.
#pragma once

#include <QString>

class QWidget;

namespace utvex {

class Texts;

class Prompter {
 public:
  explicit Prompter(const Texts& texts) : texts_(texts) {}
  virtual ~Prompter() = default;
  virtual void inform(QWidget* parent, const QString& message);
  virtual void warn(QWidget* parent, const QString& message);
  // Yes/No; `defaultNo` makes No the default button.
  virtual bool ask(QWidget* parent, const QString& question, bool defaultNo);
  // Empty when cancelled.
  virtual QString saveFile(QWidget* parent, const QString& title, const QString& filter, const QString& suffix,
                           const QString& start);
  virtual QString openFile(QWidget* parent, const QString& title, const QString& filter, const QString& start);
  // A text file's contents in a dialog of its own (the restore report).
  virtual void showReport(QWidget* parent, const QString& title, const QString& text);

 protected:
  const Texts& texts_;
};

}  // namespace utvex
