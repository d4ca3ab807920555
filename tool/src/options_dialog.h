// The options: the record log's file, whether a UT record is appended after
// writing changes, whether the swap wizard offers to save a copy, whether
// the UT's settings are saved to a safety copy before the tool writes to
// it, and whether the welcome window shows at start-up.
#pragma once

#include <QDialog>

#include "tool_settings.h"

class QCheckBox;
class QLineEdit;

namespace utvex {

class Texts;

class OptionsDialog : public QDialog {
  Q_OBJECT
 public:
  OptionsDialog(const Texts& texts, const ToolSettings& settings, QWidget* parent);
  void applyTo(ToolSettings& settings) const;

 private:
  QLineEdit* logFile_ = nullptr;
  QCheckBox* append_ = nullptr;
  QCheckBox* copyOnSwap_ = nullptr;
  QCheckBox* safetyCopies_ = nullptr;
  QCheckBox* showWelcome_ = nullptr;
};

}  // namespace utvex
