#include "main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QMenuBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QStatusBar>
#include <QStyle>
#include <QTemporaryFile>
#include <QTimer>
#include <QToolBar>

#include <algorithm>
#include <cstdint>
#include <optional>

#include "connect_dialog.h"
#include "download_dialog.h"
#include "nv_browser.h"
#include "options_dialog.h"
#include "swap_wizard.h"
#include "ut_records.h"
#include "vx/com/error_info.h"
#include "vx/download/software_file_check.h"
#include "prompter.h"
#include "settings_sheet.h"
#include "text_ids.h"
#include "texts.h"

namespace utvex {

namespace {

constexpr int kLinkCheckMs = 2000;

struct CommandInfo {
  MainWindow::Command command;
  uint32_t text;
  QKeySequence shortcut;
  QStyle::StandardPixmap icon;
  bool needsUt;
  bool onToolbar;
};

const std::vector<CommandInfo>& commandTable() {
  using C = MainWindow::Command;
  static const std::vector<CommandInfo> table{
      {C::Connect, 61374, QKeySequence(Qt::CTRL | Qt::Key_K), QStyle::SP_DriveNetIcon, false, true},
      {C::ConnectionSettings, 61387, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_K), QStyle::SP_ComputerIcon, false, false},
      {C::Disconnect, 61375, QKeySequence(Qt::CTRL | Qt::Key_D), QStyle::SP_BrowserStop, true, true},
      {C::ConfigureUt, 61376, QKeySequence(Qt::CTRL | Qt::Key_U), QStyle::SP_FileDialogDetailedView, true, true},
      {C::WriteChanges, 61377, QKeySequence(Qt::CTRL | Qt::Key_W), QStyle::SP_DialogApplyButton, true, true},
      {C::SaveSettings, 61378, QKeySequence(Qt::CTRL | Qt::Key_S), QStyle::SP_DialogSaveButton, true, true},
      {C::SaveSettingsAs, 61379, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S), QStyle::SP_DriveFDIcon, true, false},
      {C::RestoreSettings, 61380, QKeySequence(Qt::CTRL | Qt::Key_R), QStyle::SP_DialogOpenButton, true, true},
      {C::SwapPhone, 61381, QKeySequence(Qt::CTRL | Qt::Key_P), QStyle::SP_BrowserReload, true, true},
      {C::DownloadSoftware, 61382, QKeySequence(Qt::CTRL | Qt::Key_L), QStyle::SP_ArrowDown, true, true},
      {C::DownloadBootBlock, text::kDownloadBootBlockMenu, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_L), QStyle::SP_ArrowUp, true, false},
      {C::SendRamProgram, text::kSendRamProgramMenu, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_R), QStyle::SP_MediaPlay, true, false},
      {C::CallTimers, 61383, QKeySequence(Qt::CTRL | Qt::Key_T), QStyle::SP_FileDialogInfoView, true, true},
      {C::AppendRecord, 61384, QKeySequence(Qt::CTRL | Qt::Key_E), QStyle::SP_FileDialogNewFolder, true, false},
      {C::NvBrowser, text::kNvBrowserMenu, QKeySequence(Qt::CTRL | Qt::Key_N), QStyle::SP_FileDialogContentsView, true, true},
      {C::Toolbar, 61385, QKeySequence(Qt::CTRL | Qt::Key_B), QStyle::SP_TitleBarShadeButton, false, false},
      {C::Options, 61386, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O), QStyle::SP_FileDialogListView, false, false},
      {C::About, 61388, QKeySequence(Qt::Key_F1), QStyle::SP_MessageBoxInformation, false, false},
      {C::Exit, 61389, QKeySequence(Qt::CTRL | Qt::Key_Q), QStyle::SP_DialogCloseButton, false, false},
  };
  return table;
}

QString fileNameOnly(const QString& path) { return QFileInfo(path).fileName(); }

}  // namespace

