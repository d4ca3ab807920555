// The service tool driven as a service engineer drives it, on the offscreen
// platform, against simulated UTs served through the real link server:
// start-up pieces (locale, stored settings, desktop entry), connecting and
// the port's exclusion, the settings sheet for every UT model, writing
// changes and reading them back, save and restore with the report.
#include <QCheckBox>
#include <QSpinBox>
#include <QListWidget>
#include <QProgressBar>
#include <QProgressDialog>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QSettings>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QElapsedTimer>
#include <QtTest>
#include <algorithm>
#include <map>

#include "connect_dialog.h"
#include "desktop_entry.h"
#include "download_dialog.h"
#include "nv_browser.h"
#include "image_files.h"
#include "swap_wizard.h"
#include "ut_records.h"
#include "kmx/proto/ut_commands.h"
#include "kmx/sim/nv_catalogue.h"
#include "kmx/testing/runtime_sandbox.h"
#include "main_window.h"
#include "options_dialog.h"
#include "page_specs.h"
#include "ports.h"
#include "record_dialog.h"
#include "settings_sheet.h"
#include "startup_dialog.h"
#include "test_support.h"
#include "text_ids.h"
#include "tool_settings.h"

using namespace utvex;
using namespace utvex::testing;

namespace {
constexpr int kWaitMs = 60000;
}

class UtvexTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir home_;
  std::unique_ptr<kmx::testing::RuntimeSandbox> sandbox_;
  std::unique_ptr<kmx::sim::UtSimulator> sim_;
  std::shared_ptr<vx::res::ResourceLibrary> library_;
  std::unique_ptr<Texts> texts_;
  std::unique_ptr<TestPrompter> prompter_;

  void startSimulator(uint8_t model = kmx::sim::main_model::kTrimodePortable, const char* port = "UT1") {
    kmx::sim::SimulatorOptions options;
    options.portName = port;
    options.catalogue.mainModel = model;
    sim_ = std::make_unique<kmx::sim::UtSimulator>(options);
    QVERIFY2(sim_->start(), sim_->lastError().c_str());
  }

  void useLanguage(const char* file) {
    library_ = loadLanguage(file);
    QVERIFY(library_->loaded());
    texts_ = std::make_unique<Texts>(library_);
    prompter_ = std::make_unique<TestPrompter>(*texts_);
  }

  std::unique_ptr<MainWindow> makeWindow() {
    auto window = std::make_unique<MainWindow>(*texts_, openSettings(*texts_), *prompter_);
    window->resize(1280, 800);
    window->show();
    return window;
  }

  static bool connectWindow(MainWindow& window, const QString& port = QStringLiteral("UT1")) {
    window.connectTo(port, 115200, QStringLiteral("000000"));
    return QTest::qWaitFor([&] { return !window.busy(); }, kWaitMs) && window.connected();
  }

  // Write Changes; the UT restarts with them, so the window ends up disconnected.
  static bool writeChanges(MainWindow& window) {
    window.action(MainWindow::Command::WriteChanges)->trigger();
    return QTest::qWaitFor([&] { return !window.busy() && !window.connected(); }, kWaitMs);
  }

  static SettingsSheet* openSheet(MainWindow& window) {
    window.action(MainWindow::Command::ConfigureUt)->trigger();
    if (!QTest::qWaitFor([&] { return !window.busy(); }, kWaitMs)) return nullptr;
    return window.sheet();
  }

  // How many items wait in the connection's cache for Write Changes.
  static UINT stagedItems(MainWindow& window) {
    UINT dirty = 0;
    window.session().runAndWait([&](Session& s) {
      if (auto params = s.connectionAs<IVexParams1>()) params->IsBrowserDirty(&dirty);
    });
    return dirty;
  }

  // Edits a list page's current entry in its entry dialog, as the engineer does.
  static void editCurrentEntry(SettingsSheet* sheet, PageId page, const QString& first, const QString& second = {}) {
    QTimer::singleShot(0, [first, second] {
      QWidget* dialog = QApplication::activeModalWidget();
      QVERIFY(dialog != nullptr);
      dialog->findChild<QLineEdit*>(QStringLiteral("entryFirst"))->setText(first);
      if (!second.isEmpty()) dialog->findChild<QLineEdit*>(QStringLiteral("entrySecond"))->setText(second);
      QTest::keyClick(dialog, Qt::Key_Return);
    });
    sheet->editEntry(page);
    QVERIFY(QTest::qWaitFor([&] { return !sheet->busy(); }, kWaitMs));
  }

  QLabel* statusText(MainWindow& window) { return window.findChild<QLabel*>(QStringLiteral("status")); }

  // Every NV leaf value a simulated UT holds, by path.
  static std::map<std::string, int64_t> nvLeaves(const kmx::sim::UtSimulator& sim) {
    std::map<std::string, int64_t> values;
    const auto catalogue = sim.catalogue();
    for (const std::string& name : catalogue->entryNames()) {
      for (const std::string& path : catalogue->leafPaths(name)) {
        if (auto value = sim.nvValue(path)) values[path] = *value;
      }
    }
    return values;
  }

  // The safety copies saved so far (the state folder is each case's own).
  static QStringList safetyCopies() {
    const QDir folder(qEnvironmentVariable("XDG_STATE_HOME") + QStringLiteral("/utvex/safety-copies"));
    QStringList copies;
    for (const QString& name : folder.entryList(QDir::Files, QDir::Name)) copies << folder.filePath(name);
    return copies;
  }

  // Makes the state folder a plain file, where no safety copy can be saved;
  // gives its path.
  QString blockStateFolder() {
    const QString blocked = QString::fromStdString(sandbox_->runtimeDir()) + QStringLiteral("/blocked-state");
    QFile file(blocked);
    if (!file.open(QIODevice::WriteOnly)) return {};
    qputenv("XDG_STATE_HOME", blocked.toUtf8());
    return blocked;
  }
  void unblockStateFolder() {
    qputenv("XDG_STATE_HOME", QByteArray::fromStdString(sandbox_->runtimeDir() + "/state"));
  }

  // The message of `id` up to its first conversion.
  QString textBefore(uint32_t id) const {
    const QString text = texts_->text(id);
    return text.left(text.indexOf(QLatin1Char('%')));
  }

  QStringList tabTitles(SettingsSheet* sheet) {
    QStringList titles;
    for (int i = 0; i < sheet->tabs()->count(); ++i) titles << sheet->tabs()->tabText(i);
    return titles;
  }

  QStringList titlesOf(const std::vector<PageId>& pages) {
    QStringList titles;
    for (PageId page : pages) titles << texts_->text(pageTitle(page));
    return titles;
  }

 private slots:
  void initTestCase() {
    QVERIFY(home_.isValid());
    qputenv("XDG_CONFIG_HOME", home_.filePath(QStringLiteral("config")).toUtf8());
    qputenv("XDG_DATA_HOME", home_.filePath(QStringLiteral("data")).toUtf8());
  }

  void init() {
    sandbox_ = std::make_unique<kmx::testing::RuntimeSandbox>();
    // The class table of this build only.
    const QByteArray data = QByteArray::fromStdString(sandbox_->runtimeDir() + "/data");
    qputenv("XDG_DATA_HOME", data);
    qputenv("XDG_DATA_DIRS", data);
    // Safety copies go into the case's own state folder.
    unblockStateFolder();
    useLanguage("libVEXResENU.so");
    // Each case starts from the default settings.
    openSettings(*texts_)->clear();
  }

  void cleanup() {
    sim_.reset();
    sandbox_.reset();
  }

  // --- start-up ------------------------------------------------------------------------

  void localeChoosesLibrary() {
    QCOMPARE(vx::res::resourceFileForLocale("fr_CA.UTF-8"), std::string("libVEXResENU.so"));
    QCOMPARE(vx::res::resourceFileForLocale("fr_FR.UTF-8"), std::string("libVEXResFRA.so"));
    QCOMPARE(vx::res::resourceFileForLocale("es_ES"), std::string("libVEXResESN.so"));
    QCOMPARE(vx::res::resourceFileForLocale("pt_BR"), std::string("libVEXResPTB.so"));
    struct Case {
      const char* locale;
      const char* language;
    };
    for (const Case& c : {Case{"fr_CA.UTF-8", "ENU"}, Case{"fr_FR.UTF-8", "FRA"}, Case{"es_ES.UTF-8", "ESN"},
                          Case{"pt_BR.UTF-8", "PTB"}}) {
      qputenv("LC_ALL", c.locale);
      const vx::res::ResourceLibrary library = vx::res::loadForUser();
      QCOMPARE(QString::fromStdString(library.language()), QString::fromLatin1(c.language));
    }
    qputenv("LC_ALL", "C.UTF-8");
    // The window's commands carry the chosen library's texts.
    QStringList connectTexts;
    for (const char* file : kLanguageFiles) {
      useLanguage(file);
      auto window = makeWindow();
      QCOMPARE(window->action(MainWindow::Command::Connect)->text(), texts_->text(61374));
      QCOMPARE(window->menuBar()->actions().first()->text(), texts_->text(61370));
      connectTexts << texts_->text(61370);
      screenshot(window.get(), QStringLiteral("main-disconnected-") + QString::fromStdString(library_->language()));
    }
    connectTexts.removeDuplicates();
    QCOMPARE(connectTexts.size(), 4);  // the File menu in four languages
  }

  void everyCommandHasAShortcut() {
    auto window = makeWindow();
    QSet<QString> keys;
    const QAction* toolbarToggle = window->findChild<QToolBar*>(QStringLiteral("toolbar"))->toggleViewAction();
    for (QAction* a : window->findChildren<QAction*>()) {
      if (a->text().isEmpty() || a->menu() != nullptr || a == toolbarToggle) continue;
      QVERIFY2(!a->shortcut().isEmpty(), qPrintable(a->text()));
      keys.insert(a->shortcut().toString());
    }
    QVERIFY(keys.size() >= 10);
    // Without a UT the commands that need one are off.
    QVERIFY(window->action(MainWindow::Command::Connect)->isEnabled());
    QVERIFY(!window->action(MainWindow::Command::ConfigureUt)->isEnabled());
    QVERIFY(!window->action(MainWindow::Command::WriteChanges)->isEnabled());
  }

  void settingsKeepTheirValues() {
    {
      auto store = openSettings(*texts_);
      store->clear();
      // No port name: the port number picks among the default names.
      store->setValue(texts_->text(61307), 3);
      // A value of the wrong kind keeps the default.
      store->setValue(texts_->text(61308), QStringLiteral("fast"));
      const ToolSettings loaded = loadSettings(*store, *texts_);
      QCOMPARE(loaded.portName, QStringLiteral("COM3"));
      QCOMPARE(loaded.baudRate, 115200);
      QCOMPARE(loaded.safetyCopies, 1);  // on unless turned off
      // Without a usable number, the first serial port of this computer.
      store->setValue(texts_->text(61307), 9);
      const QString first = firstSerialPort();
      QCOMPARE(loadSettings(*store, *texts_).portName, first.isEmpty() ? QStringLiteral("COM1") : first);
    }
    {
      auto store = openSettings(*texts_);
      ToolSettings settings;
      settings.portName = QStringLiteral("ttyUSB3");
      settings.baudRate = 38400;
      settings.recordLogFile = QStringLiteral("/tmp/records.txt");
      settings.showToolbar = 0;
      settings.safetyCopies = 0;
      saveSettings(*store, *texts_, settings);
    }
    // The values are kept under the company and program names, "Config".
    QSettings raw(QStringLiteral("UTVEX"), QStringLiteral("Utvex"));
    QCOMPARE(raw.value(QStringLiteral("Config/PortName")).toString(), QStringLiteral("ttyUSB3"));
    QCOMPARE(raw.value(QStringLiteral("Config/BaudRate")).toInt(), 38400);
    QCOMPARE(raw.value(QStringLiteral("Config/SafetyCopies")).toInt(), 0);
    auto window = makeWindow();
    QCOMPARE(window->settings().portName, QStringLiteral("ttyUSB3"));
    QCOMPARE(window->settings().recordLogFile, QStringLiteral("/tmp/records.txt"));
    QVERIFY(!window->findChild<QToolBar*>(QStringLiteral("toolbar"))->isVisibleTo(window.get()));
    window->action(MainWindow::Command::Toolbar)->trigger();
    QVERIFY(window->findChild<QToolBar*>(QStringLiteral("toolbar"))->isVisibleTo(window.get()));
  }

  void registrationWritesTheDesktopEntry() {
    QCOMPARE(registrationSwitch({"Utvex", "/RegServer"}), Registration::Register);
    QCOMPARE(registrationSwitch({"Utvex", "--unregserver"}), Registration::Unregister);
    QCOMPARE(registrationSwitch({"Utvex", "-regserver"}), Registration::Register);
    QCOMPARE(registrationSwitch({"Utvex", "RegServerX"}), Registration::None);
    QString error;
    QVERIFY(registerDesktopEntry(QStringLiteral("/opt/my tools/Utvex"), QStringLiteral("UTVEX Service Tool"), &error));
    QVERIFY(desktopEntryPath().startsWith(qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/applications/")));
    QFile entry(desktopEntryPath());
    QVERIFY(entry.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(entry.readAll());
    QVERIFY(text.startsWith(QStringLiteral("[Desktop Entry]\n")));
    QVERIFY(text.contains(QStringLiteral("Exec=\"/opt/my tools/Utvex\"\n")));
    QVERIFY(text.contains(QStringLiteral("Name=UTVEX Service Tool\n")));
    QVERIFY(unregisterDesktopEntry(&error));
    QVERIFY(!QFile::exists(desktopEntryPath()));
    QVERIFY(unregisterDesktopEntry(&error));
  }

  // The welcome window shows until it is turned off; the main window that
  // starts after it keeps that choice, and the options turn it back on.
  void welcomeWindowUntilTurnedOff() {
    {
      auto store = openSettings(*texts_);
      QVERIFY(StartupDialog::mustShow(*store, *texts_));
      store->setValue(texts_->text(61489), QStringLiteral("no"));  // the wrong kind: the default
      QVERIFY(StartupDialog::mustShow(*store, *texts_));
    }
    for (const char* file : kLanguageFiles) {
      useLanguage(file);
      auto store = openSettings(*texts_);
      StartupDialog dialog(*texts_, *store);
      dialog.show();
      QVERIFY(QTest::qWaitForWindowExposed(&dialog));
      screenshot(&dialog, QStringLiteral("welcome-") + QString::fromStdString(library_->language()));
      dialog.reject();  // closed with the box clear: shown again next time
      QVERIFY(StartupDialog::mustShow(*store, *texts_));
    }
    useLanguage("libVEXResENU.so");
    {
      auto store = openSettings(*texts_);
      StartupDialog dialog(*texts_, *store);
      dialog.dontShowAgain()->setChecked(true);
      dialog.accept();
    }
    QVERIFY(!StartupDialog::mustShow(*openSettings(*texts_), *texts_));
    makeWindow()->close();
    QVERIFY(!StartupDialog::mustShow(*openSettings(*texts_), *texts_));
    auto window = makeWindow();
    QTimer::singleShot(0, [&] {
      QWidget* dialog = QApplication::activeModalWidget();
      QVERIFY(dialog != nullptr);
      auto* box = dialog->findChild<QCheckBox*>(QStringLiteral("showWelcome"));
      QVERIFY(box != nullptr && !box->isChecked());
      box->setChecked(true);
      screenshot(dialog, QStringLiteral("options"));
      QTest::keyClick(dialog, Qt::Key_Return);
    });
    window->action(MainWindow::Command::Options)->trigger();
    window->close();
    QVERIFY(StartupDialog::mustShow(*openSettings(*texts_), *texts_));
  }

  // --- connecting ----------------------------------------------------------------------

  void connectDialogListsPorts() {
    startSimulator();
    ConnectDialog dialog(*texts_, QStringLiteral("UT1"), 57600, 0, nullptr);
    QVERIFY(dialog.portBox()->findText(QStringLiteral("UT1")) >= 0);
    QCOMPARE(dialog.baudRate(), 57600);
    QVERIFY(dialog.problemLabel()->isHidden());
    // A device node the user may not open says why.
    QTemporaryDir dir;
    const QString node = dir.filePath(QStringLiteral("ttyFAKE"));
    QFile file(node);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QFile::setPermissions(node, QFileDevice::Permissions());
    dialog.portBox()->setCurrentText(node);
    if (::geteuid() != 0) {
      QVERIFY(!dialog.problemLabel()->text().isEmpty());
      QVERIFY(dialog.problemLabel()->text().contains(node));
    }
    // A port that does not exist is said to be missing at once.
    dialog.portBox()->setCurrentText(QStringLiteral("UT7"));
    QVERIFY2(dialog.problemLabel()->text().contains(QStringLiteral("/dev/UT7")), qPrintable(dialog.problemLabel()->text()));
    dialog.portBox()->setCurrentText(QStringLiteral("UT1"));
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    screenshot(&dialog, QStringLiteral("connect-dialog"));
  }

  void connectsAndDisconnects() {
    startSimulator();
    auto window = makeWindow();
    QSignalSpy reports(&window->session(), &SessionThread::progress);
    QVERIFY(connectWindow(*window));
    // The NV database load fills the busy dialog's bar: its last step, the
    // item dimensions, ends complete.
    QVERIFY(!reports.isEmpty());
    const QList<QVariant> last = reports.takeLast();
    QCOMPARE(last.at(0).toInt(), static_cast<int>(VEX_STEP_ITEM_DIMENSIONS));
    QCOMPARE(last.at(1).toUInt(), last.at(2).toUInt());
    auto* busy = window->findChild<QProgressDialog*>(QStringLiteral("busy"));
    QVERIFY(busy != nullptr);
    QCOMPARE(static_cast<quint32>(busy->maximum()), last.at(2).toUInt());
    QVERIFY(window->utLabel()->text().contains(QStringLiteral("ESN")));
    // The ESN the simulated UT reports is shown.
    QVERIFY(window->findChild<QLabel*>(QStringLiteral("detail_61238"))->text().startsWith(QStringLiteral("0x")));
    // The first screen says what is attached: the model with its kind, the link.
    QCOMPARE(window->findChild<QLabel*>(QStringLiteral("detail_%1").arg(text::kLinkLabel))->text(),
             texts_->text(text::kLinkUp));
    const QString model = window->findChild<QLabel*>(QStringLiteral("detail_61239"))->text();
    QVERIFY2(model.endsWith(QLatin1Char(')')) && !model.contains(texts_->text(text::kUnknownModelKind)), qPrintable(model));
    QVERIFY(window->action(MainWindow::Command::ConfigureUt)->isEnabled());
    QVERIFY(!window->action(MainWindow::Command::Connect)->isEnabled());
    screenshot(window.get(), QStringLiteral("main-connected"));
    window->action(MainWindow::Command::Disconnect)->trigger();
    QVERIFY(QTest::qWaitFor([&] { return !window->busy(); }, kWaitMs));
    QVERIFY(!window->connected());
    QCOMPARE(window->utLabel()->text(), texts_->text(61395));
    // The port is free again.
    QVERIFY(connectWindow(*window));
  }

  void secondInstanceRefusedOnSamePort() {
    startSimulator();
    auto first = makeWindow();
    QVERIFY(connectWindow(*first));
    auto second = makeWindow();
    QVERIFY(!connectWindow(*second));
    QCOMPARE(prompter_->lastText(), texts_->format(text::kPortInUse, {QStringLiteral("UT1")}));
    QVERIFY(first->connected());
    first->action(MainWindow::Command::Disconnect)->trigger();
    QVERIFY(QTest::qWaitFor([&] { return !first->busy(); }, kWaitMs));
    QVERIFY(connectWindow(*second));
  }

  void connectionSettingsAreKeptForTheNextConnect() {
    startSimulator();
    auto window = makeWindow();
    window->action(MainWindow::Command::ConnectionSettings)->trigger();
    auto* dialog = window->findChild<ConnectDialog*>(QStringLiteral("connectionSettings"));
    QVERIFY(dialog != nullptr);
    QVERIFY(dialog->spcEdit() == nullptr);
    dialog->portBox()->setCurrentText(QStringLiteral("UT1"));
    dialog->baudBox()->setCurrentIndex(dialog->baudBox()->findData(38400));
    dialog->timeoutBox()->setValue(12);
    QVERIFY(QTest::qWaitForWindowExposed(dialog));
    screenshot(dialog, QStringLiteral("connection-settings"));
    dialog->accept();
    QCOMPARE(window->settings().portName, QStringLiteral("UT1"));
    QCOMPARE(window->settings().baudRate, 38400);
    QCOMPARE(window->settings().timeout, 12);
    // They are those of the next connection: while connected they stay.
    QVERIFY(connectWindow(*window));
    QVERIFY(!window->action(MainWindow::Command::ConnectionSettings)->isEnabled());
  }

  void wrongSpcIsRefused() {
    startSimulator();
    auto window = makeWindow();
    window->connectTo(QStringLiteral("UT1"), 115200, QStringLiteral("1234567"));
    QVERIFY(QTest::qWaitFor([&] { return !window->busy(); }, kWaitMs));
    QVERIFY(!window->connected());
    QVERIFY(!prompter_->messages.empty());
    QVERIFY(prompter_->messages.back().warning);
  }

  // --- the settings sheet ---------------------------------------------------------------

  void sheetPagesFollowTheModel_data() {
    QTest::addColumn<int>("simModel");
    QTest::addColumn<int>("utModel");
    QTest::newRow("trimode") << int(kmx::sim::main_model::kTrimodePortable) << int(UTM_TRIMODE_PORTABLE);
    QTest::newRow("singlemode") << int(kmx::sim::main_model::kSinglemodePortable) << int(UTM_SINGLEMODE_PORTABLE);
    QTest::newRow("digital-fixed") << int(kmx::sim::main_model::kDigitalFixed) << int(UTM_DIGITAL_FIXED);
    QTest::newRow("analog-fixed") << int(kmx::sim::main_model::kAnalogFixed) << int(UTM_ANALOG_FIXED);
    QTest::newRow("module") << int(kmx::sim::main_model::kModule) << int(UTM_MODULE);
  }

  void sheetPagesFollowTheModel() {
    QFETCH(int, simModel);
    QFETCH(int, utModel);
    startSimulator(static_cast<uint8_t>(simModel));
    auto window = makeWindow();
    QVERIFY(connectWindow(*window));
    SettingsSheet* sheet = openSheet(*window);
    QVERIFY(sheet != nullptr);
    const QStringList expected = titlesOf(pagesForModel(static_cast<UTMainModel>(utModel)));
    QCOMPARE(tabTitles(sheet), expected);
    QCOMPARE(sheet->windowTitle(), texts_->text(61250));
    QVERIFY(QTest::qWaitForWindowExposed(sheet));
    sheet->tabs()->setCurrentIndex(sheet->tabs()->count() - 1);
    screenshot(sheet, QStringLiteral("sheet-") + QString::fromLatin1(QTest::currentDataTag()));
    sheet->reject();
  }

  void pageOrderRules() {
    const std::vector<PageId> trimode{PageId::OrbitnetNam, PageId::CellularNam1, PageId::CellularNam2,
                                      PageId::General, PageId::Features, PageId::Sounds, PageId::SecurityAlerts,
                                      PageId::PhoneBook, PageId::ServiceProviders, PageId::Maintenance};
    QVERIFY(pagesForModel(UTM_TRIMODE_PORTABLE) == trimode);
    const std::vector<PageId> analog{PageId::OrbitnetNam, PageId::General, PageId::Afut, PageId::ServiceProviders,
                                     PageId::Maintenance};
    QVERIFY(pagesForModel(UTM_ANALOG_FIXED) == analog);
    const std::vector<PageId> module{PageId::OrbitnetNam, PageId::General, PageId::ServiceProviders,
                                     PageId::Maintenance};
    QVERIFY(pagesForModel(UTM_MODULE) == module);
    QVERIFY(pagesForModel(UTM_UNKNOWN).empty());
  }

  // Every name of the value lists has a text of its own in every language,
  // and the pages show those texts while reading and writing the names.
  void valueListsShowTheLibraryTexts() {
    const QStringList* all[] = {&lists::kBaudRates, &lists::kRingerTypes, &lists::kKeySounds,
                                &lists::kKeyLengths, &lists::kCarkitVolumes, &lists::kAutoAnswer,
                                &lists::kEnableDisable, &lists::kAutoRetry, &lists::kShowTime,
                                &lists::kBacklight, &lists::kLanguages, &lists::kPhoneBookOrder,
                                &lists::kLockModes, &lists::kSmsAlerts, &lists::kPacketDataModes,
                                &lists::kVolumes};
    QSet<uint32_t> ids;
    for (const char* file : kLanguageFiles) {
      useLanguage(file);
      for (const QStringList* list : all) {
        QSet<QString> shown;
        for (const QString& name : *list) {
          const uint32_t id = valueTextId(name);
          QVERIFY2(id >= text::kFirstValueText && id <= text::kLastValueText, qPrintable(name));
          ids.insert(id);
          QVERIFY2(library_->text(id).has_value(), qPrintable(name));
          shown.insert(texts_->text(id));
        }
        QCOMPARE(shown.size(), list->size());  // no two entries of a list look alike
      }
    }
    QCOMPARE(ids.size(), int(text::kLastValueText - text::kFirstValueText + 1));
    QCOMPARE(valueTextId(QStringLiteral("UI_NO_SUCH_NAME")), 0u);

    startSimulator();
    useLanguage("libVEXResFRA.so");
    auto window = makeWindow();
    QVERIFY(connectWindow(*window));
    SettingsSheet* sheet = openSheet(*window);
    QVERIFY(sheet != nullptr);
    auto* backlight = qobject_cast<QComboBox*>(sheet->fieldWidget(PageId::Features, text::kBacklight));
    QVERIFY(backlight != nullptr && backlight->count() == lists::kBacklight.size());
    for (int i = 0; i < backlight->count(); ++i) {
      QCOMPARE(backlight->itemData(i).toString(), lists::kBacklight[i]);
      QCOMPARE(backlight->itemText(i), texts_->text(valueTextId(lists::kBacklight[i])));
    }
    // A list the UT gives: the simulated UT's earpiece volume is level 5.
    auto* earpiece = qobject_cast<QComboBox*>(sheet->fieldWidget(PageId::Sounds, text::kEarpieceVolume));
    QVERIFY(earpiece != nullptr && earpiece->isEnabled());
    QCOMPARE(earpiece->currentData().toString(), QStringLiteral("UI_VOLUME_DISPLAY_5"));
    QCOMPARE(earpiece->currentText(), texts_->text(valueTextId(QStringLiteral("UI_VOLUME_DISPLAY_5"))));
    // The chosen entry's name reaches the UT.
    earpiece->setCurrentIndex(earpiece->findData(QStringLiteral("UI_VOLUME_DISPLAY_MAX")));
    sheet->accept();
    QVERIFY(QTest::qWaitFor([&] { return !window->sheet(); }, kWaitMs));
    QVERIFY2(prompter_->messages.empty(), qPrintable(prompter_->lastText()));
    QVERIFY(writeChanges(*window));
    QCOMPARE(sim_->nvValue("NV_UI_EARPIECE_VOLUME.ui_volume_display_type"), std::optional<int64_t>(10));
  }

  void sheetPagesInEveryLanguage() {
    startSimulator();
    for (const char* file : kLanguageFiles) {
      useLanguage(file);
      auto window = makeWindow();
      QVERIFY(connectWindow(*window));
      screenshot(window.get(), QStringLiteral("main-connected-") + QString::fromStdString(library_->language()));
      SettingsSheet* sheet = openSheet(*window);
      QVERIFY(sheet != nullptr);
      QVERIFY(QTest::qWaitForWindowExposed(sheet));
      // Every page is in the list beside the pages, its whole title seen.
      QListWidget* pages = sheet->pageList();
      QVERIFY(pages != nullptr);
      QCOMPARE(pages->count(), sheet->tabs()->count());
      for (int i = 0; i < pages->count(); ++i) {
        const QRect shown = pages->visualItemRect(pages->item(i));
        QVERIFY2(pages->viewport()->rect().contains(shown), qPrintable(pages->item(i)->text()));
        QVERIFY2(pages->fontMetrics().horizontalAdvance(pages->item(i)->text()) < shown.width(),
                 qPrintable(pages->item(i)->text()));
      }
      for (int i = 0; i < sheet->tabs()->count(); ++i) {
        pages->setCurrentRow(i);
        QCOMPARE(sheet->tabs()->currentIndex(), i);
        screenshot(sheet, QStringLiteral("page-%1-%2").arg(QString::fromStdString(library_->language())).arg(i));
      }
      // The service provider entry, with its codes.
      QTreeWidget* providers = sheet->listOf(PageId::ServiceProviders);
      providers->setCurrentItem(providers->topLevelItem(0));
      QTimer::singleShot(0, [&] {
        QWidget* dialog = QApplication::activeModalWidget();
        QVERIFY(dialog != nullptr && dialog != sheet);
        screenshot(dialog, QStringLiteral("service-provider-entry-") + QString::fromStdString(library_->language()));
        QTest::keyClick(dialog, Qt::Key_Escape);
      });
      sheet->editEntry(PageId::ServiceProviders);
      sheet->reject();
      window.reset();
    }
  }

  // Changes one setting on every page, writes them and reads them back
  // through a new connection from the simulated UT.
  void changesOnEveryPageReachTheUt() {
    startSimulator();
    auto window = makeWindow();
    QVERIFY(connectWindow(*window));
    SettingsSheet* sheet = openSheet(*window);
    QVERIFY(sheet != nullptr);

    auto edit = [&](PageId page, uint32_t label) { return qobject_cast<QLineEdit*>(sheet->fieldWidget(page, label)); };
    auto combo = [&](PageId page, uint32_t label) { return qobject_cast<QComboBox*>(sheet->fieldWidget(page, label)); };
    auto check = [&](PageId page, uint32_t label) { return qobject_cast<QCheckBox*>(sheet->fieldWidget(page, label)); };
    auto bump = [](QLineEdit* field, int modulo) {
      const int next = (field->text().toInt() + 1) % modulo;
      field->setText(QString::number(next));
      return field->text();
    };
    auto other = [](QComboBox* field) {
      field->setCurrentIndex((field->currentIndex() + 1) % field->count());
      return field->currentText();
    };
    QVERIFY(edit(PageId::OrbitnetNam, text::kLossOfCoverage) && edit(PageId::CellularNam1, text::kAccolc) &&
            edit(PageId::CellularNam2, text::kAccolc) && edit(PageId::General, text::kCdmaSlotCycle) &&
            combo(PageId::Features, text::kBacklight) && combo(PageId::Sounds, text::kRingerType) &&
            check(PageId::SecurityAlerts, text::kMinuteAlert) && edit(PageId::Maintenance, text::kSatLockOrder) &&
            edit(PageId::ServiceProviders, text::kHomeSp));
    QVERIFY(edit(PageId::General, text::kCdmaSlotCycle)->isEnabled());
    const QString coverage = bump(edit(PageId::OrbitnetNam, text::kLossOfCoverage), 600);
    const QString accolc1 = bump(edit(PageId::CellularNam1, text::kAccolc), 16);
    const QString accolc2 = bump(edit(PageId::CellularNam2, text::kAccolc), 16);
    const QString slot = bump(edit(PageId::General, text::kCdmaSlotCycle), 8);
    const QString backlight = other(combo(PageId::Features, text::kBacklight));
    const QString ringer = other(combo(PageId::Sounds, text::kRingerType));
    QCheckBox* minute = check(PageId::SecurityAlerts, text::kMinuteAlert);
    minute->setChecked(!minute->isChecked());
    const bool minuteOn = minute->isChecked();
    const QString lockOrder = bump(edit(PageId::Maintenance, text::kSatLockOrder), 256);
    edit(PageId::ServiceProviders, text::kHomeSp)->setText(QStringLiteral("310,410"));

    // Enter on the phone book list edits the selected entry.
    QTreeWidget* book = sheet->listOf(PageId::PhoneBook);
    QVERIFY(book != nullptr);
    QVERIFY2(book->topLevelItemCount() > 0, "the simulated UT's phone book is empty");
    sheet->tabs()->setCurrentIndex(sheet->tabs()->indexOf(book->parentWidget()));
    book->setFocus();
    book->setCurrentItem(book->topLevelItem(0));
    const int position = book->topLevelItem(0)->text(0).toInt();
    QTimer::singleShot(0, [&] {
      QWidget* dialog = QApplication::activeModalWidget();
      QVERIFY(dialog != nullptr && dialog != sheet);
      dialog->findChild<QLineEdit*>(QStringLiteral("entryFirst"))->setText(QStringLiteral("Service"));
      dialog->findChild<QLineEdit*>(QStringLiteral("entrySecond"))->setText(QStringLiteral("5551234"));
      screenshot(dialog, QStringLiteral("phonebook-entry"));
      QTest::keyClick(dialog, Qt::Key_Return);
    });
    QTest::keyClick(book, Qt::Key_Return);
    QVERIFY(QTest::qWaitFor([&] { return !sheet->busy(); }, kWaitMs));
    QCOMPARE(book->topLevelItem(0)->text(1), QStringLiteral("Service"));
    QVERIFY(sheet->isVisible());  // Enter ran the page's action, not the sheet's OK

    sheet->accept();
    QVERIFY(QTest::qWaitFor([&] { return !window->sheet(); }, kWaitMs));
    QVERIFY2(prompter_->messages.empty(), qPrintable(prompter_->lastText()));
    QVERIFY(writeChanges(*window));
    QCOMPARE(prompter_->lastText(), texts_->text(61294));

    QVERIFY(connectWindow(*window));
    sheet = openSheet(*window);
    QVERIFY(sheet != nullptr);
    QCOMPARE(edit(PageId::OrbitnetNam, text::kLossOfCoverage)->text(), coverage);
    QCOMPARE(edit(PageId::CellularNam1, text::kAccolc)->text(), accolc1);
    QCOMPARE(edit(PageId::CellularNam2, text::kAccolc)->text(), accolc2);
    QCOMPARE(edit(PageId::General, text::kCdmaSlotCycle)->text(), slot);
    QCOMPARE(combo(PageId::Features, text::kBacklight)->currentText(), backlight);
    QCOMPARE(combo(PageId::Sounds, text::kRingerType)->currentText(), ringer);
    QCOMPARE(check(PageId::SecurityAlerts, text::kMinuteAlert)->isChecked(), minuteOn);
    QCOMPARE(edit(PageId::Maintenance, text::kSatLockOrder)->text(), lockOrder);
    QCOMPARE(edit(PageId::ServiceProviders, text::kHomeSp)->text(), QStringLiteral("310,410"));
    book = sheet->listOf(PageId::PhoneBook);
    QTreeWidgetItem* entry = nullptr;
    for (int i = 0; i < book->topLevelItemCount(); ++i) {
      if (book->topLevelItem(i)->text(0).toInt() == position) entry = book->topLevelItem(i);
    }
    QVERIFY(entry != nullptr);
    QCOMPARE(entry->text(1), QStringLiteral("Service"));
    QCOMPARE(entry->text(2), QStringLiteral("5551234"));
    sheet->reject();
  }

  void fixedUnitPageWrites() {
    startSimulator(kmx::sim::main_model::kAnalogFixed);
    auto window = makeWindow();
    QVERIFY(connectWindow(*window));
    SettingsSheet* sheet = openSheet(*window);
    QVERIFY(sheet != nullptr);
    auto* wink = qobject_cast<QLineEdit*>(sheet->fieldWidget(PageId::Afut, text::kEndCallWink));
    QVERIFY(wink != nullptr && wink->isEnabled());
    const QString value = QString::number((wink->text().toInt() + 25) % 1000);
    wink->setText(value);
    sheet->accept();
    QVERIFY(QTest::qWaitFor([&] { return !window->sheet(); }, kWaitMs));
    QVERIFY(writeChanges(*window));
    QVERIFY(connectWindow(*window));
    sheet = openSheet(*window);
    QVERIFY(sheet != nullptr);
    QCOMPARE(qobject_cast<QLineEdit*>(sheet->fieldWidget(PageId::Afut, text::kEndCallWink))->text(), value);
    sheet->reject();
  }

  // The record-shaped settings' texts and their values: every shape reads
  // back what it wrote, and a text of the wrong shape gives no values.
  void recordTextsSplitAndJoin() {
    int records = 0;
    for (PageId page : pagesForModel(UTM_TRIMODE_PORTABLE)) {
      for (const Field& field : pageFields(page)) {
        if (!field.record) continue;
        ++records;
        QStringList values;
        for (const RecordPart& part : field.record->parts) {
          values << (part.digits > 0 ? QString(part.digits, QLatin1Char('7')) : QString::number(part.maximum));
        }
        const QString text = joinRecord(*field.record, values);
        QCOMPARE(splitRecord(*field.record, text), std::optional<QStringList>(values));
      }
    }
    for (const Field& field : pageFields(PageId::Afut)) records += field.record ? 1 : 0;
    QCOMPARE(records, 9 + 3);  // the portable's records (the home service provider twice), the fixed unit's
    const RecordShape sp = *pageFields(PageId::ServiceProviders).front().record;
    QCOMPARE(joinRecord(sp, {"310", "410"}), QStringLiteral("310,410"));
    QCOMPARE(splitRecord(sp, QStringLiteral(" 310 , 041 ")), std::optional<QStringList>({"310", "041"}));
    QCOMPARE(splitRecord(sp, QStringLiteral(",")), std::optional<QStringList>({"", ""}));
    QVERIFY(!splitRecord(sp, QStringLiteral("310")));
    const std::vector<Field> fixed = pageFields(PageId::Afut);
    const auto shapeOf = [&](uint32_t label) {
      return *std::find_if(fixed.begin(), fixed.end(), [&](const Field& f) { return f.label == label; })->record;
    };
    const RecordShape tone = shapeOf(text::kCustomTone);
    const auto split = splitRecord(tone, QStringLiteral("3; 1 2 3 4 5 6 7 8; 9 10 11 12 13 14 15 16"));
    QVERIFY(split && split->size() == 17 && split->first() == QLatin1String("3") && split->last() == QLatin1String("16"));
    QVERIFY(!splitRecord(tone, QStringLiteral("3; 1 2 3 4 5 6 7; 9 10 11 12 13 14 15 16")));
    QVERIFY(!splitRecord(shapeOf(text::kToneIndex), QStringLiteral("1 2 3")));
    // The dialog with its longest labels in every language.
    for (const char* file : kLanguageFiles) {
      useLanguage(file);
      for (uint32_t label : {text::kToneIndex, text::kCustomDtmf}) {
        RecordDialog dialog(*texts_, texts_->text(label), shapeOf(label), QString(), nullptr);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        screenshot(&dialog, QStringLiteral("record-%1-%2").arg(label).arg(QString::fromStdString(library_->language())));
      }
    }
  }

  // A record is changed part by part in its own dialog; the parts reach the UT.
  void recordSettingsHaveTheirOwnDialog() {
    startSimulator();
    auto window = makeWindow();
    QVERIFY(connectWindow(*window));
    SettingsSheet* sheet = openSheet(*window);
    QVERIFY(sheet != nullptr);
    QVERIFY(QTest::qWaitForWindowExposed(sheet));
    auto* imsi = qobject_cast<QLineEdit*>(sheet->fieldWidget(PageId::CellularNam1, text::kCellularImsi));
    QVERIFY(imsi != nullptr && imsi->isReadOnly());
    QVERIFY2(imsi->isEnabled(), qPrintable(imsi->text()));
    const QString country = imsi->text().section(QLatin1Char(','), 0, 0);
    QTimer::singleShot(0, [&] {
      auto* dialog = qobject_cast<RecordDialog*>(QApplication::activeModalWidget());
      QVERIFY(dialog != nullptr);
      QCOMPARE(qobject_cast<QLineEdit*>(dialog->partWidget(0))->text(), country);
      auto* min = qobject_cast<QLineEdit*>(dialog->partWidget(2));
      min->setText(QStringLiteral("12345678901"));  // one digit too many: not taken
      QCOMPARE(min->text(), QStringLiteral("1234567890"));
      min->setText(QStringLiteral("0551230000"));
      screenshot(dialog, QStringLiteral("record-imsi"));
      QTest::keyClick(dialog, Qt::Key_Return);
    });
    // The button beside the field (each cellular NAM page has one).
    imsi->parentWidget()->findChild<QToolButton*>(QStringLiteral("edit_%1").arg(text::kCellularImsi))->click();
    QVERIFY2(imsi->text().endsWith(QStringLiteral(",0551230000")), qPrintable(imsi->text()));
    const QString changed = imsi->text();
    // The access class list: thirteen numbers; Cancel keeps the text.
    auto* classes = qobject_cast<QLineEdit*>(sheet->fieldWidget(PageId::OrbitnetNam, text::kAcList));
    const QString before = classes->text();
    QTimer::singleShot(0, [&] {
      auto* dialog = qobject_cast<RecordDialog*>(QApplication::activeModalWidget());
      QVERIFY(dialog != nullptr);
      qobject_cast<QSpinBox*>(dialog->partWidget(12))->setValue(9);
      screenshot(dialog, QStringLiteral("record-access-classes"));
      dialog->reject();
    });
    sheet->findChild<QToolButton*>(QStringLiteral("edit_%1").arg(text::kAcList))->click();
    QCOMPARE(classes->text(), before);
    sheet->accept();
    QVERIFY(QTest::qWaitFor([&] { return !window->sheet(); }, kWaitMs));
    QVERIFY2(prompter_->messages.empty(), qPrintable(prompter_->lastText()));
    QVERIFY(writeChanges(*window));
    QVERIFY(connectWindow(*window));
    sheet = openSheet(*window);
    QVERIFY(sheet != nullptr);
    QCOMPARE(qobject_cast<QLineEdit*>(sheet->fieldWidget(PageId::CellularNam1, text::kCellularImsi))->text(), changed);
    sheet->reject();
  }

  // A part that names a choice is offered as a list of its texts.
  void customToneTypeIsChosenByName() {
    startSimulator(kmx::sim::main_model::kAnalogFixed);
    auto window = makeWindow();
    QVERIFY(connectWindow(*window));
    SettingsSheet* sheet = openSheet(*window);
    QVERIFY(sheet != nullptr);
    QVERIFY(QTest::qWaitForWindowExposed(sheet));
    auto* tone = qobject_cast<QLineEdit*>(sheet->fieldWidget(PageId::Afut, text::kCustomTone));
    QVERIFY(tone != nullptr && tone->isEnabled());
    int busyFirstTone = -1;
    QTimer::singleShot(0, [&] {
      auto* dialog = qobject_cast<RecordDialog*>(QApplication::activeModalWidget());
      QVERIFY(dialog != nullptr);
      auto* type = qobject_cast<QComboBox*>(dialog->partWidget(0));
      QVERIFY(type != nullptr);
      QCOMPARE(type->count(), int(AFUT_END_OF_ENUMS));
      // Another type: that tone's values come from the UT.
      qobject_cast<QSpinBox*>(dialog->partWidget(1))->setValue(1);
      type->setCurrentIndex(AFUT_BUSY);
      QCOMPARE(type->currentText(), texts_->text(text::kFirstToneName + AFUT_BUSY));
      QVERIFY(QTest::qWaitFor([&] { return !dialog->loading(); }, kWaitMs));
      QVERIFY(qobject_cast<QSpinBox*>(dialog->partWidget(1))->value() != 1);
      busyFirstTone = qobject_cast<QSpinBox*>(dialog->partWidget(1))->value();
      qobject_cast<QSpinBox*>(dialog->partWidget(9))->setValue(250);  // the first duration
      screenshot(dialog, QStringLiteral("record-custom-tone"));
      QTest::keyClick(dialog, Qt::Key_Return);
    });
    sheet->findChild<QToolButton*>(QStringLiteral("edit_%1").arg(text::kCustomTone))->click();
    const auto values = splitRecord(*pageFields(PageId::Afut)[3].record, tone->text());
    QVERIFY2(values.has_value(), qPrintable(tone->text()));
    QCOMPARE(values->at(0), QString::number(AFUT_BUSY));
    QCOMPARE(values->at(1), QString::number(busyFirstTone));
    QCOMPARE(values->at(9), QStringLiteral("250"));
    sheet->accept();
    QVERIFY(QTest::qWaitFor([&] { return !window->sheet(); }, kWaitMs));
    QVERIFY2(prompter_->messages.empty(), qPrintable(prompter_->lastText()));
    QVERIFY(writeChanges(*window));
    QVERIFY(connectWindow(*window));
    // The UT's busy tone has the new duration.
    std::optional<QString> busy;
    window->session().runAndWait([&](Session& s) { busy = pageFields(PageId::Afut)[3].readSelected(s, AFUT_BUSY); });
    QVERIFY(busy.has_value());
    QCOMPARE(splitRecord(*pageFields(PageId::Afut)[3].record, *busy)->at(9), QStringLiteral("250"));
  }

  void badValueIsReportedAndKeepsTheSheet() {
    startSimulator();
    auto window = makeWindow();
    QVERIFY(connectWindow(*window));
    SettingsSheet* sheet = openSheet(*window);
    QVERIFY(sheet != nullptr);
    qobject_cast<QLineEdit*>(sheet->fieldWidget(PageId::General, text::kCdmaSlotCycle))->setText(QStringLiteral("99"));
    sheet->accept();
    QVERIFY(QTest::qWaitFor([&] { return !sheet->busy(); }, kWaitMs));
    QVERIFY(window->sheet() != nullptr);
    QCOMPARE(prompter_->lastText(), texts_->format(text::kValueNotAccepted, {"99", texts_->text(text::kCdmaSlotCycle)}));
    sheet->reject();
  }

  void enterOnTheServiceProviderListEditsTheEntry() {
    startSimulator();
    auto window = makeWindow();
    QVERIFY(connectWindow(*window));
    SettingsSheet* sheet = openSheet(*window);
    QVERIFY(sheet != nullptr);
    QTreeWidget* list = sheet->listOf(PageId::ServiceProviders);
    QVERIFY(list != nullptr);
    QVERIFY2(list->topLevelItemCount() > 0, "the simulated UT knows no service providers");
    sheet->tabs()->setCurrentIndex(sheet->tabs()->indexOf(list->parentWidget()));
    QVERIFY(QTest::qWaitForWindowExposed(sheet));
    list->setFocus();
    list->setCurrentItem(list->topLevelItem(0));
    const int index = list->topLevelItem(0)->data(0, Qt::UserRole).toInt();
    QTimer::singleShot(0, [&] {
      QWidget* dialog = QApplication::activeModalWidget();
      QVERIFY(dialog != nullptr && dialog != sheet);
      dialog->findChild<QLineEdit*>(QStringLiteral("entryFirst"))->setText(QStringLiteral("Oceania"));
      screenshot(dialog, QStringLiteral("service-provider-entry"));
      QTest::keyClick(dialog, Qt::Key_Return);
    });
    QTest::keyClick(list, Qt::Key_Return);
    QVERIFY(QTest::qWaitFor([&] { return !sheet->busy(); }, kWaitMs));
    QVERIFY(sheet->isVisible());  // Enter ran the page's action, not the sheet's OK
    QCOMPARE(list->topLevelItem(0)->text(3), QStringLiteral("Oceania"));
    screenshot(sheet, QStringLiteral("service-providers"));
    // Staged in the connection's items with the sheet's OK.
    sheet->accept();
    QVERIFY(QTest::qWaitFor([&] { return !window->sheet(); }, kWaitMs));
    QString staged;
    window->session().runAndWait([&](Session& s) {
      for (const ListRow& row : readServiceProviders(s)) {
        if (row.index == index) staged = row.columns.value(3);
      }
    });
    QCOMPARE(staged, QStringLiteral("Oceania"));
  }

  // An empty position of the service provider list takes a new provider,
  // codes and all, and it reaches the UT with Write Changes.
  void serviceProviderIsAddedAtAnEmptyPosition() {
    startSimulator();
    const std::string id = "NV_UI_SP_TABLE[40].ui_sp_table_entry_type.sp_id.";
    QVERIFY(sim_->setNvValue(id + "mcc", 0xFFF) && sim_->setNvValue(id + "mnc", 0xFFF));
    auto window = makeWindow();
    QVERIFY(connectWindow(*window));
    SettingsSheet* sheet = openSheet(*window);
    QVERIFY(sheet != nullptr);
    QTreeWidget* providers = sheet->listOf(PageId::ServiceProviders);
    QCOMPARE(providers->topLevelItemCount(), 67);
    QTreeWidgetItem* empty = providers->topLevelItem(40);
    QCOMPARE(empty->data(0, Qt::UserRole).toInt(), 40);
    QVERIFY(empty->text(1).isEmpty() && empty->text(3).isEmpty());
    providers->setCurrentItem(empty);
    QTimer::singleShot(0, [&] {
      QWidget* dialog = QApplication::activeModalWidget();
      QVERIFY(dialog != nullptr && dialog != sheet);
      dialog->findChild<QLineEdit*>(QStringLiteral("entryMcc"))->setText(QStringLiteral("310"));
      dialog->findChild<QLineEdit*>(QStringLiteral("entryMnc"))->setText(QStringLiteral("26"));
      dialog->findChild<QLineEdit*>(QStringLiteral("entryFirst"))->setText(QStringLiteral("Oceania"));
      dialog->findChild<QLineEdit*>(QStringLiteral("entrySecond"))->setText(QStringLiteral("Reef"));
      QTest::keyClick(dialog, Qt::Key_Return);
    });
    sheet->editEntry(PageId::ServiceProviders);
    QCOMPARE(empty->text(1), QStringLiteral("310"));
    sheet->accept();
    QVERIFY(QTest::qWaitFor([&] { return !window->sheet(); }, kWaitMs));
    QVERIFY(writeChanges(*window));
    // A two-digit network code keeps its filler digit.
    QCOMPARE(sim_->nvValue(id + "mcc"), std::optional<int64_t>(0x310));
    QCOMPARE(sim_->nvValue(id + "mnc"), std::optional<int64_t>(0x26F));
    QVERIFY(connectWindow(*window));
    QStringList added;
    window->session().runAndWait([&](Session& s) {
      for (const ListRow& row : readServiceProviders(s)) {
        if (row.index == 40) added = row.columns.mid(1, 4);
      }
    });
    QCOMPARE(added, (QStringList{"310", "26", "Oceania", "Reef"}));
  }

  void lostConnectionClosesTheSheet() {
    startSimulator();
    auto window = makeWindow();
    QVERIFY(connectWindow(*window));
    SettingsSheet* sheet = openSheet(*window);
    QVERIFY(sheet != nullptr);
    sim_->stop();
    QVERIFY(QTest::qWaitFor([&] { return !window->sheet(); }, kWaitMs));
    QCOMPARE(prompter_->lastText(), texts_->text(61452));
  }

  // --- save and restore ------------------------------------------------------------------

  void saveAndRestoreWithReport() {
    startSimulator();
    QTemporaryDir dir;
    auto window = makeWindow();
    QVERIFY(connectWindow(*window));
    const QString file = dir.filePath(QStringLiteral("old-ut.vex"));
    prompter_->nextFile = file;
    window->action(MainWindow::Command::SaveSettings)->trigger();  // no file yet: asks for one
    QVERIFY(QTest::qWaitFor([&] { return !window->busy(); }, kWaitMs));
    QCOMPARE(prompter_->lastText(), texts_->text(61421));
    QVERIFY(QFileInfo(file).size() > 0);
    QCOMPARE(window->settings().settingsFile, file);

    // Change a setting in the UT, then restore the saved file into the tool
    // and write it: the UT has the saved value again.
    SettingsSheet* sheet = openSheet(*window);
    QVERIFY(sheet != nullptr);
    auto* slot = qobject_cast<QLineEdit*>(sheet->fieldWidget(PageId::General, text::kCdmaSlotCycle));
    const QString saved = slot->text();
    slot->setText(QString::number((saved.toInt() + 3) % 8));
    sheet->accept();
    QVERIFY(QTest::qWaitFor([&] { return !window->sheet(); }, kWaitMs));
    QVERIFY(writeChanges(*window));
    QVERIFY(connectWindow(*window));

    prompter_->answers = {true};  // show the report
    window->action(MainWindow::Command::RestoreSettings)->trigger();
    QVERIFY(QTest::qWaitFor([&] { return !window->busy() && !prompter_->reports.isEmpty(); }, kWaitMs));
    QVERIFY(prompter_->questions.last().endsWith(texts_->text(61432)));
    QVERIFY(!prompter_->reports.last().trimmed().isEmpty());
    // What the restore replaces is in a safety copy, named in the question.
    const QStringList copies = safetyCopies();
    QCOMPARE(copies.size(), 1);
    QVERIFY(prompter_->questions.last().contains(copies.first()));
    QFile copy(copies.first());
    QVERIFY(copy.open(QIODevice::ReadOnly));
    const QString changed = QString::number((saved.toInt() + 3) % 8);
    QVERIFY(QString::fromUtf8(copy.readAll()).contains(QStringLiteral("[NV_SLOT_CYCLE_INDEX_I]\nT_UCHAR ") + changed + "\n"));
    QVERIFY(writeChanges(*window));
    QVERIFY(connectWindow(*window));
    sheet = openSheet(*window);
    QVERIFY(sheet != nullptr);
    QCOMPARE(qobject_cast<QLineEdit*>(sheet->fieldWidget(PageId::General, text::kCdmaSlotCycle))->text(), saved);
    sheet->reject();
  }

  void restoreRefusesWhatIsNoSettingsFile() {
    startSimulator();
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("junk.vex"));
    QFile junk(file);
    QVERIFY(junk.open(QIODevice::WriteOnly));
    junk.write("not a settings file\n");
    junk.close();
    auto window = makeWindow();
    QVERIFY(connectWindow(*window));
    prompter_->nextFile = file;
    window->action(MainWindow::Command::RestoreSettings)->trigger();
    QVERIFY(QTest::qWaitFor([&] { return !window->busy() && !prompter_->messages.empty(); }, kWaitMs));
    QCOMPARE(prompter_->lastText(), texts_->text(61424));
    QVERIFY(window->connected());

    // A backup of this model with a fault in it: the engineer is told where.
    const QString faulty = dir.filePath(QStringLiteral("faulty.vex"));
    QFile text(faulty);
    QVERIFY(text.open(QIODevice::WriteOnly));
    text.write("VEX\n1\n201\n7\n262657\n[NV_SCM_I]\nT_UCHAR 42abc\n");
    text.close();
    const auto shown = prompter_->messages.size();
    prompter_->nextFile = faulty;
    window->action(MainWindow::Command::RestoreSettings)->trigger();
    QVERIFY(QTest::qWaitFor([&] { return !window->busy() && prompter_->messages.size() > shown; }, kWaitMs));
    QCOMPARE(prompter_->lastText(), texts_->text(61423) + QStringLiteral("\n\nline 7: not a number: 42abc"));
  }

  // A file of another UT model is refused with its own message; the
  // connection stays and no report is offered.
  void restoreOfAnotherModelsFileIsRefused() {
    startSimulator();
    kmx::sim::SimulatorOptions options;
    options.portName = "UT2";
    options.catalogue.mainModel = kmx::sim::main_model::kAnalogFixed;
    kmx::sim::UtSimulator fixed(options);
    QVERIFY2(fixed.start(), fixed.lastError().c_str());
    QTemporaryDir dir;
    auto window = makeWindow();
    QVERIFY(connectWindow(*window));
    prompter_->nextFile = dir.filePath(QStringLiteral("portable.vex"));
    window->action(MainWindow::Command::SaveSettingsAs)->trigger();
    QVERIFY(QTest::qWaitFor([&] { return !window->busy(); }, kWaitMs));
    QCOMPARE(prompter_->lastText(), texts_->text(61421));
    window->action(MainWindow::Command::Disconnect)->trigger();
    QVERIFY(QTest::qWaitFor([&] { return !window->busy() && !window->connected(); }, kWaitMs));
    QVERIFY(connectWindow(*window, QStringLiteral("UT2")));
    const QStringList before = QDir::temp().entryList({QStringLiteral("utvex-report-*")});
    prompter_->answers = {true};
    window->action(MainWindow::Command::RestoreSettings)->trigger();
    QVERIFY(QTest::qWaitFor([&] { return !window->busy(); }, kWaitMs));
    QCOMPARE(prompter_->lastText(), texts_->text(61455));
    QVERIFY(!prompter_->questions.contains(texts_->text(61432)));
    QVERIFY(window->connected());
    QCOMPARE(QDir::temp().entryList({QStringLiteral("utvex-report-*")}), before);
  }

  // A save once the UT has gone fails. The settings file saved before is
  // kept as it was (the failed save never wrote it), its name is
  // forgotten; Save As also ends the connection.
  void saveAfterTheLinkWasLost() {
    startSimulator();
    QTemporaryDir dir;
    const QString earlier = dir.filePath(QStringLiteral("earlier.vex"));
    auto window = makeWindow();
    QVERIFY(connectWindow(*window));
    prompter_->nextFile = earlier;
    window->action(MainWindow::Command::SaveSettingsAs)->trigger();
    QVERIFY(QTest::qWaitFor([&] { return !window->busy(); }, kWaitMs));
    QCOMPARE(prompter_->lastText(), texts_->text(61421));
    QFile saved(earlier);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    const QByteArray contents = saved.readAll();
    saved.close();
    QVERIFY(!contents.isEmpty());

    sim_->stop();
    QVERIFY(QTest::qWaitFor([&] {
      bool alive = true;
      window->session().runAndWait([&](Session& s) { alive = s.linkAlive(); });
      return !alive;
    }, kWaitMs));
    window->action(MainWindow::Command::SaveSettings)->trigger();
    QVERIFY(QTest::qWaitFor([&] { return !window->busy(); }, kWaitMs));
    QCOMPARE(prompter_->lastText(), texts_->text(61420));
    QVERIFY(window->settings().settingsFile.isEmpty());
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.readAll(), contents);
    saved.close();
    QVERIFY(window->connected());

    prompter_->nextFile = dir.filePath(QStringLiteral("late.vex"));
    window->action(MainWindow::Command::SaveSettingsAs)->trigger();
    QVERIFY(QTest::qWaitFor([&] { return !window->busy() && !window->connected(); }, kWaitMs));
    QCOMPARE(prompter_->lastText(), texts_->text(61420));
    QVERIFY(!QFileInfo::exists(prompter_->nextFile));
  }

  void failedSaveRemovesTheFile() {
    startSimulator();
    auto window = makeWindow();
    QVERIFY(connectWindow(*window));
    prompter_->nextFile = QStringLiteral("/nonexistent-folder/x.vex");
    window->action(MainWindow::Command::SaveSettingsAs)->trigger();
    QVERIFY(QTest::qWaitFor([&] { return !window->busy() && !prompter_->messages.empty(); }, kWaitMs));
    QCOMPARE(prompter_->lastText(), texts_->text(61420));
    QVERIFY(window->settings().settingsFile.isEmpty());
    QVERIFY(!window->connected());
  }

  // --- swap phone ---------------------------------------------------------------------------

  void swapPhoneMovesTheSettings() {
    startSimulator();
    kmx::sim::SimulatorOptions options;
    options.portName = "UT2";
    kmx::sim::UtSimulator newUt(options);
    QVERIFY2(newUt.start(), newUt.lastError().c_str());
    auto window = makeWindow();
    // Give the old UT a value the new one does not have.
    QVERIFY(connectWindow(*window));
    SettingsSheet* sheet = openSheet(*window);
    QVERIFY(sheet != nullptr);
    auto* slot = qobject_cast<QLineEdit*>(sheet->fieldWidget(PageId::General, text::kCdmaSlotCycle));
    const QString moved = QString::number((slot->text().toInt() + 5) % 8);
    slot->setText(moved);
    sheet->accept();
    QVERIFY(QTest::qWaitFor([&] { return !window->sheet(); }, kWaitMs));
    QVERIFY(writeChanges(*window));
    QVERIFY(connectWindow(*window));

    window->settings().saveCopyOnSwap = 1;
    QTemporaryDir dir;
    prompter_->nextFile = dir.filePath(QStringLiteral("copy.vex"));
    window->action(MainWindow::Command::SwapPhone)->trigger();
    QVERIFY(QTest::qWaitFor([&] { return window->swapWizard() != nullptr; }, kWaitMs));
    SwapWizard* wizard = window->swapWizard();
    QVERIFY(QTest::qWaitForWindowExposed(wizard));
    screenshot(wizard, QStringLiteral("swap-start"));
    wizard->next();
    QVERIFY(QTest::qWaitFor([&] { return wizard->currentId() == SwapWizard::TypePage; }, kWaitMs));
    screenshot(wizard, QStringLiteral("swap-copy"));
    wizard->next();
    QVERIFY(QTest::qWaitFor([&] { return wizard->currentId() == SwapWizard::TargetPage; }, kWaitMs));
    QVERIFY(QFileInfo(prompter_->nextFile).size() > 0);
    wizard->targetPort()->setCurrentText(QStringLiteral("UT2"));
    screenshot(wizard, QStringLiteral("swap-target"));
    prompter_->answers = {true};  // show the report
    wizard->button(QWizard::FinishButton)->click();
    QVERIFY(QTest::qWaitFor([&] { return window->swapWizard() == nullptr && !window->busy(); }, kWaitMs));
    QVERIFY2(prompter_->lastText() == texts_->text(61435), qPrintable(prompter_->lastText()));
    QCOMPARE(prompter_->reports.size(), 1);
    QVERIFY(window->connected());
    // The window names the port the session is on now, everywhere.
    QCOMPARE(window->findChild<QLabel*>(QStringLiteral("detail_%1").arg(text::kPort))->text(), QStringLiteral("UT2"));
    QVERIFY(statusText(*window) != nullptr);
    QCOMPARE(statusText(*window)->text(), texts_->format(61394, {QStringLiteral("UT2")}));
    QCOMPARE(window->windowTitle(), texts_->text(130) + QStringLiteral(" - UT2"));
    screenshot(window.get(), QStringLiteral("main-after-swap"));
    // The window is on the new UT, which now has the old UT's value.
    sheet = openSheet(*window);
    QVERIFY(sheet != nullptr);
    QCOMPARE(qobject_cast<QLineEdit*>(sheet->fieldWidget(PageId::General, text::kCdmaSlotCycle))->text(), moved);
    sheet->reject();
    QVERIFY(newUt.counters().hostConnected);
  }

  // Before the old UT's settings go into the new UT, the new UT's own are
  // saved; without that copy nothing is written, and the copy puts them back.
  void swapSavesTheNewUtsSettingsFirst() {
    startSimulator();
    kmx::sim::SimulatorOptions options;
    options.portName = "UT2";
    kmx::sim::UtSimulator newUt(options);
    QVERIFY2(newUt.start(), newUt.lastError().c_str());
    const std::string slotCycle = "NV_SCI.T_UCHAR";
    QVERIFY(sim_->setNvValue(slotCycle, 5) && newUt.setNvValue(slotCycle, 2));
    const auto newUtBefore = nvLeaves(newUt);
    auto window = makeWindow();
    QVERIFY(connectWindow(*window));
    window->action(MainWindow::Command::SwapPhone)->trigger();
    QVERIFY(QTest::qWaitFor([&] { return window->swapWizard() != nullptr; }, kWaitMs));
    QPointer<SwapWizard> wizard = window->swapWizard();
    wizard->next();
    QVERIFY(QTest::qWaitFor([&] { return wizard->currentId() == SwapWizard::TargetPage; }, kWaitMs));
    wizard->targetPort()->setCurrentText(QStringLiteral("UT2"));

    // No copy can be saved: the wizard says why and stays, the new UT as it was.
    const QString blocked = blockStateFolder();
    QVERIFY(!blocked.isEmpty());
    wizard->button(QWizard::FinishButton)->click();
    QVERIFY(QTest::qWaitFor([&] { return !wizard || !wizard->busy(); }, kWaitMs));
    QVERIFY(wizard);
    QVERIFY2(prompter_->lastText().startsWith(textBefore(text::kSafetyCopyFailed)) &&
                 prompter_->lastText().contains(blocked),
             qPrintable(prompter_->lastText()));
    QCOMPARE(wizard->currentId(), int(SwapWizard::TargetPage));
    QCOMPARE(newUt.framesReceived(kmx::proto::ut_command::kNvWrite), 0u);
    QVERIFY(nvLeaves(newUt) == newUtBefore);

    unblockStateFolder();
    prompter_->answers = {false};  // no report
    wizard->button(QWizard::FinishButton)->click();
    QVERIFY(QTest::qWaitFor([&] { return window->swapWizard() == nullptr && !window->busy(); }, kWaitMs));
    QCOMPARE(prompter_->lastText(), texts_->text(61435));
    QCOMPARE(newUt.nvValue(slotCycle), std::optional<int64_t>(5));
    const QStringList copies = safetyCopies();
    QCOMPARE(copies.size(), 1);
    // Named by the new UT's ESN (the characters a file name may hold).
    QString esn;
    window->session().runAndWait([&](Session& s) { esn = s.state().esn; });
    esn.remove(QRegularExpression(QStringLiteral("[^0-9A-Za-z]")));
    QVERIFY2(!esn.isEmpty() && QFileInfo(copies[0]).fileName().startsWith(esn + QLatin1Char('-')), qPrintable(copies[0]));
    QCOMPARE(QFileInfo(QFileInfo(copies[0]).path()).permissions() &
                 (QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther | QFile::WriteOther | QFile::ExeOther),
             QFile::Permissions());
    // The copy puts the new UT's own settings back.
    const std::string copy = QFile::encodeName(copies[0]).toStdString();
    const std::string report = sandbox_->runtimeDir() + "/restore.txt";
    HRESULT hr = E_FAIL;
    window->session().runAndWait([&](Session& s) {
      if (auto file = s.connectionAs<IVexFile>()) hr = file->ReadNVFromFile(copy.c_str(), report.c_str(), 1);
    });
    QCOMPARE(hex8(hr), hex8(S_OK));
    QVERIFY(nvLeaves(newUt) == newUtBefore);
  }

  void swapPhoneStopsWhenTheOldUtIsGone() {
    startSimulator();
    auto window = makeWindow();
    QVERIFY(connectWindow(*window));
    window->action(MainWindow::Command::SwapPhone)->trigger();
    QVERIFY(QTest::qWaitFor([&] { return window->swapWizard() != nullptr; }, kWaitMs));
    QVERIFY(window->swapWizard()->linkTimer()->isActive());
    QCOMPARE(window->swapWizard()->linkTimer()->interval(), 500);
    // The wizard's timer notices the old UT is gone, without a step.
    sim_->stop();
    QVERIFY(QTest::qWaitFor([&] { return window->swapWizard() == nullptr && !window->busy(); }, kWaitMs));
    QCOMPARE(int(std::count_if(prompter_->messages.begin(), prompter_->messages.end(),
                               [&](const RecordedMessage& m) { return m.text == texts_->text(61471); })),
             1);
  }

  // --- download ------------------------------------------------------------------------------

  void downloadShowsProgressAndFlashes() {
    startSimulator();
    QTemporaryDir dir;
    const std::string image = vx::download::testing::makeImage(
        dir.path().toStdString(), "sw.s3", vx::download::testing::randomBytes(40000), "UT 5.0.1");
    QVERIFY(!image.empty());
    auto window = makeWindow();
    window->setDownloadPauses(50, 50);
    QVERIFY(connectWindow(*window));
    prompter_->nextFile = QString::fromStdString(image);
    window->action(MainWindow::Command::DownloadSoftware)->trigger();
    QVERIFY(QTest::qWaitFor([&] { return window->downloadDialog() != nullptr; }, kWaitMs));
    DownloadDialog* dialog = window->downloadDialog();
    bool shot = false;
    connect(dialog, &DownloadDialog::progressShown, this, [&](int percent) {
      // A picture of the software image on its way.
      if (shot || percent < 30 || percent >= 100 || dialog->phaseLabel()->text() != texts_->text(61524)) return;
      shot = true;
      screenshot(dialog, QStringLiteral("download-progress"));
    });
    QVERIFY(QTest::qWaitFor([&] { return window->downloadDialog() == nullptr; }, kWaitMs));
    QVERIFY(shot);
    QCOMPARE(prompter_->lastText(), texts_->text(text::kDownloadDone));
    const kmx::sim::FlashState flash = sim_->flashState();
    QVERIFY(flash.software.has_value());
    QCOMPARE(QString::fromStdString(flash.software->header), QStringLiteral("UT 5.0.1"));
    QVERIFY(!window->connected());
    QVERIFY(window->action(MainWindow::Command::Connect)->isEnabled());
  }

  void downloadCancels() {
    startSimulator();
    sim_->setPacing(true);
    QTemporaryDir dir;
    const std::string image = vx::download::testing::makeImage(
        dir.path().toStdString(), "sw.s3", vx::download::testing::randomBytes(300000), "UT 6.0.0");
    QVERIFY(!image.empty());
    auto window = makeWindow();
    window->setDownloadPauses(50, 50);
    QVERIFY(connectWindow(*window));
    prompter_->nextFile = QString::fromStdString(image);
    window->action(MainWindow::Command::DownloadSoftware)->trigger();
    QVERIFY(QTest::qWaitFor([&] { return window->downloadDialog() != nullptr; }, kWaitMs));
    DownloadDialog* dialog = window->downloadDialog();
    // The UT's settings are saved first (a picture of that step); then the image goes.
    QVERIFY(QTest::qWaitFor([&] { return dialog->bar()->value() > 0 || !dialog->safetyCopyPath().empty(); }, kWaitMs));
    if (dialog->safetyCopyPath().empty()) {
      QCOMPARE(dialog->phaseLabel()->text(), texts_->text(text::kSavingSafetyCopy));
      screenshot(dialog, QStringLiteral("download-safety-copy"));
    }
    QVERIFY(QTest::qWaitFor([&] {
      return !window->downloadDialog() || (!dialog->safetyCopyPath().empty() && dialog->bar()->value() > 0);
    }, kWaitMs));
    QVERIFY(window->downloadDialog() != nullptr);
    // No: the transfer goes on.
    prompter_->answers = {false};
    QTest::keyClick(dialog, Qt::Key_Escape);
    QVERIFY(dialog->running());
    prompter_->answers = {true};
    QTest::keyClick(dialog, Qt::Key_Escape);
    QCOMPARE(dialog->phaseLabel()->text(), texts_->text(61534));
    QVERIFY(QTest::qWaitFor([&] { return window->downloadDialog() == nullptr; }, kWaitMs));
    // The message names the safety copy and the command that puts it back.
    const QStringList copies = safetyCopies();
    QCOMPARE(copies.size(), 1);
    QVERIFY(prompter_->lastText().startsWith(texts_->text(text::kDownloadCancelled)));
    QVERIFY2(prompter_->lastText().contains(QStringLiteral("vexctl restore ") + copies[0]),
             qPrintable(prompter_->lastText()));
    QCOMPARE(QFileInfo(copies[0]).permissions() & ~(QFile::ReadUser | QFile::WriteUser | QFile::ReadOwner | QFile::WriteOwner),
             QFile::Permissions());
    QVERIFY(!sim_->flashState().software.has_value());
  }

  // A download whose safety copy cannot be saved sends nothing and leaves
  // the UT connected; with safety copies turned off in the options, it goes
  // without one.
  void downloadWithoutASafetyCopyIsRefusedUnlessTurnedOff() {
    for (const char* file : kLanguageFiles) {
      useLanguage(file);
      OptionsDialog options(*texts_, ToolSettings{}, nullptr);
      options.show();
      QVERIFY(options.findChild<QCheckBox*>(QStringLiteral("safetyCopies"))->isChecked());
      screenshot(&options, QStringLiteral("options-") + QString::fromStdString(library_->language()));
    }
    useLanguage("libVEXResENU.so");
    startSimulator();
    QTemporaryDir dir;
    const std::string image = vx::download::testing::makeImage(
        dir.path().toStdString(), "sw.s3", vx::download::testing::randomBytes(4000), "UT 5.0.1");
    auto window = makeWindow();
    window->setDownloadPauses(50, 50);
    QVERIFY(connectWindow(*window));
    const QString blocked = blockStateFolder();
    QVERIFY(!blocked.isEmpty());
    prompter_->nextFile = QString::fromStdString(image);
    window->action(MainWindow::Command::DownloadSoftware)->trigger();
    QVERIFY(QTest::qWaitFor([&] { return window->downloadDialog() != nullptr; }, kWaitMs));
    QVERIFY(QTest::qWaitFor([&] { return window->downloadDialog() == nullptr && !window->busy(); }, kWaitMs));
    QVERIFY(prompter_->messages.back().warning);
    QVERIFY2(prompter_->lastText().startsWith(textBefore(text::kSafetyCopyFailed)) &&
                 prompter_->lastText().contains(blocked),
             qPrintable(prompter_->lastText()));
    QCOMPARE(sim_->flashState().imagesFlashed, 0u);
    QVERIFY(sim_->receivedTransfers().empty());
    QVERIFY(window->connected());

    // Turned off in the options, the download goes without a copy.
    {
      OptionsDialog options(*texts_, window->settings(), window.get());
      options.findChild<QCheckBox*>(QStringLiteral("safetyCopies"))->setChecked(false);
      options.applyTo(window->settings());
    }
    window->action(MainWindow::Command::DownloadSoftware)->trigger();
    QVERIFY(QTest::qWaitFor([&] { return window->downloadDialog() != nullptr; }, kWaitMs));
    QVERIFY(QTest::qWaitFor([&] { return window->downloadDialog() == nullptr; }, kWaitMs));
    QCOMPARE(prompter_->lastText(), texts_->text(text::kDownloadDone));
    QVERIFY(sim_->flashState().software.has_value());
    unblockStateFolder();
    QVERIFY(safetyCopies().isEmpty());
  }

  void ramProgramIsSentWithoutTheLoader() {
    startSimulator();
    sim_->setTransfersPerDownload(1);
    QTemporaryDir dir;
    const std::vector<uint8_t> program = vx::download::testing::randomBytes(30000);
    const QString file = dir.filePath(QStringLiteral("ram.bin"));
    vx::download::testing::writeFile(file.toStdString(), program);
    auto window = makeWindow();
    window->setDownloadPauses(50, 50);
    QVERIFY(connectWindow(*window));
    prompter_->nextFile = file;
    window->action(MainWindow::Command::SendRamProgram)->trigger();
    QVERIFY(QTest::qWaitFor([&] { return window->downloadDialog() != nullptr; }, kWaitMs));
    DownloadDialog* dialog = window->downloadDialog();
    QCOMPARE(dialog->windowTitle(), texts_->text(text::kRamProgramTitle));
    bool shot = false;
    connect(dialog, &DownloadDialog::progressShown, this, [&](int percent) {
      if (shot || percent < 20 || percent >= 100) return;
      shot = true;
      QCOMPARE(dialog->phaseLabel()->text(), texts_->text(61525));
      screenshot(dialog, QStringLiteral("ram-program-progress"));
    });
    QVERIFY(QTest::qWaitFor([&] { return window->downloadDialog() == nullptr; }, kWaitMs));
    QCOMPARE(prompter_->lastText(), texts_->text(text::kRamProgramDone));
    const auto transfers = sim_->receivedTransfers();
    QCOMPARE(transfers.size(), std::size_t{1});
    QVERIFY(transfers[0].size() >= program.size());
    QVERIFY(std::equal(program.begin(), program.end(), transfers[0].begin()));
    QVERIFY(!sim_->flashState().software.has_value());
  }

  // A file that is no boot block is refused outright; a boot block is
  // confirmed first, and flashed.
  void bootBlockIsCheckedAndConfirmed() {
    startSimulator();
    QTemporaryDir dir;
    const std::string software = vx::download::testing::makeImage(
        dir.path().toStdString(), "sw.s3", vx::download::testing::randomBytes(4000), "UT 5.0.1");
    const std::string boot = vx::download::testing::makeImage(
        dir.path().toStdString(), "boot.s3", vx::download::testing::randomBytes(4000), "utbootbloc 7.7");
    QVERIFY(!software.empty() && !boot.empty());
    auto window = makeWindow();
    window->setDownloadPauses(50, 50);
    QVERIFY(connectWindow(*window));
    prompter_->nextFile = QString::fromStdString(software);
    prompter_->answers = {true, true};
    window->action(MainWindow::Command::DownloadBootBlock)->trigger();
    QVERIFY(QTest::qWaitFor([&] { return !window->busy(); }, kWaitMs));
    QCOMPARE(prompter_->lastText(), texts_->text(61585));
    QVERIFY(prompter_->questions.isEmpty());
    QVERIFY(window->downloadDialog() == nullptr && window->connected());

    prompter_->nextFile = QString::fromStdString(boot);
    prompter_->answers = {false};
    window->action(MainWindow::Command::DownloadBootBlock)->trigger();
    QVERIFY(QTest::qWaitFor([&] { return !window->busy(); }, kWaitMs));
    QCOMPARE(prompter_->questions.value(0), texts_->text(text::kBootBlockWarning));
    QVERIFY(window->downloadDialog() == nullptr && window->connected());

    prompter_->answers = {true};
    window->action(MainWindow::Command::DownloadBootBlock)->trigger();
    QVERIFY(QTest::qWaitFor([&] { return window->downloadDialog() != nullptr; }, kWaitMs));
    QCOMPARE(window->downloadDialog()->windowTitle(), texts_->text(text::kBootBlockTitle));
    QVERIFY(QTest::qWaitFor([&] { return window->downloadDialog() == nullptr; }, kWaitMs));
    QCOMPARE(prompter_->lastText(), texts_->text(text::kBootBlockDone));
    const kmx::sim::FlashState flash = sim_->flashState();
    QVERIFY(flash.bootBlock.has_value());
    QCOMPARE(QString::fromStdString(flash.bootBlock->header), QStringLiteral("utbootbloc 7.7"));
    QVERIFY(!flash.software.has_value());
  }

  void downloadAsksAboutAFileThatIsNoSoftware() {
    startSimulator();
    QTemporaryDir dir;
    const QString junk = dir.filePath(QStringLiteral("junk.hex"));
    QFile file(junk);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("hello\n");
    file.close();
    auto window = makeWindow();
    QVERIFY(connectWindow(*window));
    prompter_->nextFile = junk;
    prompter_->answers = {false};
    window->action(MainWindow::Command::DownloadSoftware)->trigger();
    QVERIFY(QTest::qWaitFor([&] { return !window->busy(); }, kWaitMs));
    QCOMPARE(prompter_->questions.last(), texts_->text(61479));
    QVERIFY(window->downloadDialog() == nullptr);
    QVERIFY(window->connected());
  }

  // --- call timers and the record log ------------------------------------------------------------

  void callTimersShowTheCounters() {
    startSimulator();
    auto window = makeWindow();
    QVERIFY(connectWindow(*window));
    window->action(MainWindow::Command::CallTimers)->trigger();
    QVERIFY(QTest::qWaitFor([&] { return !window->busy(); }, kWaitMs));
    auto* dialog = window->findChild<QDialog*>(QStringLiteral("callTimers"));
    QVERIFY(dialog != nullptr);
    auto* all = dialog->findChild<QLineEdit*>(QStringLiteral("count_%1").arg(text::kAllCalls));
    QVERIFY(all != nullptr);
    bool number = false;
    all->text().toUInt(&number);
    QVERIFY(number);
    QVERIFY(dialog->findChild<QLineEdit*>(QStringLiteral("time_%1").arg(text::kAllCalls))->text().contains(':'));
    QVERIFY(QTest::qWaitForWindowExposed(dialog));
    screenshot(dialog, QStringLiteral("call-timers"));
    dialog->close();
  }

  // A value that cannot be read shows 0, takes the focus and gives the
  // message of the first such value: its code, or for a member the tool
  // does not know, what that means.
  void callTimerValueThatCannotBeRead() {
    auto timers = [](HRESULT homeCount, HRESULT roamTime) {
      CallTimers t;
      t.rows.push_back({text::kAllCalls, QStringLiteral("12"), QStringLiteral("1:02:03"), S_OK, S_OK});
      t.rows.push_back({text::kHomeCalls, QStringLiteral("0"), QStringLiteral("0:10:00"), homeCount, S_OK});
      t.rows.push_back({text::kRoamCalls, QStringLiteral("3"), QStringLiteral("0:00:00"), S_OK, roamTime});
      return t;
    };
    {
      CallTimersDialog dialog(*texts_, timers(UTC_E_UNEXPECTED_MEMBER, E_FAIL), nullptr);
      QCOMPARE(dialog.problem(), texts_->format(61301, {texts_->text(text::kUnexpectedMember)}));
      QVERIFY(dialog.problem().contains(QStringLiteral("0x80040325")));
      QCOMPARE(dialog.focusWidget()->objectName(), QStringLiteral("count_%1").arg(text::kHomeCalls));
    }
    {
      CallTimersDialog dialog(*texts_, timers(S_OK, E_FAIL), nullptr);
      QCOMPARE(dialog.problem(), texts_->format(61253, {hex8(E_FAIL)}));
      QCOMPARE(dialog.focusWidget()->objectName(), QStringLiteral("time_%1").arg(text::kRoamCalls));
    }
    CallTimersDialog fine(*texts_, timers(S_OK, S_OK), nullptr);
    QVERIFY(fine.problem().isEmpty());
  }

  void callTimersRefusedForFixedAnalogUnits() {
    startSimulator(kmx::sim::main_model::kAnalogFixed);
    auto window = makeWindow();
    QVERIFY(connectWindow(*window));
    window->action(MainWindow::Command::CallTimers)->trigger();
    QVERIFY(QTest::qWaitFor([&] { return !window->busy(); }, kWaitMs));
    QCOMPARE(prompter_->lastText(), texts_->text(61414));
    QVERIFY(window->findChild<QDialog*>(QStringLiteral("callTimers")) == nullptr);
  }

  void recordLogGetsOneLinePerRecord() {
    startSimulator();
    QTemporaryDir dir;
    auto window = makeWindow();
    window->settings().recordLogFile = dir.filePath(QStringLiteral("records.txt"));
    window->settings().appendRecordAfterWrite = 1;
    QVERIFY(connectWindow(*window));
    window->action(MainWindow::Command::AppendRecord)->trigger();
    QVERIFY(QTest::qWaitFor([&] { return !window->busy(); }, kWaitMs));
    QCOMPARE(prompter_->lastText(), texts_->format(text::kRecordWritten, {window->settings().recordLogFile}));
    // Writing changes appends another record.
    QVERIFY(writeChanges(*window));
    QFile file(window->settings().recordLogFile);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QVERIFY2(lines.size() == 3, qPrintable(lines.join(QLatin1Char('|'))));
    QCOMPARE(lines[0], texts_->text(61427));
    const QStringList fields = lines[1].split(QLatin1Char('\t'));
    QCOMPARE(fields.size(), lines[0].split(QLatin1Char('\t')).size());
    QVERIFY(!fields[2].isEmpty());  // the ESN
    QCOMPARE(lines[2].split(QLatin1Char('\t'))[2], fields[2]);
  }

  // --- the NV browser ---------------------------------------------------------------------------

  void nvBrowserEditsByPath() {
    startSimulator();
    auto window = makeWindow();
    QVERIFY(connectWindow(*window));
    window->action(MainWindow::Command::NvBrowser)->trigger();
    NvBrowser* browser = window->nvBrowser();
    QVERIFY(browser != nullptr);
    QVERIFY(QTest::qWaitFor([&] { return !browser->busy() && browser->items()->count() > 0; }, kWaitMs));
    QList<QListWidgetItem*> found =
        browser->items()->findItems(QStringLiteral("NV_UI_WARRANTY_DATE_CODE"), Qt::MatchExactly);
    QCOMPARE(found.size(), 1);
    browser->items()->setCurrentItem(found.first());
    QVERIFY(QTest::qWaitFor([&] { return !browser->busy() && browser->leaves()->topLevelItemCount() > 0; }, kWaitMs));
    // A numeric leaf: its path and value fill the edit fields.
    QTreeWidgetItem* leaf = nullptr;
    for (int i = 0; i < browser->leaves()->topLevelItemCount() && leaf == nullptr; ++i) {
      bool number = false;
      browser->leaves()->topLevelItem(i)->text(2).toLongLong(&number);
      if (number) leaf = browser->leaves()->topLevelItem(i);
    }
    QVERIFY(leaf != nullptr);
    QVERIFY(leaf->text(3).isEmpty());
    const QString path = leaf->text(0);
    browser->leaves()->setCurrentItem(leaf);
    QCOMPARE(browser->pathEdit()->text(), path);
    const QString value = leaf->text(2) == QLatin1String("1") ? QStringLiteral("2") : QStringLiteral("1");
    browser->valueEdit()->setText(value);
    QTest::keyClick(browser->valueEdit(), Qt::Key_Return);
    QVERIFY(QTest::qWaitFor([&] { return !browser->busy(); }, kWaitMs));
    QTreeWidgetItem* changed = browser->leaves()->findItems(path, Qt::MatchExactly).value(0);
    QVERIFY(changed != nullptr);
    QCOMPARE(changed->text(2), value);
    QCOMPARE(changed->text(3), QStringLiteral("*"));
    QVERIFY(QTest::qWaitForWindowExposed(browser));
    screenshot(browser, QStringLiteral("nv-browser"));
    // Not in the UT before Write Changes; there after.
    QVERIFY(sim_->nvValue(path.toStdString()) != std::optional<int64_t>(value.toLongLong()));
    QVERIFY(writeChanges(*window));
    QVERIFY(window->nvBrowser() == nullptr);
    QCOMPARE(sim_->nvValue(path.toStdString()), std::optional<int64_t>(value.toLongLong()));
  }

  void nvBrowserRefusesAnUnknownPath() {
    startSimulator();
    auto window = makeWindow();
    QVERIFY(connectWindow(*window));
    window->action(MainWindow::Command::NvBrowser)->trigger();
    NvBrowser* browser = window->nvBrowser();
    QVERIFY(QTest::qWaitFor([&] { return !browser->busy(); }, kWaitMs));
    browser->pathEdit()->setText(QStringLiteral("NV_NO_SUCH_ITEM.x"));
    browser->valueEdit()->setText(QStringLiteral("3"));
    browser->writeValue();
    QVERIFY(QTest::qWaitFor([&] { return !browser->busy(); }, kWaitMs));
    QVERIFY(!prompter_->messages.empty());
    QVERIFY(prompter_->messages.back().warning);
  }

  // --- small pieces -----------------------------------------------------------------------------

  void textsAndNames() {
    QCOMPARE(substitute(QStringLiteral("error 0x%08X in %s, %d%% done"), {"8004032C", "UT1", "50"}),
             QStringLiteral("error 0x8004032C in UT1, 50% done"));
    QCOMPARE(substitute(QStringLiteral("%s and %s"), {"one"}), QStringLiteral("one and "));
    QCOMPARE(hex8(static_cast<int32_t>(0x80040328u)), QStringLiteral("80040328"));
    QCOMPARE(texts_->text(99999), QStringLiteral("#99999"));
    QCOMPARE(texts_->plain(61376), QStringLiteral("Configure UT"));
    QCOMPARE(portMutexName("/dev/ttyUSB0"), std::string("VEX_ttyUSB0"));
    QCOMPARE(portMutexName("/dev/serial/by-id/usb-X"), std::string("VEX_serial_by-id_usb-X"));
    QCOMPARE(portMutexName("UT1"), std::string("VEX_UT1"));
  }

  void unknownModelOpensNoSheet() {
    startSimulator(0x10);
    auto window = makeWindow();
    QVERIFY(connectWindow(*window));
    window->action(MainWindow::Command::ConfigureUt)->trigger();
    QVERIFY(QTest::qWaitFor([&] { return !window->busy(); }, kWaitMs));
    QVERIFY(window->sheet() == nullptr);
    QCOMPARE(prompter_->lastText(), texts_->text(61275));
  }

  void disconnectAsksAboutWaitingChanges() {
    startSimulator();
    auto window = makeWindow();
    QVERIFY(connectWindow(*window));
    SettingsSheet* sheet = openSheet(*window);
    QVERIFY(sheet != nullptr);
    auto* slot = qobject_cast<QLineEdit*>(sheet->fieldWidget(PageId::General, text::kCdmaSlotCycle));
    slot->setText(QString::number((slot->text().toInt() + 1) % 8));
    sheet->accept();
    QVERIFY(QTest::qWaitFor([&] { return !window->sheet(); }, kWaitMs));
    prompter_->answers = {false};
    window->action(MainWindow::Command::Disconnect)->trigger();
    QVERIFY(QTest::qWaitFor([&] { return !window->busy(); }, kWaitMs));
    QCOMPARE(prompter_->questions.last(), texts_->text(61486));
    QVERIFY(window->connected());
    prompter_->answers = {true};
    window->action(MainWindow::Command::Disconnect)->trigger();
    QVERIFY(QTest::qWaitFor([&] { return !window->busy() && !window->connected(); }, kWaitMs));
    QCOMPARE(prompter_->questions.size(), 2);
  }

  void pulledCableShowsTheDisconnectedState() {
    startSimulator();
    auto window = makeWindow();
    QVERIFY(connectWindow(*window));
    QVERIFY(openSheet(*window) != nullptr);
    sim_->setCts(false);
    QVERIFY(QTest::qWaitFor([&] { return !window->sheet(); }, kWaitMs));
    QCOMPARE(prompter_->lastText(), texts_->text(61452));
    // The window follows: no UT details, no UT commands, the port free.
    QVERIFY(QTest::qWaitFor([&] { return !window->connected() && !window->busy(); }, kWaitMs));
    QVERIFY(!window->action(MainWindow::Command::ConfigureUt)->isEnabled());
    QVERIFY(!window->action(MainWindow::Command::WriteChanges)->isEnabled());
    QVERIFY(window->action(MainWindow::Command::Connect)->isEnabled());
    QCOMPARE(window->utLabel()->text(), texts_->text(61395));
    QVERIFY(window->findChild<QLabel*>(QStringLiteral("detail_61238"))->text().isEmpty());
    QVERIFY(statusText(*window) != nullptr);
    QCOMPARE(statusText(*window)->text(), texts_->text(61576));
    QCOMPARE(window->windowTitle(), texts_->text(130));
    screenshot(window.get(), QStringLiteral("main-cable-pulled"));
    sim_->setCts(true);
    QVERIFY(connectWindow(*window));
  }

  // A UT without Unicode names keeps each name character as one code of its
  // own character set; the lists read and write names through it.
  void listNamesTravelInTheUtCharacterSet() {
    startSimulator();
    auto window = makeWindow();
    QVERIFY(connectWindow(*window));
    window->session().runAndWait([&](Session& s) {
      QCOMPARE(writePhoneBookEntry(s, 7, QStringLiteral("Ni\u00F1o"), QStringLiteral("555"), false), S_OK);
      auto ui = s.configAs<IUISettings_1_3>();
      QVERIFY(ui);
      int32_t unicode = 1;
      QVERIFY(SUCCEEDED(ui->IsPhoneUnicode(&unicode)));
      QCOMPARE(unicode, 0);
      phonebook_entry_unicode_type entry{};
      QVERIFY(SUCCEEDED(ui->PhoneBookEntryUnicode(GET_PARAM, 7, &entry)));
      QCOMPARE(static_cast<uint16_t>(entry.unicode_alpha[2]), uint16_t{0xBC});  // the UT's code of the tilde n
      const std::vector<ListRow> rows = readPhoneBook(s);
      QVERIFY(std::any_of(rows.begin(), rows.end(), [](const ListRow& r) {
        return r.index == 7 && r.columns.value(1) == QStringLiteral("Ni\u00F1o");
      }));
      // No euro sign in the UT's character set.
      QCOMPARE(writePhoneBookEntry(s, 8, QStringLiteral("5 \u20AC"), QStringLiteral("1"), false), E_INVALIDARG);
    });
  }

  void typedNumbersAreDecimal() {
    QCOMPARE(typedNumber(QStringLiteral("0600")), std::optional<qlonglong>(600));
    QCOMPARE(typedNumber(QStringLiteral("0900")), std::optional<qlonglong>(900));
    QCOMPARE(typedNumber(QStringLiteral("-012")), std::optional<qlonglong>(-12));
    QCOMPARE(typedNumber(QStringLiteral("0x1F")), std::optional<qlonglong>(31));
    QCOMPARE(typedNumber(QStringLiteral("0X10")), std::optional<qlonglong>(16));
    QCOMPARE(typedNumber(QStringLiteral("0b11")), std::nullopt);
    QCOMPARE(typedNumber(QStringLiteral("12ab")), std::nullopt);
    QCOMPARE(typedNumber(QStringLiteral("MODE_A")), std::nullopt);
  }

  void cancelUndoesListEditsAndEmptyPositionsCanBeFilled() {
    startSimulator();
    auto window = makeWindow();
    QVERIFY(connectWindow(*window));
    std::vector<ListRow> bookBefore, providersBefore;
    window->session().runAndWait([&](Session& s) {
      bookBefore = readPhoneBook(s);
      providersBefore = readServiceProviders(s);
    });
    auto rowsEqual = [](const std::vector<ListRow>& a, const std::vector<ListRow>& b) {
      return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                        [](const ListRow& x, const ListRow& y) { return x.index == y.index && x.columns == y.columns; });
    };
    SettingsSheet* sheet = openSheet(*window);
    QVERIFY(sheet != nullptr);
    QTreeWidget* book = sheet->listOf(PageId::PhoneBook);
    QTreeWidget* providers = sheet->listOf(PageId::ServiceProviders);
    QVERIFY(book != nullptr && providers != nullptr);
    // Every position is listed; an empty one is filled as any other is edited.
    QCOMPARE(book->topLevelItemCount(), 99);
    QTreeWidgetItem* empty = nullptr;
    for (int i = 0; i < book->topLevelItemCount() && empty == nullptr; ++i) {
      if (book->topLevelItem(i)->text(2).isEmpty()) empty = book->topLevelItem(i);
    }
    QVERIFY(empty != nullptr);
    const int freeIndex = empty->data(0, Qt::UserRole).toInt();
    book->setCurrentItem(empty);
    editCurrentEntry(sheet, PageId::PhoneBook, QStringLiteral("Added"), QStringLiteral("5551234"));
    QCOMPARE(empty->text(1), QStringLiteral("Added"));
    providers->setCurrentItem(providers->topLevelItem(0));
    editCurrentEntry(sheet, PageId::ServiceProviders, QStringLiteral("Oceania"));
    QCOMPARE(providers->topLevelItem(0)->text(3), QStringLiteral("Oceania"));
    // Cancel: nothing of it waits for Write Changes.
    sheet->reject();
    QVERIFY(QTest::qWaitFor([&] { return !window->sheet(); }, kWaitMs));
    QCOMPARE(stagedItems(*window), 0u);
    window->session().runAndWait([&](Session& s) {
      QVERIFY(rowsEqual(readPhoneBook(s), bookBefore));
      QVERIFY(rowsEqual(readServiceProviders(s), providersBefore));
    });
    // OK stages the filled position.
    sheet = openSheet(*window);
    QVERIFY(sheet != nullptr);
    book = sheet->listOf(PageId::PhoneBook);
    for (int i = 0; i < book->topLevelItemCount(); ++i) {
      if (book->topLevelItem(i)->data(0, Qt::UserRole).toInt() == freeIndex) book->setCurrentItem(book->topLevelItem(i));
    }
    editCurrentEntry(sheet, PageId::PhoneBook, QStringLiteral("Added"), QStringLiteral("5551234"));
    sheet->accept();
    QVERIFY(QTest::qWaitFor([&] { return !window->sheet(); }, kWaitMs));
    QVERIFY(stagedItems(*window) > 0);
    window->session().runAndWait([&](Session& s) {
      const std::vector<ListRow> rows = readPhoneBook(s);
      QVERIFY(std::any_of(rows.begin(), rows.end(), [&](const ListRow& r) {
        return r.index == freeIndex && r.columns.value(1) == QLatin1String("Added") &&
               r.columns.value(2) == QLatin1String("5551234");
      }));
    });
  }

  void portIsKeptOnlyForAConnectionAndTextsLoseTheirPadding() {
    startSimulator();
    auto window = makeWindow();
    const QString before = window->settings().portName;
    QVERIFY(!connectWindow(*window, QStringLiteral("UT7")));
    QCOMPARE(window->settings().portName, before);
    // The client library's reason, naming the port, not a wait for an answer.
    QVERIFY2(prompter_->lastText().contains(QStringLiteral("UT7")), qPrintable(prompter_->lastText()));
    QVERIFY(connectWindow(*window));
    QCOMPARE(window->settings().portName, QStringLiteral("UT1"));
    SettingsSheet* sheet = openSheet(*window);
    QVERIFY(sheet != nullptr);
    auto* banner = qobject_cast<QLineEdit*>(sheet->fieldWidget(PageId::Features, text::kBanner));
    QVERIFY(banner != nullptr);
    banner->setText(QStringLiteral("Hi"));
    sheet->accept();
    QVERIFY(QTest::qWaitFor([&] { return !window->sheet(); }, kWaitMs));
    sheet = openSheet(*window);
    QVERIFY(sheet != nullptr);
    banner = qobject_cast<QLineEdit*>(sheet->fieldWidget(PageId::Features, text::kBanner));
    QCOMPARE(banner->text(), QStringLiteral("Hi"));
    sheet->reject();
  }

  void waitingChangesCheckThatFailsIsShown() {
    startSimulator();
    auto window = makeWindow();
    QVERIFY(connectWindow(*window));
    // The connection ends under the window, before its link check sees it.
    HRESULT hr = S_OK;
    window->session().runAndWait([&](Session& s) {
      s.connection()->CloseConnection();
      UINT dirty = 0;
      hr = s.connectionAs<IVexParams1>()->IsBrowserDirty(&dirty);
    });
    QVERIFY(FAILED(hr));
    const QString failure = texts_->format(61253, {hex8(hr)});
    for (auto [command, question] : {std::pair{MainWindow::Command::RestoreSettings, 61487u},
                                     std::pair{MainWindow::Command::Disconnect, 61486u}}) {
      prompter_->messages.clear();
      prompter_->questions.clear();
      prompter_->answers = {false};
      window->action(command)->trigger();
      QVERIFY(QTest::qWaitFor([&] { return !window->busy(); }, kWaitMs));
      QVERIFY(!prompter_->messages.empty());
      QCOMPARE(prompter_->messages.front().text, failure);
      // Unknown is not "nothing waits": the engineer is asked.
      QCOMPARE(prompter_->questions.value(0), texts_->text(question));
    }
  }

  void swapCancelStopsTheConnectToTheNewUt() {
    startSimulator();
    kmx::sim::SimulatorOptions options;
    options.portName = "UT2";
    kmx::sim::UtSimulator newUt(options);
    QVERIFY2(newUt.start(), newUt.lastError().c_str());
    newUt.setSilent(true);
    auto window = makeWindow();
    QVERIFY(connectWindow(*window));
    window->action(MainWindow::Command::SwapPhone)->trigger();
    QVERIFY(QTest::qWaitFor([&] { return window->swapWizard() != nullptr; }, kWaitMs));
    SwapWizard* wizard = window->swapWizard();
    wizard->next();
    QVERIFY(QTest::qWaitFor([&] { return wizard->currentId() == SwapWizard::TargetPage; }, kWaitMs));
    wizard->targetPort()->setCurrentText(QStringLiteral("UT2"));
    wizard->button(QWizard::FinishButton)->click();
    QVERIFY(wizard->busy());
    QVERIFY(wizard->button(QWizard::CancelButton)->isEnabled());
    QElapsedTimer waited;
    waited.start();
    wizard->button(QWizard::CancelButton)->click();
    QVERIFY(QTest::qWaitFor([&] { return window->swapWizard() == nullptr && !window->busy(); }, kWaitMs));
    QVERIFY(waited.elapsed() < 10000);
    QVERIFY(!window->connected());
  }

  void homeServiceProviderIsOneValueOnBothPages() {
    startSimulator();
    auto window = makeWindow();
    QVERIFY(connectWindow(*window));
    SettingsSheet* sheet = openSheet(*window);
    QVERIFY(sheet != nullptr);
    auto* nam = qobject_cast<QLineEdit*>(sheet->fieldWidget(PageId::OrbitnetNam, text::kHomeSp));
    auto* providers = qobject_cast<QLineEdit*>(sheet->fieldWidget(PageId::ServiceProviders, text::kHomeSp));
    QVERIFY(nam != nullptr && providers != nullptr);
    providers->setText(QStringLiteral("310,410"));
    QCOMPARE(nam->text(), QStringLiteral("310,410"));
    nam->setText(QStringLiteral("311,411"));
    QCOMPARE(providers->text(), QStringLiteral("311,411"));
    sheet->accept();
    QVERIFY(QTest::qWaitFor([&] { return !window->sheet(); }, kWaitMs));
    sheet = openSheet(*window);
    QVERIFY(sheet != nullptr);
    QCOMPARE(qobject_cast<QLineEdit*>(sheet->fieldWidget(PageId::ServiceProviders, text::kHomeSp))->text(),
             QStringLiteral("311,411"));
    sheet->reject();
  }
};

QTEST_MAIN(UtvexTest)
#include "utvex_test.moc"
