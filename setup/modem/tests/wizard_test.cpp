// The wizard's pages driven as a user drives them, on the offscreen
// platform: order, buttons, the license page's Yes and No, the modem page's
// port check, the octet fields, and what Finish writes.
#include <sys/stat.h>

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>
#include <vector>

#include "dun_connection.h"
#include "file_override.h"
#include "wizard_sheet.h"

using namespace obnet;

namespace {

struct Message {
  QMessageBox::Icon icon;
  QString text;
};

}  // namespace

class WizardTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir work_;
  PlatformRecord record_;
  std::vector<Message> messages_;

  QString dev() const { return work_.filePath("dev"); }
  QString root() const { return work_.filePath("root"); }
  QString peerFile() const { return root() + "/etc/ppp/peers/ob-packet-data"; }
  QString dnsHook() const { return root() + "/etc/ppp/ip-up.d/0000ob-packet-data-dns"; }

  std::unique_ptr<WizardSheet> makeSheet(Language language = Language::English) {
    SheetSettings settings;
    settings.language = language;
    settings.record = &record_;
    settings.target.root = root().toStdString();
    settings.target.stagingParent = work_.path().toStdString();
    settings.devRoot = dev().toStdString();
    settings.probe = [](const std::string&) { return true; };
    settings.reporter = [this](QMessageBox::Icon icon, const QString& text) {
      messages_.push_back({icon, text});
    };
    auto sheet = std::make_unique<WizardSheet>(settings);
    sheet->show();
    if (!QTest::qWaitForWindowExposed(sheet.get())) return nullptr;
    return sheet;
  }
  static void click(WizardSheet& sheet, QWizard::WizardButton which) {
    QTest::mouseClick(sheet.button(which), Qt::LeftButton);
  }
  static void clickCheck(WizardSheet& sheet) {
    QTest::mouseClick(sheet.currentPage()->findChild<QPushButton*>("beginInstall"), Qt::LeftButton);
  }
  // Welcome, license (Yes), cabling, a checked port: the sheet on its last page.
  static void toLastPage(WizardSheet& sheet) {
    for (int i = 0; i < 3; ++i) click(sheet, QWizard::NextButton);
    clickCheck(sheet);
    click(sheet, QWizard::NextButton);
  }
  static bool usable(const QAbstractButton* b) { return b->isVisible() && b->isEnabled(); }
  static QString slurp(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
  }

 private slots:
  void init() {
    QVERIFY(work_.isValid());
    QDir(dev()).removeRecursively();
    QDir(root()).removeRecursively();
    QVERIFY(QDir().mkpath(dev()));
    QFile port(dev() + "/ttyUSB0");
    QVERIFY(port.open(QIODevice::WriteOnly));
    record_ = {PlatformClass::Linux, true};
    messages_.clear();
  }

  void pagesInOrderWithTheirButtons() {
    auto sheet = makeSheet();
    QVERIFY(sheet);
    QCOMPARE(sheet->pageIds(), (QList<int>{0, 1, 2, 3, 4}));
    const char* classes[] = {"CWelcomeScreen", "CLicAgreement", "CPhoneConnection",
                             "CModemInstall", "CDunConnection"};
    for (int id = 0; id < 5; ++id)
      QVERIFY2(QByteArray(typeid(*sheet->page(id)).name()).contains(classes[id]), classes[id]);

    QCOMPARE(sheet->currentId(), int(WizardSheet::Welcome));
    QCOMPARE(sheet->windowTitle(), QString("OB Packet Data"));
    QVERIFY(sheet->currentPage()->findChild<QLabel*>("begin")->text() == "To begin, click Next.");
    QVERIFY(!usable(sheet->button(QWizard::BackButton)));
    QVERIFY(usable(sheet->button(QWizard::NextButton)));
    QVERIFY(!usable(sheet->button(QWizard::FinishButton)));

    click(*sheet, QWizard::NextButton);
    QCOMPARE(sheet->currentId(), int(WizardSheet::License));
    QCOMPARE(sheet->currentPage()->title(), QString("License Agreement"));
    QVERIFY(usable(sheet->button(QWizard::BackButton)));
    QVERIFY(usable(sheet->button(QWizard::NextButton)));

    click(*sheet, QWizard::NextButton);
    QCOMPARE(sheet->currentId(), int(WizardSheet::Phone));
    QVERIFY(usable(sheet->button(QWizard::BackButton)));
    QVERIFY(usable(sheet->button(QWizard::NextButton)));

    click(*sheet, QWizard::NextButton);
    QCOMPARE(sheet->currentId(), int(WizardSheet::Modem));
    QVERIFY(usable(sheet->button(QWizard::BackButton)));
    QVERIFY(!sheet->button(QWizard::NextButton)->isEnabled());
    QCOMPARE(QApplication::focusWidget(), sheet->currentPage()->findChild<QPushButton*>("beginInstall"));

    clickCheck(*sheet);
    QVERIFY(usable(sheet->button(QWizard::NextButton)));
    click(*sheet, QWizard::NextButton);
    QCOMPARE(sheet->currentId(), int(WizardSheet::Connection));
    QCOMPARE(sheet->currentPage()->title(), QString("Dial-Up Networking Connection"));
    QVERIFY(usable(sheet->button(QWizard::BackButton)));
    QVERIFY(usable(sheet->button(QWizard::FinishButton)));
    QVERIFY(!sheet->button(QWizard::NextButton)->isVisible());
    // The port was chosen on the modem page; the COM port combo is not shown.
    QVERIFY(!sheet->currentPage()->findChild<QComboBox*>("comPorts")->isVisible());
    QVERIFY(sheet->currentPage()->findChild<QLabel*>("howToStart")->text().contains("pon ob-packet-data"));
  }

  void licenseYesNoAndRestoredCaptions() {
    auto sheet = makeSheet();
    QVERIFY(sheet);
    QString next = sheet->buttonText(QWizard::NextButton);
    QString cancel = sheet->buttonText(QWizard::CancelButton);
    click(*sheet, QWizard::NextButton);
    QCOMPARE(sheet->buttonText(QWizard::NextButton), QString("Yes"));
    QCOMPARE(sheet->buttonText(QWizard::CancelButton), QString("No"));
    QCOMPARE(sheet->currentPage()->findChild<QLabel*>("prompt")->text(),
             QString("Do you accept the terms of the license agreement?"));
    auto* agreement = sheet->currentPage()->findChild<QPlainTextEdit*>("agreement");
    QVERIFY(agreement->isReadOnly());
    QVERIFY(agreement->textCursor().atEnd());

    // Back restores both captions,
    click(*sheet, QWizard::BackButton);
    QCOMPARE(sheet->buttonText(QWizard::NextButton), next);
    QCOMPARE(sheet->buttonText(QWizard::CancelButton), cancel);
    // and so does Yes, which moves on.
    click(*sheet, QWizard::NextButton);
    QCOMPARE(sheet->buttonText(QWizard::NextButton), QString("Yes"));
    click(*sheet, QWizard::NextButton);
    QCOMPARE(sheet->currentId(), int(WizardSheet::Phone));
    QCOMPARE(sheet->buttonText(QWizard::NextButton), next);
    QCOMPARE(sheet->buttonText(QWizard::CancelButton), cancel);
    // Coming back renames them again, and No ends the wizard.
    click(*sheet, QWizard::BackButton);
    QCOMPARE(sheet->buttonText(QWizard::CancelButton), QString("No"));
    click(*sheet, QWizard::CancelButton);
    QVERIFY(!sheet->isVisible());
    QCOMPARE(sheet->result(), int(QDialog::Rejected));
    QVERIFY(!QFile::exists(peerFile()));
  }

  void licenseCaptionsInTheUsersLanguage() {
    auto sheet = makeSheet(Language::French);
    QVERIFY(sheet);
    QCOMPARE(sheet->buttonText(QWizard::NextButton), QString("&Suivant >"));
    click(*sheet, QWizard::NextButton);
    QCOMPARE(sheet->buttonText(QWizard::NextButton), QString("Oui"));
    QCOMPARE(sheet->buttonText(QWizard::CancelButton), QString("Non"));
    click(*sheet, QWizard::NextButton);
    QCOMPARE(sheet->buttonText(QWizard::CancelButton), QString("Annuler"));
  }

  void returningToTheModemPageKeepsNext() {
    auto sheet = makeSheet();
    QVERIFY(sheet);
    for (int i = 0; i < 3; ++i) click(*sheet, QWizard::NextButton);
    // Back and forth without a check: Next stays off.
    click(*sheet, QWizard::BackButton);
    click(*sheet, QWizard::NextButton);
    QVERIFY(!sheet->button(QWizard::NextButton)->isEnabled());
    clickCheck(*sheet);
    QVERIFY(sheet->currentPage()->findChild<QLabel*>("status")->text().contains(dev() + "/ttyUSB0"));
    click(*sheet, QWizard::NextButton);
    click(*sheet, QWizard::BackButton);
    QCOMPARE(sheet->currentId(), int(WizardSheet::Modem));
    QVERIFY(usable(sheet->button(QWizard::NextButton)));
    click(*sheet, QWizard::BackButton);
    click(*sheet, QWizard::NextButton);
    QVERIFY(usable(sheet->button(QWizard::NextButton)));
    QVERIFY(messages_.empty());
  }

  void noPortSelected() {
    QVERIFY(QFile::remove(dev() + "/ttyUSB0"));
    auto sheet = makeSheet();
    QVERIFY(sheet);
    for (int i = 0; i < 3; ++i) click(*sheet, QWizard::NextButton);
    QCOMPARE(sheet->currentPage()->findChild<QComboBox*>("ports")->count(), 0);
    clickCheck(*sheet);
    QCOMPARE(messages_.size(), std::size_t(1));
    QCOMPARE(messages_[0].icon, QMessageBox::Critical);
    QVERIFY(messages_[0].text.startsWith("No serial port was found."));
    QVERIFY(!sheet->button(QWizard::NextButton)->isEnabled());
    QVERIFY(sheet->modemPort().isEmpty());

    // A cable plugged in later is found by the next check.
    QFile port(dev() + "/ttyACM0");
    QVERIFY(port.open(QIODevice::WriteOnly));
    clickCheck(*sheet);
    QCOMPARE(messages_.size(), std::size_t(1));
    QCOMPARE(sheet->modemPort(), dev() + "/ttyACM0");
    QVERIFY(usable(sheet->button(QWizard::NextButton)));
  }

  void portThatCannotBeOpenedSaysWhatToDo() {
    QVERIFY(QFile::link(dev() + "/gone", dev() + "/ttyUSB1"));
    auto sheet = makeSheet();
    QVERIFY(sheet);
    for (int i = 0; i < 3; ++i) click(*sheet, QWizard::NextButton);
    auto* ports = sheet->currentPage()->findChild<QComboBox*>("ports");
    ports->setCurrentText(dev() + "/ttyUSB1");
    clickCheck(*sheet);
    QCOMPARE(messages_.size(), std::size_t(1));
    QVERIFY(messages_[0].text.contains("has no device behind it"));
    QVERIFY(!sheet->button(QWizard::NextButton)->isEnabled());

    // A port the user may not open names the group to join.
    QVERIFY(::chmod(QFile::encodeName(dev() + "/ttyUSB0").constData(), 0) == 0);
    ports->setCurrentText(dev() + "/ttyUSB0");
    {
      obnet::testing::WithoutFileOverride asUser;
      if (!asUser.active()) QSKIP("cannot give up root's file permission override");
      clickCheck(*sheet);
    }
    QCOMPARE(messages_.size(), std::size_t(2));
    QVERIFY2(messages_[1].text.contains("sudo usermod -aG "), qPrintable(messages_[1].text));
    QVERIFY(!sheet->button(QWizard::NextButton)->isEnabled());
  }

  void typing300Gives255() {
    auto sheet = makeSheet();
    QVERIFY(sheet);
    toLastPage(*sheet);
    auto* octet = sheet->currentPage()->findChild<QLineEdit*>("octet1");
    QTest::keyClicks(octet, "300");
    QCOMPARE(octet->text(), QString("255"));
    octet->clear();
    QTest::keyClicks(octet, "25");
    QCOMPARE(octet->text(), QString("25"));
    QTest::keyClicks(octet, "6");
    QCOMPARE(octet->text(), QString("255"));
    auto* other = sheet->currentPage()->findChild<QLineEdit*>("octet8");
    QTest::keyClicks(other, "1x9");
    QCOMPARE(other->text(), QString("19"));
  }

  void sevenOfEightOctetsGiveServerDns() {
    auto sheet = makeSheet();
    QVERIFY(sheet);
    toLastPage(*sheet);
    const char* values[] = {"10", "1", "2", "3", "10", "4", "5", ""};
    for (int i = 0; i < 8; ++i)
      QTest::keyClicks(sheet->currentPage()->findChild<QLineEdit*>(QString("octet%1").arg(i + 1)),
                       values[i]);
    QVERIFY(!static_cast<CDunConnection*>(sheet->currentPage())->dnsChoice().has_value());
    click(*sheet, QWizard::FinishButton);
    QCOMPARE(sheet->result(), int(QDialog::Accepted));
    QVERIFY(sheet->connectionPrepared());
    QString peer = slurp(peerFile());
    QVERIFY(peer.contains("\"" + dev() + "/ttyUSB0\"\n38400\n"));
    QVERIFY(peer.contains("Name servers are assigned by the server."));
    QVERIFY(!QFile::exists(dnsHook()));
    QCOMPARE(messages_.size(), std::size_t(1));
    QCOMPARE(messages_[0].icon, QMessageBox::Information);
  }

  void eightOctetsGiveTheUsersDns() {
    auto sheet = makeSheet();
    QVERIFY(sheet);
    toLastPage(*sheet);
    const char* values[] = {"10", "1", "2", "3", "10", "4", "5", "600"};
    for (int i = 0; i < 8; ++i)
      QTest::keyClicks(sheet->currentPage()->findChild<QLineEdit*>(QString("octet%1").arg(i + 1)),
                       values[i]);
    click(*sheet, QWizard::FinishButton);
    QVERIFY(slurp(dnsHook()).contains("10.1.2.3 10.4.5.255 > /etc/ppp/resolv.conf"));
    QVERIFY(record_.rebootFlag);
  }

  void broadcastFirstOctetIsRefusedBeforeWriting() {
    auto sheet = makeSheet();
    QVERIFY(sheet);
    toLastPage(*sheet);
    const char* values[] = {"300", "8", "8", "8", "8", "8", "4", "4"};
    for (int i = 0; i < 8; ++i)
      QTest::keyClicks(sheet->currentPage()->findChild<QLineEdit*>(QString("octet%1").arg(i + 1)),
                       values[i]);
    click(*sheet, QWizard::FinishButton);
    QCOMPARE(messages_.size(), std::size_t(1));
    QCOMPARE(messages_[0].icon, QMessageBox::Warning);
    QVERIFY2(messages_[0].text.contains("255.8.8.8"), qPrintable(messages_[0].text));
    QVERIFY(sheet->isVisible());
    QVERIFY(!QFile::exists(peerFile()));
    QVERIFY(!QFile::exists(dnsHook()));
    // Corrected, the same Finish writes.
    auto* first = sheet->currentPage()->findChild<QLineEdit*>("octet1");
    first->clear();
    QTest::keyClicks(first, "8");
    click(*sheet, QWizard::FinishButton);
    QVERIFY(slurp(dnsHook()).contains("8.8.8.8 8.8.4.4 > /etc/ppp/resolv.conf"));
  }

  void writeFailureClearsTheRebootFlag() {
    // A file of someone else's where the peer file belongs.
    QVERIFY(QDir().mkpath(root() + "/etc/ppp/peers"));
    QFile foreign(peerFile());
    QVERIFY(foreign.open(QIODevice::WriteOnly));
    foreign.write("/dev/ttyS0\n");
    foreign.close();
    auto sheet = makeSheet();
    QVERIFY(sheet);
    toLastPage(*sheet);
    click(*sheet, QWizard::FinishButton);
    QCOMPARE(messages_.size(), std::size_t(1));
    QCOMPARE(messages_[0].icon, QMessageBox::Critical);
    QVERIFY(messages_[0].text.startsWith(
        "A problem occurred while setting up the Dial-up Networking connection.  See the User "
        "Guide for instructions on how to set it up manually."));
    QVERIFY(messages_[0].text.contains("not written by this wizard"));
    QVERIFY(!record_.rebootFlag);
    QVERIFY(!sheet->connectionPrepared());
    QCOMPARE(slurp(peerFile()), QString("/dev/ttyS0\n"));
  }

  void unsupportedPlatformIsToldSo() {
    record_.platformClass = PlatformClass::Unsupported;
    auto sheet = makeSheet();
    QVERIFY(sheet);
    for (int i = 0; i < 3; ++i) click(*sheet, QWizard::NextButton);
    clickCheck(*sheet);
    QCOMPARE(messages_.size(), std::size_t(1));
    QVERIFY(messages_[0].text.startsWith("The installation wizard is not available on this platform."));
    QVERIFY(!sheet->button(QWizard::NextButton)->isEnabled());
  }

  // Every page in every language, saved for a person to look at.
  void screenshots() {
    QVERIFY(QDir().mkpath(SCREENSHOT_DIR));
    const std::pair<Language, const char*> languages[] = {{Language::English, "en"},
                                                          {Language::Spanish, "es"},
                                                          {Language::French, "fr"},
                                                          {Language::Portuguese, "pt"}};
    const char* pages[] = {"1-welcome", "2-license", "3-phone", "4-modem", "5-connection"};
    for (auto [language, code] : languages) {
      auto sheet = makeSheet(language);
      QVERIFY(sheet);
      for (int id = 0; id < 5; ++id) {
        if (id == WizardSheet::Modem) clickCheck(*sheet);
        if (id == WizardSheet::Connection)
          QTest::keyClicks(sheet->currentPage()->findChild<QLineEdit*>("octet1"), "300");
        QCOMPARE(sheet->currentId(), id);
        // Let the page lay out the texts it has just been given.
        QCoreApplication::sendPostedEvents();
        QString file = QString("%1/%2-%3.png").arg(SCREENSHOT_DIR, code, pages[id]);
        QVERIFY2(sheet->grab().save(file), qPrintable(file));
        if (id < 4) click(*sheet, QWizard::NextButton);
      }
    }
  }
};

QTEST_MAIN(WizardTest)
#include "wizard_test.moc"
