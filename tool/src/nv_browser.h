// The NV browser: every NV item the connection object holds, the leaves of
// the chosen item with their types, values and changed marks, and editing
// a leaf by its path. Edits are staged in the item cache like the sheet's;
// Write Changes sends them to the UT.
#pragma once

#include <QDialog>
#include <QString>
#include <optional>

class QLineEdit;
class QListWidget;
class QTreeWidget;

namespace utvex {

class Prompter;
class SessionThread;
class Texts;

// A number as a person types it: decimal, with an optional sign and leading
// zeros that change nothing; "0x" or "0X" makes it hexadecimal. Anything
// else is no number (an enumeration name).
std::optional<qlonglong> typedNumber(const QString& text);

class NvBrowser : public QDialog {
  Q_OBJECT
 public:
  NvBrowser(const Texts& texts, SessionThread& session, Prompter& prompter, QWidget* parent);

  void load();  // (re)reads the item names
  QListWidget* items() const { return items_; }
  QTreeWidget* leaves() const { return leaves_; }
  QLineEdit* pathEdit() const { return path_; }
  QLineEdit* valueEdit() const { return value_; }
  bool busy() const { return pending_ > 0; }

 public slots:
  void writeValue();

 signals:
  void settled();

 private:
  void showItem(const QString& item);
  void applyFilter(const QString& text);

  const Texts& texts_;
  SessionThread& session_;
  Prompter& prompter_;
  QLineEdit* filter_ = nullptr;
  QListWidget* items_ = nullptr;
  QTreeWidget* leaves_ = nullptr;
  QLineEdit* path_ = nullptr;
  QLineEdit* value_ = nullptr;
  QString current_;
  int pending_ = 0;
};

}  // namespace utvex