MainWindow::MainWindow(const Texts& texts, std::unique_ptr<QSettings> store, Prompter& prompter)
    : texts_(texts), store_(std::move(store)), prompter_(prompter), session_(std::make_unique<SessionThread>()) {
  settings_ = loadSettings(*store_, texts_);
  setWindowTitle(texts_.text(130));
  buildActions();

  auto* central = new QWidget;
  auto* grid = new QGridLayout(central);
  utLabel_ = new QLabel;
  utLabel_->setObjectName(QStringLiteral("utText"));
  utLabel_->setAlignment(Qt::AlignCenter);
  utLabel_->setWordWrap(true);
  QFont big = utLabel_->font();
  big.setPointSizeF(big.pointSizeF() * 1.5);
  utLabel_->setFont(big);
  grid->addWidget(utLabel_, 0, 0, 1, 2);
  // The connected UT's details, one row each.
  const uint32_t labels[] = {text::kPort, text::kBaudRateLabel, text::kLinkLabel, 61239, 61238, 61240, 61241};
  int row = 1;
  for (uint32_t label : labels) {
    auto* name = new QLabel(texts_.text(label) + QLatin1Char(':'));
    name->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto* value = new QLabel;
    value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    value->setObjectName(QStringLiteral("detail_%1").arg(label));
    grid->addWidget(name, row, 0);
    grid->addWidget(value, row, 1);
    details_.push_back(value);
    ++row;
  }
  grid->setColumnStretch(0, 1);
  grid->setColumnStretch(1, 1);
  grid->setRowStretch(0, 1);
  grid->setRowStretch(row, 2);
  setCentralWidget(central);

  status_ = new QLabel;
  status_->setObjectName(QStringLiteral("status"));
  statusBar()->addWidget(status_, 1);

  // Placed from the screen size unless a stored place fits.
  const QRect screen = QApplication::primaryScreen() ? QApplication::primaryScreen()->availableGeometry()
                                                      : QRect(0, 0, 1280, 800);
  if (settings_.geometry.isValid() && screen.intersects(settings_.geometry)) {
    setGeometry(settings_.geometry);
  } else {
    resize(screen.width() * 3 / 4, screen.height() * 3 / 4);
    move(screen.center() - rect().center());
  }
  if (settings_.maximised) setWindowState(windowState() | Qt::WindowMaximized);
  toolbar_->setVisible(settings_.showToolbar != 0);
  action(Command::Toolbar)->setChecked(settings_.showToolbar != 0);

  auto* linkTimer = new QTimer(this);
  linkTimer->setInterval(kLinkCheckMs);
  connect(linkTimer, &QTimer::timeout, this, &MainWindow::checkLink);
  linkTimer->start();
  setConnected({});
}

MainWindow::~MainWindow() {
  // The session (and its port) ends on its own thread before the window.
  session_->runAndWait([](Session& s) { s.disconnect(false); });
  session_.reset();
}

void MainWindow::buildActions() {
  toolbar_ = addToolBar(texts_.plain(61385));
  toolbar_->setObjectName(QStringLiteral("toolbar"));
  // Icons only: the texts of every language fit 1280 pixels; each tool tip
  // gives the command and its shortcut.
  toolbar_->setToolButtonStyle(Qt::ToolButtonIconOnly);
  toolbar_->setIconSize(QSize(28, 28));
  QMenu* file = menuBar()->addMenu(texts_.text(61370));
  QMenu* ut = menuBar()->addMenu(texts_.text(61371));
  QMenu* view = menuBar()->addMenu(texts_.text(61372));
  QMenu* help = menuBar()->addMenu(texts_.text(61373));
  for (const CommandInfo& info : commandTable()) {
    auto* a = new QAction(style()->standardIcon(info.icon), texts_.text(info.text), this);
    a->setShortcut(info.shortcut);
    a->setToolTip(QStringLiteral("%1 (%2)").arg(texts_.plain(info.text), info.shortcut.toString(QKeySequence::NativeText)));
    a->setIconText(texts_.plain(info.text));
    a->setProperty("needsUt", info.needsUt);
    actions_.push_back(a);
    switch (info.command) {
      case Command::Connect: connect(a, &QAction::triggered, this, &MainWindow::connectUt); ut->addAction(a); break;
      case Command::ConnectionSettings:
        connect(a, &QAction::triggered, this, &MainWindow::connectionSettings);
        ut->addAction(a);
        break;
      case Command::Disconnect: connect(a, &QAction::triggered, this, &MainWindow::disconnectUt); ut->addAction(a); break;
      case Command::ConfigureUt:
        ut->addSeparator();
        connect(a, &QAction::triggered, this, &MainWindow::configureUt);
        ut->addAction(a);
        break;
      case Command::WriteChanges: connect(a, &QAction::triggered, this, &MainWindow::writeChanges); ut->addAction(a); break;
      case Command::SaveSettings: connect(a, &QAction::triggered, this, &MainWindow::saveSettingsCommand); file->addAction(a); break;
      case Command::SaveSettingsAs: connect(a, &QAction::triggered, this, &MainWindow::saveSettingsAs); file->addAction(a); break;
      case Command::RestoreSettings: connect(a, &QAction::triggered, this, &MainWindow::restoreSettings); file->addAction(a); break;
      case Command::SwapPhone: connect(a, &QAction::triggered, this, &MainWindow::swapPhone); ut->addAction(a); break;
      case Command::DownloadSoftware:
        connect(a, &QAction::triggered, this, &MainWindow::downloadSoftware);
        ut->addAction(a);
        break;
      case Command::DownloadBootBlock:
        connect(a, &QAction::triggered, this, &MainWindow::downloadBootBlock);
        ut->addAction(a);
        break;
      case Command::SendRamProgram:
        connect(a, &QAction::triggered, this, &MainWindow::sendRamProgram);
        ut->addAction(a);
        break;
      case Command::CallTimers: connect(a, &QAction::triggered, this, &MainWindow::callTimers); ut->addAction(a); break;
      case Command::AppendRecord: connect(a, &QAction::triggered, this, &MainWindow::appendUtRecord); ut->addAction(a); break;
      case Command::NvBrowser: connect(a, &QAction::triggered, this, &MainWindow::openNvBrowser); ut->addAction(a); break;
      case Command::Options: connect(a, &QAction::triggered, this, &MainWindow::options); view->addAction(a); break;
      case Command::Toolbar:
        a->setCheckable(true);
        connect(a, &QAction::toggled, this, [this](bool on) {
          toolbar_->setVisible(on);
          settings_.showToolbar = on ? 1 : 0;
        });
        view->addAction(a);
        break;
      case Command::About: connect(a, &QAction::triggered, this, &MainWindow::about); help->addAction(a); break;
      case Command::Exit:
        file->addSeparator();
        connect(a, &QAction::triggered, this, &QWidget::close);
        file->addAction(a);
        break;
    }
    if (info.onToolbar) toolbar_->addAction(a);
  }
}

