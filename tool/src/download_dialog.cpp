#include "download_dialog.h"

#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>

#include "prompter.h"
#include "text_ids.h"
#include "texts.h"
#include "ut_session.h"

namespace utvex {

namespace {

// Hears of the engine's pieces on the session thread and hands them to
// the dialog on its own thread.
class QueuedSink : public vx::download::ProgressSink {
 public:
  QueuedSink(QObject* target, std::function<void(const vx::download::ProgressReport&)> show)
      : target_(target), show_(std::move(show)) {}
  void progress(const vx::download::ProgressReport& report) override {
    QMetaObject::invokeMethod(target_, [show = show_, report] { show(report); }, Qt::QueuedConnection);
  }

 private:
  QObject* target_;
  std::function<void(const vx::download::ProgressReport&)> show_;
};

struct Outcome {
  HRESULT hr = S_OK;
  QString detail;
  SafetyCopy copy;
  bool copyRefused = false;  // no safety copy: nothing was sent
};

}  // namespace

DownloadDialog::DownloadDialog(const Texts& texts, SessionThread& session, Prompter& prompter, QString file,
                               QWidget* parent, DownloadKind kind)
    : QDialog(parent),
      texts_(texts),
      session_(session),
      prompter_(prompter),
      file_(std::move(file)),
      kind_(kind),
      engine_(std::make_unique<vx::download::CDownload>()) {
  switch (kind_) {
    case DownloadKind::Software: setWindowTitle(texts_.text(61397)); break;
    case DownloadKind::BootBlock: setWindowTitle(texts_.text(text::kBootBlockTitle)); break;
    case DownloadKind::RamProgram: setWindowTitle(texts_.text(text::kRamProgramTitle)); break;
  }
  auto* layout = new QVBoxLayout(this);
  auto* name = new QLabel(QFileInfo(file_).fileName());
  QFont bold = name->font();
  bold.setBold(true);
  name->setFont(bold);
  layout->addWidget(name);
  // A RAM program goes without the loader.
  phase_ = new QLabel(texts_.text(kind_ == DownloadKind::RamProgram ? vx::download::kTextSendingRamProgram
                                                                     : vx::download::kTextSendingLoader));
  phase_->setObjectName(QStringLiteral("phase"));
  layout->addWidget(phase_);
  bar_ = new QProgressBar;
  bar_->setRange(0, 100);
  bar_->setValue(0);
  bar_->setFormat(texts_.format(vx::download::kTextPercent, {QStringLiteral("%p")}));
  layout->addWidget(bar_);
  bytes_ = new QLabel;
  time_ = new QLabel;
  layout->addWidget(bytes_);
  layout->addWidget(time_);
  cancel_ = new QPushButton(texts_.text(text::kCancel));
  cancel_->setObjectName(QStringLiteral("cancel"));
  connect(cancel_, &QPushButton::clicked, this, &DownloadDialog::reject);
  auto* row = new QHBoxLayout;
  row->addStretch();
  row->addWidget(cancel_);
  layout->addLayout(row);
  setMinimumWidth(520);
}

DownloadDialog::~DownloadDialog() {
  // The engine is used on the session thread until the transfer ends.
  if (running_) {
    engine_->requestCancel();
    session_.runAndWait([](Session&) {});
  }
}

void DownloadDialog::setPauses(std::chrono::milliseconds afterLoader, std::chrono::milliseconds afterImage) {
  engine_->setPauses(afterLoader, afterImage);
}

void DownloadDialog::start() {
  running_ = true;
  vx::download::CDownload* engine = engine_.get();
  const std::string path = QFile::encodeName(file_).toStdString();
  auto resources = texts_.shared();
  QPointer<DownloadDialog> self(this);
  const DownloadKind kind = kind_;
  const bool safetyCopy = safetyCopy_;
  if (safetyCopy) {
    // The copy's items fill the bar until the engine reports.
    copying_ = true;
    phase_->setText(texts_.text(text::kSavingSafetyCopy));
    connect(&session_, &SessionThread::progress, this, [this](int, quint32 done, quint32 total) {
      if (!copying_ || total == 0) return;
      bar_->setRange(0, static_cast<int>(std::min<quint32>(total, INT_MAX)));
      bar_->setValue(static_cast<int>(std::min(done, total)));
    });
  }
  session_.run<Outcome>(
      this,
      [engine, path, resources, kind, safetyCopy, this](Session& s) {
        Outcome outcome;
        if (safetyCopy) {
          // New software may not keep every setting, and a transfer cut
          // short may leave the UT without its own: they are saved first,
          // and without a copy nothing is sent.
          outcome.copy = s.saveSafetyCopy();
          if (!outcome.copy.saved) {
            outcome.copyRefused = true;
            return outcome;
          }
          QMetaObject::invokeMethod(this, [this, copy = outcome.copy.path] {
            copying_ = false;
            copyPath_ = copy;
            bar_->setRange(0, 100);
            bar_->setValue(0);
          }, Qt::QueuedConnection);
        }
        // The settings object goes; the link stays for the transfer.
        s.disconnect(true);
        void* link = nullptr;
        if (s.connection() == nullptr || FAILED(s.connection()->GetKMXHandle(&link)) || link == nullptr) {
          outcome.hr = VEX_E_NOT_CONNECTED;
          outcome.detail = texts_.text(61588);
          s.disconnect(false);
          return outcome;
        }
        QueuedSink sink(this, [this](const vx::download::ProgressReport& report) { show(report); });
        outcome.hr = kind == DownloadKind::RamProgram
                         ? engine->ramProgram(link, path, sink)
                         : engine->softwareUpgrade(link, path, kind == DownloadKind::BootBlock, *resources, sink);
        if (FAILED(outcome.hr)) outcome.detail = QString::fromStdString(engine->lastErrorText());
        // The UT restarts after any download: the connection is made anew.
        s.disconnect(false);
        return outcome;
      },
      [this](Outcome outcome) {
        copying_ = false;
        copyPath_ = outcome.copy.path;
        if (outcome.copyRefused) {
          refuse(outcome.copy.error);
          return;
        }
        finished(outcome.hr, outcome.detail);
      });
}

void DownloadDialog::show(const vx::download::ProgressReport& report) {
  if (cancelling_) return;
  phase_->setText(texts_.text(report.phaseText));
  bar_->setValue(report.percent);
  bytes_->setText(texts_.format(vx::download::kTextBytesLeft, {QString::number(report.bytesLeft)}));
  if (report.secondsLeft) {
    const uint32_t seconds = *report.secondsLeft;
    time_->setText(seconds >= 60 ? texts_.format(vx::download::kTextMinutesLeft,
                                                 {QString::number(seconds / 60), QString::number(seconds % 60)})
                                 : texts_.format(vx::download::kTextSecondsLeft, {QString::number(seconds)}));
  }
  emit progressShown(report.percent);
}

void DownloadDialog::reject() {
  if (!running_) {
    QDialog::reject();
    return;
  }
  if (cancelling_ || !prompter_.ask(this, texts_.text(61533), true)) return;
  cancelling_ = true;
  phase_->setText(texts_.text(61534));
  cancel_->setEnabled(false);
  engine_->requestCancel();
}

void DownloadDialog::finished(HRESULT hr, const QString& detail) {
  running_ = false;
  result_ = hr;
  if (SUCCEEDED(hr)) {
    bar_->setValue(100);
    const uint32_t done = kind_ == DownloadKind::Software    ? text::kDownloadDone
                          : kind_ == DownloadKind::BootBlock ? text::kBootBlockDone
                                                             : text::kRamProgramDone;
    prompter_.inform(this, texts_.text(done));
    accept();
    return;
  }
  QString message = hr == DOWNLOAD_E_CANCELLED ? texts_.text(text::kDownloadCancelled)
                                               : texts_.format(text::kDownloadFailed, {hex8(hr), detail});
  // Whatever reached the UT, its settings from before are in the copy.
  if (!copyPath_.empty()) message += QStringLiteral("\n\n") + safetyCopyNote(texts_, copyPath_);
  prompter_.warn(this, message);
  QDialog::reject();
}

void DownloadDialog::refuse(const std::string& why) {
  // Nothing was sent and the UT keeps its connection.
  running_ = false;
  refused_ = true;
  result_ = E_ABORT;
  prompter_.warn(this, texts_.format(text::kSafetyCopyFailed, {QString::fromStdString(why)}));
  QDialog::reject();
}

}  // namespace utvex
