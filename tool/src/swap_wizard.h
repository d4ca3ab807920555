// The swap-phone wizard: saves the old UT's settings to a transfer file
// (and, when the option is set, a copy to a file of the user's choice),
// then connects to the new UT, saves its own settings to a safety copy
// (unless turned off), restores the transfer file into it, counts the
// warranty date code up and commits. While the wizard is shown a 500 ms
// timer watches the old UT's link on the pages that still need it, so that
// a UT that goes away ends the wizard at once rather than at the next step.
#pragma once

#include <QWizard>
#include <QWizardPage>

#include "ut_session.h"

class QComboBox;
class QLabel;
class QTimer;

namespace utvex {

class Prompter;
class Texts;

class SwapWizard;

// A page whose Next or Finish runs UT work first and passes only when it
// succeeded.
class SwapPage : public QWizardPage {
  Q_OBJECT
 public:
  SwapPage(SwapWizard& wizard, uint32_t textId, QString objectName);
  bool validatePage() override;
  // Lets the next validatePage pass, and moves on.
  void pass();
  QLabel* note() const { return note_; }

 private:
  SwapWizard& wizard_;
  QLabel* note_ = nullptr;
  bool passed_ = false;
};

class SwapWizard : public QWizard {
  Q_OBJECT
 public:
  enum PageIds { StartPage = 0, TypePage = 1, TargetPage = 2 };

  SwapWizard(const Texts& texts, SessionThread& session, Prompter& prompter, ConnectRequest target,
             QString transferFile, QString reportFile, bool offerCopy, bool safetyCopy, QWidget* parent);

  bool busy() const { return busy_; }
  // The port the new UT is connected on (the old UT's by default).
  QComboBox* targetPort() const { return targetPort_; }
  // The outcome when the wizard ended early: 16 no IVexFile, 17 the save failed.
  int failure() const { return failure_; }

  int nextId() const override;
  void done(int result) override;
  QTimer* linkTimer() const { return linkTimer_; }

 signals:
  void settled();

 private:
  friend class SwapPage;
  void runStep(SwapPage* page);
  void saveOld(SwapPage* page);
  void saveCopy(SwapPage* page);
  void restoreNew(SwapPage* page);
  void setBusy(bool on, const QString& message = {}, bool cancellable = false);
  void checkOldUt();

  const Texts& texts_;
  SessionThread& session_;
  Prompter& prompter_;
  ConnectRequest target_;
  QString transferFile_;
  QString reportFile_;
  bool offerCopy_;
  bool safetyCopy_;
  SwapPage* start_ = nullptr;
  SwapPage* type_ = nullptr;
  SwapPage* targetPage_ = nullptr;
  QComboBox* targetPort_ = nullptr;
  QTimer* linkTimer_ = nullptr;
  bool checking_ = false;
  bool busy_ = false;
  int failure_ = 0;
};

}  // namespace utvex