QAction* MainWindow::action(Command command) const {
  const auto& table = commandTable();
  for (std::size_t i = 0; i < table.size(); ++i) {
    if (table[i].command == command) return actions_[i];
  }
  return nullptr;
}

SettingsSheet* MainWindow::sheet() const { return sheet_.data(); }

void MainWindow::updateState() {
  const bool idle = busyCount_ == 0;
  for (QAction* a : actions_) {
    if (a->property("needsUt").toBool()) a->setEnabled(idle && connected_);
  }
  action(Command::Connect)->setEnabled(idle && !connected_);
  // The settings are those of the next connection, not of the one open.
  action(Command::ConnectionSettings)->setEnabled(idle && !connected_);
}

// The UT's kind in words, beside the model the UT names itself.
QString MainWindow::modelKindText(UTMainModel model) const {
  if (model >= UTM_TRIMODE_PORTABLE && model <= UTM_MODULE) {
    return texts_.text(text::kFirstModelKind + static_cast<uint32_t>(model - UTM_TRIMODE_PORTABLE));
  }
  return texts_.text(text::kUnknownModelKind);
}

QString MainWindow::linkStateText(UINT linkState) const {
  switch (linkState) {
    case kLinkUp: return texts_.text(text::kLinkUp);
    case kLinkEstablishing: return texts_.text(text::kLinkEstablishing);
    default: return texts_.text(text::kLinkDown);
  }
}

void MainWindow::setConnected(const UtState& state) {
  shown_ = state;
  connected_ = state.connected;
  // The browser shows one connection's tree; it goes with it.
  if (!connected_ && browser_) browser_->close();
  if (connected_) {
    utLabel_->setText(texts_.format(text::kUtText, {state.model, state.esn, state.software}));
    const QStringList values{state.port,
                             QString::number(state.baudRate),
                             linkStateText(state.linkState),
                             QStringLiteral("%1 (%2)").arg(state.model, modelKindText(state.mainModel)),
                             state.esn,
                             state.software,
                             state.warrantyDateCode};
    for (std::size_t i = 0; i < details_.size(); ++i) details_[i]->setText(values.value(static_cast<qsizetype>(i)));
    status_->setText(texts_.format(61394, {state.port}));
    setWindowTitle(QStringLiteral("%1 - %2").arg(texts_.text(130), state.port));
  } else {
    utLabel_->setText(texts_.text(61395));
    for (QLabel* detail : details_) detail->clear();
    status_->setText(texts_.text(61395));
    setWindowTitle(texts_.text(130));
  }
  updateState();
}

template <class R>
void MainWindow::work(const QString& label, std::function<R(Session&)> job, std::function<void(R)> done,
                      bool cancellable) {
  ++busyCount_;
  updateState();
  showBusy(label, cancellable);
  session_->run<R>(this, std::move(job), [this, done = std::move(done)](R result) {
    hideBusy();
    --busyCount_;
    updateState();
    done(result);
    emit workDone();
  });
}

