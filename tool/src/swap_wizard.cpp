#include "swap_wizard.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QFile>
#include <QFormLayout>
#include <QLabel>
#include <QPointer>
#include <QTimer>
#include <QVBoxLayout>

#include "ports.h"
#include "prompter.h"
#include "text_ids.h"
#include "texts.h"

namespace utvex {

namespace {

constexpr int kLinkTimerMs = 500;

struct StepResult {
  HRESULT hr = S_OK;
  bool alive = true;
  int failure = 0;
  ConnectOutcome connect = ConnectOutcome::Connected;
  SafetyCopy copy;
  bool copyRefused = false;  // no safety copy: nothing was written
};

}  // namespace

SwapPage::SwapPage(SwapWizard& wizard, uint32_t textId, QString objectName) : wizard_(wizard) {
  setObjectName(objectName);
  setTitle(wizard.texts_.text(61390));
  auto* layout = new QVBoxLayout(this);
  auto* text = new QLabel(wizard.texts_.text(textId));
  text->setWordWrap(true);
  layout->addWidget(text);
  note_ = new QLabel;
  note_->setWordWrap(true);
  layout->addWidget(note_);
}

bool SwapPage::validatePage() {
  if (passed_) {
    passed_ = false;
    return true;
  }
  if (!wizard_.busy()) wizard_.runStep(this);
  return false;
}

void SwapPage::pass() {
  passed_ = true;
  if (wizard_.currentPage() == this) {
    if (wizard_.nextId() == -1) {
      wizard_.button(QWizard::FinishButton)->click();
    } else {
      wizard_.next();
    }
  }
}

SwapWizard::SwapWizard(const Texts& texts, SessionThread& session, Prompter& prompter, ConnectRequest target,
                       QString transferFile, QString reportFile, bool offerCopy, bool safetyCopy, QWidget* parent)
    : QWizard(parent),
      texts_(texts),
      session_(session),
      prompter_(prompter),
      target_(std::move(target)),
      transferFile_(std::move(transferFile)),
      reportFile_(std::move(reportFile)),
      offerCopy_(offerCopy),
      safetyCopy_(safetyCopy) {
  setWindowTitle(texts_.text(61390));
  setWizardStyle(QWizard::ClassicStyle);
  setOption(QWizard::NoBackButtonOnStartPage);
  setButtonText(QWizard::NextButton, texts_.text(text::kNext));
  setButtonText(QWizard::BackButton, texts_.text(text::kBack));
  setButtonText(QWizard::FinishButton, texts_.text(text::kFinish));
  setButtonText(QWizard::CancelButton, texts_.text(text::kCancel));
  start_ = new SwapPage(*this, 61391, QStringLiteral("start"));
  type_ = new SwapPage(*this, 61392, QStringLiteral("type"));
  targetPage_ = new SwapPage(*this, 61393, QStringLiteral("target"));
  targetPage_->setFinalPage(true);
  auto* form = new QFormLayout;
  targetPort_ = new QComboBox;
  targetPort_->setEditable(true);
  targetPort_->addItems(availablePorts());
  targetPort_->setCurrentText(QString::fromStdString(target_.port));
  form->addRow(texts_.text(text::kPort), targetPort_);
  static_cast<QVBoxLayout*>(targetPage_->layout())->addLayout(form);
  setPage(StartPage, start_);
  setPage(TypePage, type_);
  setPage(TargetPage, targetPage_);
  resize(640, 420);
  linkTimer_ = new QTimer(this);
  linkTimer_->setObjectName(QStringLiteral("linkTimer"));
  linkTimer_->setInterval(kLinkTimerMs);
  connect(linkTimer_, &QTimer::timeout, this, &SwapWizard::checkOldUt);
  linkTimer_->start();
}

void SwapWizard::done(int result) {
  linkTimer_->stop();
  // Cancel while the new UT is being connected stops the wait for its link.
  if (busy_) session_.cancelConnect();
  QWizard::done(result);
}

void SwapWizard::checkOldUt() {
  // Only the first pages need the old UT; on the last one it is expected
  // to be gone, as the new UT takes its place on the port. A step that is
  // running reports a lost link itself.
  if (checking_ || busy_ || currentId() == TargetPage) return;
  checking_ = true;
  session_.run<bool>(this, [](Session& s) { return s.linkAlive(); },
                     [this](bool alive) {
                       checking_ = false;
                       if (alive || busy_ || currentId() == TargetPage || !linkTimer_->isActive()) return;
                       linkTimer_->stop();
                       failure_ = 11;
                       prompter_.warn(this, texts_.text(61471));
                       reject();
                     });
}

int SwapWizard::nextId() const {
  switch (currentId()) {
    case StartPage: return offerCopy_ ? TypePage : TargetPage;
    case TypePage: return TargetPage;
    default: return -1;
  }
}

void SwapWizard::setBusy(bool on, const QString& message, bool cancellable) {
  busy_ = on;
  for (QWizard::WizardButton b : {QWizard::NextButton, QWizard::BackButton, QWizard::FinishButton}) {
    if (button(b) != nullptr) button(b)->setEnabled(!on);
  }
  if (button(QWizard::CancelButton) != nullptr) button(QWizard::CancelButton)->setEnabled(!on || cancellable);
  if (auto* page = qobject_cast<SwapPage*>(currentPage())) page->note()->setText(message);
  if (!on) emit settled();
}

void SwapWizard::runStep(SwapPage* page) {
  if (page == start_) saveOld(page);
  if (page == type_) saveCopy(page);
  if (page == targetPage_) restoreNew(page);
}

void SwapWizard::saveOld(SwapPage* page) {
  const std::string path = QFile::encodeName(transferFile_).toStdString();
  setBusy(true, texts_.text(61434));
  session_.run<StepResult>(
      this,
      [path](Session& s) {
        StepResult r;
        r.alive = s.linkAlive();
        auto file = s.connectionAs<IVexFile>();
        if (!r.alive) return r;
        if (!file) {
          r.failure = 16;
          return r;
        }
        r.hr = file->WriteNVToFile(path.c_str());
        r.alive = s.linkAlive();
        if (FAILED(r.hr)) r.failure = 17;
        return r;
      },
      [this, page](StepResult r) {
        setBusy(false);
        if (!r.alive) {
          prompter_.warn(this, texts_.text(61471));
          failure_ = 11;
          reject();
          return;
        }
        if (r.failure != 0) {
          failure_ = r.failure;
          prompter_.warn(this, texts_.text(61420));
          reject();
          return;
        }
        page->pass();
      });
}

void SwapWizard::saveCopy(SwapPage* page) {
  const QString copy = prompter_.saveFile(this, texts_.text(61328), texts_.text(61329), texts_.text(61504), {});
  if (copy.isEmpty()) return;  // stays on the page
  const std::string path = QFile::encodeName(copy).toStdString();
  setBusy(true, texts_.text(61434));
  session_.run<HRESULT>(
      this,
      [path](Session& s) {
        auto file = s.connectionAs<IVexFile>();
        return file ? file->WriteNVToFile(path.c_str()) : E_NOINTERFACE;
      },
      [this, page](HRESULT hr) {
        setBusy(false);
        if (FAILED(hr)) {
          prompter_.warn(this, texts_.text(61332));
          return;
        }
        page->pass();
      });
}

void SwapWizard::restoreNew(SwapPage* page) {
  ConnectRequest request = target_;
  request.port = targetPort_->currentText().trimmed().toStdString();
  const std::string transfer = QFile::encodeName(transferFile_).toStdString();
  const std::string report = QFile::encodeName(reportFile_).toStdString();
  // The wait for the new UT's link (up to 30 s) can be cancelled.
  setBusy(true, texts_.text(61204), true);
  session_.clearCancel();
  const std::atomic<bool>& cancel = session_.cancelFlag();
  // The steps on the session thread tell the page which one is under way.
  // They go by way of the session thread's object, which outlives the
  // wizard, so that a wizard closed meanwhile is only looked up, never used.
  QPointer<SwapWizard> self(this);
  auto note = [self, thread = &session_](uint32_t textId) {
    QMetaObject::invokeMethod(thread, [self, textId] {
      if (self && self->busy_) self->targetPage_->note()->setText(self->texts_.text(textId));
    }, Qt::QueuedConnection);
  };
  session_.run<StepResult>(
      this,
      [request, transfer, report, &cancel, note, safetyCopy = safetyCopy_](Session& s) {
        StepResult r;
        // The old UT's connection ends; the new UT is connected afresh.
        s.disconnect(false);
        const ConnectResult connected = s.connect(request, cancel);
        r.connect = connected.outcome;
        if (connected.outcome != ConnectOutcome::Connected) {
          r.hr = connected.hr;
          return r;
        }
        auto file = s.connectionAs<IVexFile>();
        if (!file) {
          r.failure = 12;
          r.hr = E_NOINTERFACE;
          return r;
        }
        if (safetyCopy) {
          // The new UT's own settings are kept before the old UT's replace
          // them; without a copy nothing is written.
          note(text::kSavingSafetyCopy);
          r.copy = s.saveSafetyCopy();
          if (!r.copy.saved) {
            r.copyRefused = true;
            return r;
          }
        }
        note(61438);
        r.hr = file->ReadNVFromFile(transfer.c_str(), report.c_str(), 1);
        if (SUCCEEDED(r.hr)) {
          auto general = s.configAs<IGeneralSettings_1_1>();
          auto params = s.connectionAs<IVexParams1>();
          if (general) general->IncrementWDC();
          r.hr = params ? params->CommitChanges() : E_NOINTERFACE;
        }
        return r;
      },
      [this, page](StepResult r) {
        setBusy(false);
        if (r.connect == ConnectOutcome::PortInUse) {
          prompter_.warn(this, texts_.format(text::kPortInUse, {targetPort_->currentText()}));
          return;
        }
        if (r.connect != ConnectOutcome::Connected) {
          prompter_.warn(this, texts_.format(text::kConnectFailed, {hex8(r.hr)}));
          return;
        }
        if (r.copyRefused) {
          prompter_.warn(this, texts_.format(text::kSafetyCopyFailed, {QString::fromStdString(r.copy.error)}));
          return;
        }
        if (FAILED(r.hr)) {
          QString message = r.hr == VEX_E_OTHER_MODEL ? texts_.text(61455) : texts_.text(61352);
          if (r.copy.saved) message += QStringLiteral("\n\n") + safetyCopyNote(texts_, r.copy.path);
          prompter_.warn(this, message);
          return;
        }
        if (prompter_.ask(this, texts_.text(61440), false)) {
          QFile reportText(reportFile_);
          QString text;
          if (reportText.open(QIODevice::ReadOnly)) text = QString::fromUtf8(reportText.readAll());
          prompter_.showReport(this, texts_.text(61396), text);
        }
        prompter_.inform(this, texts_.text(61435));
        page->pass();
      });
}

}  // namespace utvex
