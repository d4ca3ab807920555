// The main window: tool bar, status bar, the connection to one UT and the
// commands on it. UT work runs on the session thread; while it runs a
// progress dialog shows what is being done and the window keeps painting.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <memory>

#include "download_dialog.h"
#include "tool_settings.h"
#include "ut_session.h"

class QAction;
class QLabel;
class QProgressDialog;
class QSettings;
class QToolBar;

namespace utvex {

class Prompter;
class NvBrowser;
class SettingsSheet;
class SwapWizard;
class Texts;

class MainWindow : public QMainWindow {
  Q_OBJECT
 public:
  // `store` keeps the settings between runs (read now, written at close).
  MainWindow(const Texts& texts, std::unique_ptr<QSettings> store, Prompter& prompter);
  ~MainWindow() override;

  // The commands, by what they do (for the menus, the tool bar and tests).
  enum class Command {
    Connect, ConnectionSettings, Disconnect, ConfigureUt, WriteChanges, SaveSettings, SaveSettingsAs,
    RestoreSettings, SwapPhone, DownloadSoftware, DownloadBootBlock, SendRamProgram, CallTimers, AppendRecord,
    NvBrowser, Toolbar, Options, About, Exit,
  };
  QAction* action(Command command) const;

  // Connects as the connection dialog would, without the dialog.
  void connectTo(const QString& port, int baudRate, const QString& spc);
  bool busy() const { return busyCount_ > 0; }
  bool connected() const { return connected_; }
  SessionThread& session() { return *session_; }
  ToolSettings& settings() { return settings_; }
  // The open settings sheet, if any.
  SettingsSheet* sheet() const;
  QLabel* utLabel() const { return utLabel_; }
  // The open download dialog and swap wizard, if any.
  DownloadDialog* downloadDialog() const;
  SwapWizard* swapWizard() const;
  NvBrowser* nvBrowser() const;
  // The pauses the download engine makes after the loader and the image.
  void setDownloadPauses(int afterLoaderMs, int afterImageMs);

 signals:
  // A piece of UT work has ended and its result was shown.
  void workDone();
  void sheetOpened();

 public slots:
  void connectUt();
  // Keeps the port, the baud rate and the time-out for the next connection.
  void connectionSettings();
  void disconnectUt();
  void configureUt();
  void writeChanges();
  void saveSettingsCommand();
  void saveSettingsAs();
  void restoreSettings();
  void swapPhone();
  void downloadSoftware();
  void downloadBootBlock();
  void sendRamProgram();
  void callTimers();
  void appendUtRecord();
  void openNvBrowser();
  void options();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void buildActions();
  void updateState();
  // Shows what the session is on; `state` comes from the session only.
  void setConnected(const UtState& state);
  QString modelKindText(UTMainModel model) const;
  QString linkStateText(UINT linkState) const;
  // The UT went away under the window (cable pulled, UT off): the session
  // lets go of it and the window shows that nothing is connected.
  void linkLost();
  // Asks `question` when changes wait for Write Changes, or when that
  // cannot be known (the failure is shown first); `then` runs unless the
  // engineer says No.
  void checkWaitingChanges(uint32_t question, std::function<void()> then);
  void disconnectNow(bool keepLink, std::function<void()> then = {});
  void saveTo(const QString& file, bool asNew, bool wasConnected);
  void checkLink();
  void about();
  void writeRecord(const QStringList& fields, bool quiet);
  void startDownload(DownloadKind kind);

  template <class R>
  void work(const QString& label, std::function<R(Session&)> job, std::function<void(R)> done,
            bool cancellable = false);
  void showBusy(const QString& label, bool cancellable);
  void hideBusy();

  const Texts& texts_;
  std::unique_ptr<QSettings> store_;
  Prompter& prompter_;
  ToolSettings settings_;
  std::unique_ptr<SessionThread> session_;
  std::vector<QAction*> actions_;
  QToolBar* toolbar_ = nullptr;
  QLabel* status_ = nullptr;
  QLabel* utLabel_ = nullptr;
  std::vector<QLabel*> details_;  // port, baud rate, model, ESN, software, WDC
  QProgressDialog* progress_ = nullptr;
  QPointer<SettingsSheet> sheet_;
  QPointer<DownloadDialog> download_;
  QPointer<SwapWizard> swap_;
  QPointer<NvBrowser> browser_;
  int pauseAfterLoaderMs_ = 1000;
  int pauseAfterImageMs_ = 500;
  int busyCount_ = 0;
  bool connected_ = false;
  UtState shown_;  // what the window shows: the session's state at the last change
};

}  // namespace utvex