void MainWindow::showBusy(const QString& label, bool cancellable) {
  if (progress_ == nullptr) {
    progress_ = new QProgressDialog(this);
    progress_->setObjectName(QStringLiteral("busy"));
    progress_->setWindowTitle(texts_.text(130));
    progress_->setRange(0, 0);
    progress_->setMinimumDuration(0);
    progress_->setAutoClose(false);
    progress_->setAutoReset(false);
    progress_->setWindowModality(Qt::WindowModal);
    progress_->setCancelButtonText(texts_.text(text::kCancel));
    connect(progress_, &QProgressDialog::canceled, this, [this] { session_->cancelConnect(); });
    // The connection object's steps fill the bar; between them, and for work
    // that reports none, it stays a busy bar.
    connect(session_.get(), &SessionThread::progress, progress_, [this](int, quint32 done, quint32 total) {
      if (!progress_->isVisible() || total == 0) return;
      progress_->setRange(0, static_cast<int>(std::min<quint32>(total, INT32_MAX)));
      progress_->setValue(static_cast<int>(std::min(done, total)));
    });
  }
  progress_->setRange(0, 0);
  progress_->setLabelText(label);
  progress_->setCancelButton(nullptr);
  if (cancellable) {
    auto* cancel = new QPushButton(texts_.text(text::kCancel));
    progress_->setCancelButton(cancel);
  }
  status_->setText(label);
  progress_->show();
}

void MainWindow::hideBusy() {
  if (progress_ != nullptr && busyCount_ <= 1) progress_->hide();
}

// --- connecting ------------------------------------------------------------------------

void MainWindow::connectUt() {
  if (busy() || connected_) return;
  ConnectDialog dialog(texts_, settings_.portName, settings_.baudRate, settings_.timeout, this);
  if (dialog.exec() != QDialog::Accepted || dialog.port().isEmpty()) return;
  settings_.timeout = dialog.timeout();
  connectTo(dialog.port(), dialog.baudRate(), dialog.spc());
}

void MainWindow::connectionSettings() {
  if (busy() || connected_) return;
  auto* dialog = new ConnectDialog(texts_, settings_.portName, settings_.baudRate, settings_.timeout, this,
                                   ConnectDialog::Purpose::Settings);
  dialog->setObjectName(QStringLiteral("connectionSettings"));
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  connect(dialog, &QDialog::accepted, this, [this, dialog] {
    if (!dialog->port().isEmpty()) settings_.portName = dialog->port();
    settings_.baudRate = dialog->baudRate();
    settings_.timeout = dialog->timeout();
  });
  dialog->open();
}

void MainWindow::connectTo(const QString& port, int baudRate, const QString& spc) {
  if (busy() || connected_) return;
  ConnectRequest request;
  request.port = port.toStdString();
  request.baudRate = baudRate;
  request.timeoutSeconds = settings_.timeout;
  request.spc = spc.toStdU16String();
  session_->clearCancel();
  SessionThread* thread = session_.get();
  work<ConnectResult>(
      texts_.format(text::kConnectingTo, {port}),
      [request, thread](Session& s) { return s.connect(request, thread->cancelFlag()); },
      [this, port, baudRate](ConnectResult result) {
        switch (result.outcome) {
          case ConnectOutcome::Connected:
          case ConnectOutcome::AlreadyConnected:
            // Only a port that connected is kept for the next start.
            settings_.portName = port;
            settings_.baudRate = baudRate;
            setConnected(result.state);
            return;
          case ConnectOutcome::PortInUse: prompter_.warn(this, texts_.format(text::kPortInUse, {port})); break;
          case ConnectOutcome::CreateFailed: prompter_.warn(this, texts_.text(61216)); break;
          case ConnectOutcome::PortNameFailed: prompter_.warn(this, texts_.text(61217)); break;
          case ConnectOutcome::SettingsFailed: prompter_.warn(this, texts_.text(61218)); break;
          case ConnectOutcome::StartFailed: prompter_.warn(this, texts_.text(61219)); break;
          case ConnectOutcome::LinkServerFailed:
            prompter_.warn(this, result.why.isEmpty() ? texts_.text(61592) : result.why);
            break;
          case ConnectOutcome::NoAnswer: prompter_.warn(this, texts_.text(text::kConnectionTimedOut)); break;
          case ConnectOutcome::FinishFailed:
            prompter_.warn(this, result.hr == VEX_E_SPC_REJECTED ? texts_.text(61271)
                                                                 : texts_.format(text::kConnectFailed, {hex8(result.hr)}));
            break;
          case ConnectOutcome::AttachFailed: prompter_.warn(this, texts_.format(text::kConnectFailed, {hex8(result.hr)})); break;
          case ConnectOutcome::Cancelled: break;
        }
        setConnected({});
      },
      true);
}

struct DirtyCheck {
  uint32_t failureText = 0;  // with hr: why it is not known whether changes wait
  HRESULT hr = S_OK;
  bool dirty = false;
};

