// The download's progress dialog: saves the UT's settings to a safety copy
// first (unless turned off; a copy that cannot be saved refuses the
// download), then sends the loader program and a software or boot-block
// image, or a program for the UT's RAM alone, through the shared download
// engine on the session thread, shows the phase, the bar, the bytes and the
// time left as the engine reports them, and cancels on request (after
// asking). A download that does not end well names the safety copy.
#pragma once

#include <QDialog>
#include <chrono>
#include <memory>
#include <string>

#include "vx/download/download_engine.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace utvex {

class Prompter;
class SessionThread;
class Texts;

// What a download sends.
enum class DownloadKind { Software, BootBlock, RamProgram };

class DownloadDialog : public QDialog {
  Q_OBJECT
 public:
  DownloadDialog(const Texts& texts, SessionThread& session, Prompter& prompter, QString file, QWidget* parent,
                 DownloadKind kind = DownloadKind::Software);
  ~DownloadDialog() override;

  // Starts the transfer; the dialog closes itself when it has ended and its
  // outcome was shown.
  void start();
  void setPauses(std::chrono::milliseconds afterLoader, std::chrono::milliseconds afterImage);
  // Whether the UT's settings are saved to a safety copy before anything is
  // sent (on unless turned off before start()).
  void setSafetyCopy(bool on) { safetyCopy_ = on; }
  // The safety copy of this download; empty before it is saved or without one.
  const std::string& safetyCopyPath() const { return copyPath_; }
  // The download was refused for want of a safety copy: the UT is still connected.
  bool refused() const { return refused_; }
  bool running() const { return running_; }
  HRESULT result() const { return result_; }
  QProgressBar* bar() const { return bar_; }
  QLabel* phaseLabel() const { return phase_; }

 public slots:
  void reject() override;  // the cancel button and Escape: cancel the transfer

 signals:
  void progressShown(int percent);

 private:
  void show(const vx::download::ProgressReport& report);
  void finished(HRESULT hr, const QString& detail);
  void refuse(const std::string& why);

  const Texts& texts_;
  SessionThread& session_;
  Prompter& prompter_;
  QString file_;
  DownloadKind kind_;
  std::unique_ptr<vx::download::CDownload> engine_;
  QLabel* phase_ = nullptr;
  QLabel* bytes_ = nullptr;
  QLabel* time_ = nullptr;
  QProgressBar* bar_ = nullptr;
  QPushButton* cancel_ = nullptr;
  bool running_ = false;
  bool cancelling_ = false;
  bool safetyCopy_ = true;
  bool copying_ = false;
  bool refused_ = false;
  std::string copyPath_;
  HRESULT result_ = S_OK;
};

}  // namespace utvex
