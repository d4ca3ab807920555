// The welcome window shown before the main window: what the tool works on
// and the order of the first steps, with a check box that keeps it from
// showing again. It reads and writes its own stored value (61489) of the
// program's settings, so that the choice holds from the next start on.
#pragma once

#include <QDialog>

class QCheckBox;
class QSettings;

namespace utvex {

class Texts;

class StartupDialog : public QDialog {
  Q_OBJECT
 public:
  StartupDialog(const Texts& texts, QSettings& store, QWidget* parent = nullptr);

  // Whether the stored settings ask for the window; a missing value, or one
  // of the wrong kind, asks for it.
  static bool mustShow(QSettings& store, const Texts& texts);

  QCheckBox* dontShowAgain() const { return dontShow_; }

  // However the window is closed, the check box's choice is stored.
  void done(int result) override;

 private:
  const Texts& texts_;
  QSettings& store_;
  QCheckBox* dontShow_ = nullptr;
};

}  // namespace utvex