void MainWindow::checkWaitingChanges(uint32_t question, std::function<void()> then) {
  work<DirtyCheck>(
      texts_.text(text::kWorking),
      [](Session& s) {
        DirtyCheck check;
        auto params = s.connectionAs<IVexParams1>();
        if (!params) return DirtyCheck{61295, E_NOINTERFACE, false};
        UINT dirty = 0;
        check.hr = params->IsBrowserDirty(&dirty);
        if (FAILED(check.hr)) return DirtyCheck{61253, check.hr, false};
        check.dirty = dirty != 0;
        return check;
      },
      [this, question, then = std::move(then)](DirtyCheck check) {
        if (check.failureText != 0) prompter_.warn(this, texts_.format(check.failureText, {hex8(check.hr)}));
        if ((check.dirty || check.failureText != 0) && !prompter_.ask(this, texts_.text(question), false)) return;
        then();
      });
}

void MainWindow::disconnectUt() {
  if (busy()) return;
  checkWaitingChanges(61486, [this] { disconnectNow(false); });
}

void MainWindow::disconnectNow(bool keepLink, std::function<void()> then) {
  work<bool>(
      texts_.text(text::kWorking),
      [keepLink](Session& s) {
        s.disconnect(keepLink);
        return true;
      },
      [this, then](bool) {
        setConnected({});
        if (then) then();
      });
}

void MainWindow::checkLink() {
  if (!connected_ || busy() || sheet_) return;
  session_->run<bool>(this, [](Session& s) { return s.linkAlive(); },
                      [this](bool alive) {
                        if (!alive && connected_ && !busy()) linkLost();
                      });
}

void MainWindow::linkLost() {
  if (!connected_) return;
  disconnectNow(false, [this] { status_->setText(texts_.text(61576)); });
}

// --- the settings sheet ----------------------------------------------------------------

void MainWindow::configureUt() {
  if (busy() || !connected_) return;
  work<SheetData>(
      texts_.text(text::kLoadingSettings),
      [](Session& s) {
        if (!s.linkAlive()) {
          SheetData lost;
          lost.hr = VEX_E_NOT_CONNECTED;
          lost.failureText = 61229;
          return lost;
        }
        return readSheet(s);
      },
      [this](SheetData sheetData) {
        if (sheetData.failureText != 0) {
          prompter_.warn(this, texts_.format(sheetData.failureText, {hex8(sheetData.hr)}));
          return;
        }
        if (sheetData.model == UTM_UNKNOWN) {
          prompter_.warn(this, texts_.text(61275));
          return;
        }
        auto* sheet = new SettingsSheet(texts_, *session_, prompter_, std::move(sheetData), this);
        sheet->setAttribute(Qt::WA_DeleteOnClose);
        sheet->setWindowModality(Qt::WindowModal);
        sheet_ = sheet;
        connect(sheet, &SettingsSheet::linkLost, this, &MainWindow::linkLost);
        sheet->open();
        emit sheetOpened();
      });
}

// --- writing, saving, restoring -------------------------------------------------------------

struct CommitResult {
  uint32_t failureText = 0;
  HRESULT hr = S_OK;
  QStringList record;
};

void MainWindow::writeChanges() {
  if (busy() || !connected_) return;
  const bool withRecord = settings_.appendRecordAfterWrite != 0;
  work<CommitResult>(
      texts_.text(61413),
      [withRecord](Session& s) {
        CommitResult result;
        if (!s.linkAlive()) return CommitResult{61229, VEX_E_NOT_CONNECTED, {}};
        auto params = s.connectionAs<IVexParams1>();
        if (!params) return CommitResult{61295, E_NOINTERFACE, {}};
        auto general = s.configAs<IGeneralSettings>();
        if (!general) return CommitResult{61298, E_NOINTERFACE, {}};
        general->SetServiceProgDateAsCurrent();
        result.hr = params->CommitChanges();
        if (FAILED(result.hr)) {
          result.failureText = 61296;
        } else if (withRecord) {
          result.record = readUtRecord(s).fields;
        }
        return result;
      },
      [this](CommitResult result) {
        if (result.failureText != 0) {
          prompter_.warn(this, texts_.format(result.failureText, {hex8(result.hr)}));
          return;
        }
        if (!result.record.isEmpty()) writeRecord(result.record, true);
        disconnectNow(false, [this] { prompter_.inform(this, texts_.text(61294)); });
      });
}

void MainWindow::saveSettingsCommand() {
  if (busy() || !connected_) return;
  if (settings_.settingsFile.isEmpty()) {
    saveSettingsAs();
    return;
  }
  saveTo(settings_.settingsFile, false, true);
}

