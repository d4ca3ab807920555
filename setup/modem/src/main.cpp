// obnetmodem: prepares this computer to use the UT as a wireless modem for
// the packet data service, and writes the dial-up connection "OB Packet Data".
#include <QApplication>
#include <QCommandLineParser>
#include <QMessageBox>
#include <cstdio>

#include "platform_class.h"
#include "texts.h"
#include "wizard_sheet.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("obnetmodem"));

  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral(
      "Sets up the dial-up connection \"OB Packet Data\" for the UT's packet data service."));
  parser.addHelpOption();
  QCommandLineOption root(QStringLiteral("root"),
                          QStringLiteral("Write the connection's files under DIR instead of /, "
                                         "for example to prepare them without root rights."),
                          QStringLiteral("DIR"), QStringLiteral("/"));
  QCommandLineOption devRoot(QStringLiteral("dev-root"),
                             QStringLiteral("List the serial ports under DIR instead of /dev."),
                             QStringLiteral("DIR"), QStringLiteral("/dev"));
  parser.addOption(root);
  parser.addOption(devRoot);
  parser.process(app);
  if (!parser.positionalArguments().isEmpty()) {
    std::fprintf(stderr, "obnetmodem: unexpected argument '%s'; see --help\n",
                 parser.positionalArguments().first().toLocal8Bit().constData());
    return 2;
  }
  if (parser.value(root).isEmpty() || parser.value(devRoot).isEmpty()) {
    std::fprintf(stderr, "obnetmodem: --root and --dev-root need a directory\n");
    return 2;
  }

  obnet::SheetSettings settings;
  settings.language = obnet::userLanguage();
  settings.target.root = parser.value(root).toStdString();
  settings.devRoot = parser.value(devRoot).toStdString();

  obnet::WizardSheet sheet(settings);
  bool finished = sheet.exec() == QDialog::Accepted;

  obnet::PlatformRecord& record = obnet::platformRecord();
  if (obnet::restartAfterFinish(record, finished)) {
    // This program restarts no computer itself; it says that one is needed.
    QMessageBox::information(nullptr, sheet.text(obnet::Text::Caption),
                             sheet.text(obnet::Text::RestartNeeded));
  }
  return finished && sheet.connectionPrepared() ? 0 : 1;
}
