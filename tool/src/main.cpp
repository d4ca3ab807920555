// Utvex: the service tool. Handles the registration switches, picks the
// language resource library from the user's locale and shows the main
// window.
#include <QApplication>
#include <QMessageBox>
#include <QSettings>
#include <cstdio>

#include "desktop_entry.h"
#include "main_window.h"
#include "prompter.h"
#include "startup_dialog.h"
#include "texts.h"
#include "tool_settings.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QCoreApplication::setApplicationName(QString::fromLatin1(utvex::kProgramName));
  QCoreApplication::setApplicationVersion(QStringLiteral("1.0"));

  auto library = std::make_shared<vx::res::ResourceLibrary>(vx::res::loadForUser());
  const utvex::Registration registration = utvex::registrationSwitch(QCoreApplication::arguments());
  if (registration != utvex::Registration::None) {
    QString error;
    const QString title = library->loaded() ? QString::fromStdString(library->text(130).value_or("Utvex"))
                                            : QStringLiteral("Utvex");
    const bool ok = registration == utvex::Registration::Register
                        ? utvex::registerDesktopEntry(QCoreApplication::applicationFilePath(), title, &error)
                        : utvex::unregisterDesktopEntry(&error);
    if (!ok) std::fprintf(stderr, "Utvex: %s: %s\n", qPrintable(utvex::desktopEntryPath()), qPrintable(error));
    return ok ? 0 : 1;
  }
  if (!library->loaded()) {
    QMessageBox::critical(nullptr, QStringLiteral("Utvex"),
                          QStringLiteral("UTVEX is unable to locate a valid resource DLL.  Restart UTVEX or try "
                                         "re-installing UTVEX."));
    return 1;
  }
  utvex::Texts texts(library);
  auto store = utvex::openSettings(texts);
  if (store->status() != QSettings::NoError) {
    QMessageBox::critical(nullptr, texts.text(130), store->fileName());
    return 1;
  }
  // The welcome window comes first, when the stored settings ask for it.
  if (utvex::StartupDialog::mustShow(*store, texts)) {
    utvex::StartupDialog welcome(texts, *store);
    welcome.exec();
  }
  utvex::Prompter prompter(texts);
  utvex::MainWindow window(texts, std::move(store), prompter);
  window.show();
  return app.exec();
}