void MainWindow::saveSettingsAs() {
  if (busy() || !connected_) return;
  const QString file = prompter_.saveFile(this, texts_.text(61328), texts_.text(61329), texts_.text(61504),
                                          settings_.settingsFile);
  if (file.isEmpty()) return;
  saveTo(file, true, true);
}

struct FileResult {
  HRESULT hr = S_OK;
  bool aliveAfter = true;
};

void MainWindow::saveTo(const QString& file, bool asNew, bool) {
  const std::string path = QFile::encodeName(file).toStdString();
  // The connection object replaces a file whole or not at all: a failed
  // save leaves an earlier file as it was, and only a file the save itself
  // began is removed.
  const bool existed = QFileInfo::exists(file);
  work<FileResult>(
      texts_.text(61481) + fileNameOnly(file),
      [path](Session& s) {
        FileResult result;
        auto vexFile = s.connectionAs<IVexFile>();
        result.hr = vexFile ? vexFile->WriteNVToFile(path.c_str()) : E_NOINTERFACE;
        result.aliveAfter = s.linkAlive();
        return result;
      },
      [this, file, asNew, existed](FileResult result) {
        if (FAILED(result.hr)) {
          if (!existed) QFile::remove(file);
          settings_.settingsFile.clear();
          if (asNew) {
            disconnectNow(false, [this] { prompter_.warn(this, texts_.text(61420)); });
          } else {
            prompter_.warn(this, texts_.text(61420));
          }
          return;
        }
        settings_.settingsFile = file;
        settings_.settingsFolder = QFileInfo(file).absolutePath();
        if (asNew && !result.aliveAfter) {
          disconnectNow(false, [this] { prompter_.warn(this, texts_.text(61553)); });
          return;
        }
        prompter_.inform(this, texts_.text(61421));
      });
}

struct RestoreResult {
  HRESULT infoHr = S_OK;
  HRESULT hr = S_OK;
  bool aliveAfter = true;
  QString report;
  QString why;  // what the connection object said of a file it refused
  std::optional<SafetyCopy> copy;  // made when safety copies are on
};

void MainWindow::restoreSettings() {
  if (busy() || !connected_) return;
  checkWaitingChanges(61487, [this] {
        const QString file = prompter_.openFile(this, texts_.text(61330), texts_.text(61331), settings_.settingsFolder);
        if (file.isEmpty()) return;
        settings_.settingsFolder = QFileInfo(file).absolutePath();
        const std::string path = QFile::encodeName(file).toStdString();
        // The report goes to a temporary file that is removed at the end.
        QTemporaryFile reportFile(QDir::tempPath() + QStringLiteral("/utvex-report-XXXXXX.txt"));
        reportFile.setAutoRemove(false);
        if (!reportFile.open()) {
          prompter_.warn(this, texts_.text(61439));
          return;
        }
        const QString reportPath = reportFile.fileName();
        reportFile.close();
        const std::string report = QFile::encodeName(reportPath).toStdString();
        work<RestoreResult>(
            texts_.text(61484) + fileNameOnly(file),
            [path, report, safetyCopy = settings_.safetyCopies != 0](Session& s) {
              RestoreResult result;
              auto vexFile = s.connectionAs<IVexFile>();
              if (!vexFile) {
                result.hr = E_NOINTERFACE;
                return result;
              }
              UI2 versions = 0;
              UI4 version = 0;
              LPWSTR model = nullptr;
              result.infoHr = vexFile->ReadNVFileInfo(path.c_str(), &versions, &version, &model);
              takeText(model);
              if (FAILED(result.infoHr)) return result;
              // The file's values go into the tool, and Write Changes puts
              // them into the UT: what they replace is saved first, and
              // without a copy nothing is restored.
              if (safetyCopy) {
                result.copy = s.saveSafetyCopy();
                if (!result.copy->saved) return result;
              }
              result.hr = vexFile->ReadNVFromFile(path.c_str(), report.c_str(), 0);
              result.why = QString::fromStdString(vx::com::TakeErrorDescription());
              result.aliveAfter = s.linkAlive();
              return result;
            },
            [this, reportPath](RestoreResult result) {
              QFile reportText(reportPath);
              if (reportText.open(QIODevice::ReadOnly)) result.report = QString::fromUtf8(reportText.readAll());
              reportText.close();
              QFile::remove(reportPath);
              if (FAILED(result.infoHr)) {
                prompter_.warn(this, texts_.text(61424));
              } else if (result.copy && !result.copy->saved) {
                prompter_.warn(this, texts_.format(text::kSafetyCopyFailed, {QString::fromStdString(result.copy->error)}));
              } else if (result.hr == VEX_E_OTHER_MODEL) {
                prompter_.warn(this, texts_.text(61455));
              } else if (FAILED(result.hr)) {
                QString text = texts_.text(61423);
                if (!result.why.isEmpty()) text += "\n\n" + result.why;
                disconnectNow(false, [this, text] { prompter_.warn(this, text); });
              } else if (!result.aliveAfter) {
                disconnectNow(false, [this] { prompter_.warn(this, texts_.text(61554)); });
              } else {
                const QString note = result.copy ? safetyCopyNote(texts_, result.copy->path) + "\n\n" : QString();
                if (prompter_.ask(this, note + texts_.text(61432), true)) {
                  prompter_.showReport(this, texts_.text(61396), result.report);
                }
              }
            });
      });
}

// --- swap phone, download, call timers, records ----------------------------------------------

DownloadDialog* MainWindow::downloadDialog() const { return download_.data(); }
SwapWizard* MainWindow::swapWizard() const { return swap_.data(); }
NvBrowser* MainWindow::nvBrowser() const { return browser_.data(); }

void MainWindow::openNvBrowser() {
  if (busy() || !connected_) return;
  if (browser_) {
    browser_->raise();
    browser_->activateWindow();
    return;
  }
  auto* browser = new NvBrowser(texts_, *session_, prompter_, this);
  browser->setAttribute(Qt::WA_DeleteOnClose);
  browser_ = browser;
  browser->show();
  browser->load();
}

void MainWindow::setDownloadPauses(int afterLoaderMs, int afterImageMs) {
  pauseAfterLoaderMs_ = afterLoaderMs;
  pauseAfterImageMs_ = afterImageMs;
}

struct UtCheck {
  uint32_t failureText = 0;
  HRESULT hr = S_OK;
};

void MainWindow::swapPhone() {
  if (busy() || !connected_) return;
  work<UtCheck>(
      texts_.text(text::kWorking),
      [](Session& s) {
        auto version = s.connectionAs<IVexVersionExt>();
        if (!s.linkAlive()) return UtCheck{61228, VEX_E_NOT_CONNECTED};
        if (!version) return UtCheck{61428, E_NOINTERFACE};
        HRESULT hr = version->UpdateAllItems();
        if (FAILED(hr)) return UtCheck{61560, hr};
        UTMainModel model = UTM_UNKNOWN;
        hr = version->GetUTMainModel(&model);
        if (FAILED(hr)) return UtCheck{61274, hr};
        return UtCheck{};
      },
      [this](UtCheck check) {
        if (check.failureText != 0) {
          prompter_.warn(this, texts_.format(check.failureText, {hex8(check.hr)}));
          return;
        }
        // The transfer and report files live only while the wizard runs.
        QTemporaryFile transfer(QDir::tempPath() + QStringLiteral("/utvex-swap-XXXXXX.vex"));
        QTemporaryFile report(QDir::tempPath() + QStringLiteral("/utvex-swap-XXXXXX.txt"));
        if (!transfer.open() || !report.open()) {
          prompter_.warn(this, texts_.text(61439));
          return;
        }
        ConnectRequest target;
        target.port = shown_.port.toStdString();
        target.baudRate = shown_.baudRate;
        target.timeoutSeconds = settings_.timeout;
        auto* wizard = new SwapWizard(texts_, *session_, prompter_, target, transfer.fileName(), report.fileName(),
                                      settings_.saveCopyOnSwap != 0, settings_.safetyCopies != 0, this);
        wizard->setAttribute(Qt::WA_DeleteOnClose);
        swap_ = wizard;
        const QString transferName = transfer.fileName(), reportName = report.fileName();
        transfer.setAutoRemove(false);
        report.setAutoRemove(false);
        connect(wizard, &QDialog::finished, this, [this, transferName, reportName] {
          QFile::remove(transferName);
          QFile::remove(reportName);
          // The wizard may have left the window on the new UT, or on none.
          work<UtState>(
              texts_.text(text::kWorking), [](Session& s) { return s.state(); },
              [this](UtState state) {
                // The new UT's port is the one to connect to next time.
                if (state.connected) settings_.portName = state.port;
                setConnected(state);
              });
        });
        wizard->open();
      });
}

void MainWindow::downloadSoftware() { startDownload(DownloadKind::Software); }
void MainWindow::downloadBootBlock() { startDownload(DownloadKind::BootBlock); }
void MainWindow::sendRamProgram() { startDownload(DownloadKind::RamProgram); }

void MainWindow::startDownload(DownloadKind kind) {
  if (busy() || !connected_) return;
  const uint32_t title = kind == DownloadKind::Software    ? 61318
                         : kind == DownloadKind::BootBlock ? text::kBootBlockFileTitle
                                                           : text::kRamProgramFileTitle;
  const uint32_t filter = kind == DownloadKind::RamProgram ? text::kRamProgramFilter : 61319;
  const QString file = prompter_.openFile(this, texts_.text(title), texts_.text(filter), settings_.downloadFolder);
  if (file.isEmpty()) return;
  const std::string path = QFile::encodeName(file).toStdString();
  work<bool>(
      texts_.text(text::kWorking),
      [path, kind](Session&) {
        // A RAM program is the UT's own business: it is sent as it is.
        if (kind == DownloadKind::RamProgram) return true;
        const auto expected = kind == DownloadKind::BootBlock ? vx::download::ImageKind::BootBlock
                                                               : vx::download::ImageKind::Software;
        return vx::download::checkSoftwareFile(path, expected).passed;
      },
      [this, file, kind](bool passed) {
        if (kind == DownloadKind::Software && !passed && !prompter_.ask(this, texts_.text(61479), true)) return;
        if (kind == DownloadKind::BootBlock) {
          // A wrong boot block leaves a UT that cannot start: a file that
          // is not one is refused, and a good one is confirmed first.
          if (!passed) {
            prompter_.warn(this, texts_.text(61585));
            return;
          }
          if (!prompter_.ask(this, texts_.text(text::kBootBlockWarning), true)) return;
        }
        settings_.downloadFolder = QFileInfo(file).absolutePath();
        auto* dialog = new DownloadDialog(texts_, *session_, prompter_, file, this, kind);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        dialog->setPauses(std::chrono::milliseconds(pauseAfterLoaderMs_), std::chrono::milliseconds(pauseAfterImageMs_));
        dialog->setSafetyCopy(settings_.safetyCopies != 0);
        download_ = dialog;
        // The download takes the link: the window counts as disconnected.
        setConnected({});
        action(Command::Connect)->setEnabled(false);
        action(Command::ConnectionSettings)->setEnabled(false);
        connect(dialog, &QDialog::finished, this, [this, dialog] {
          if (!dialog->refused()) {
            updateState();
            return;
          }
          // Refused before anything was sent: the window is on the UT again.
          work<UtState>(
              texts_.text(text::kWorking), [](Session& s) { return s.state(); },
              [this](UtState state) { setConnected(state); });
        });
        dialog->open();
        dialog->start();
      });
}

void MainWindow::callTimers() {
  if (busy() || !connected_) return;
  work<CallTimers>(
      texts_.text(text::kWorking), [](Session& s) { return readCallTimers(s); },
      [this](CallTimers timers) {
        if (timers.failureText != 0) {
          prompter_.warn(this, texts_.format(timers.failureText, {hex8(timers.hr)}));
          return;
        }
        auto* dialog = new CallTimersDialog(texts_, timers, this);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        dialog->setObjectName(QStringLiteral("callTimers"));
        dialog->open();
        if (!dialog->problem().isEmpty()) prompter_.warn(dialog, dialog->problem());
      });
}

void MainWindow::appendUtRecord() {
  if (busy() || !connected_) return;
  if (settings_.recordLogFile.isEmpty()) {
    prompter_.warn(this, texts_.text(text::kNoRecordLog));
    return;
  }
  work<UtRecord>(
      texts_.text(text::kWorking), [](Session& s) { return readUtRecord(s); },
      [this](UtRecord record) {
        if (FAILED(record.hr)) {
          prompter_.warn(this, texts_.format(61253, {hex8(record.hr)}));
          return;
        }
        writeRecord(record.fields, false);
      });
}

void MainWindow::writeRecord(const QStringList& fields, bool quiet) {
  if (settings_.recordLogFile.isEmpty()) return;
  if (!appendRecord(settings_.recordLogFile, texts_.text(61427), fields)) {
    prompter_.warn(this, texts_.format(text::kRecordFailed, {settings_.recordLogFile}));
  } else if (!quiet) {
    prompter_.inform(this, texts_.format(text::kRecordWritten, {settings_.recordLogFile}));
  }
}

void MainWindow::options() {
  OptionsDialog dialog(texts_, settings_, this);
  if (dialog.exec() == QDialog::Accepted) dialog.applyTo(settings_);
}

// --- the rest ------------------------------------------------------------------------------

void MainWindow::about() {
  prompter_.inform(this, texts_.format(text::kAboutText, {QCoreApplication::applicationVersion()}));
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (busy()) {
    event->ignore();
    return;
  }
  settings_.maximised = isMaximized();
  if (!isMaximized()) settings_.geometry = geometry();
  saveSettings(*store_, texts_, settings_);
  QMainWindow::closeEvent(event);
}

}  // namespace utvex
