// What the tool's tests share: a private runtime with simulated UTs, the
// language libraries, a prompter that records messages and answers
// questions, and screenshots under the build directory.
#pragma once

#include <QDir>
#include <QMessageBox>
#include <QStringList>
#include <QWidget>
#include <QtTest>
#include <deque>
#include <memory>

#include "kmx/sim/ut_simulator.h"
#include "prompter.h"
#include "texts.h"

namespace utvex::testing {

struct RecordedMessage {
  bool warning;
  QString text;
};

class TestPrompter : public Prompter {
 public:
  using Prompter::Prompter;
  void inform(QWidget*, const QString& message) override { messages.push_back({false, message}); }
  void warn(QWidget*, const QString& message) override { messages.push_back({true, message}); }
  bool ask(QWidget*, const QString& question, bool) override {
    questions << question;
    if (answers.empty()) return false;
    const bool answer = answers.front();
    answers.pop_front();
    return answer;
  }
  QString saveFile(QWidget*, const QString&, const QString&, const QString&, const QString&) override {
    return nextFile;
  }
  QString openFile(QWidget*, const QString&, const QString&, const QString&) override { return nextFile; }
  void showReport(QWidget*, const QString&, const QString& text) override { reports << text; }

  QString lastText() const { return messages.empty() ? QString() : messages.back().text; }
  std::vector<RecordedMessage> messages;
  QStringList questions;
  std::deque<bool> answers;
  QString nextFile;
  QStringList reports;
};

inline std::shared_ptr<vx::res::ResourceLibrary> loadLanguage(const char* file) {
  auto library = std::make_shared<vx::res::ResourceLibrary>(vx::res::ResourceLibrary::load(file));
  return library;
}

inline const char* const kLanguageFiles[] = {"libVEXResENU.so", "libVEXResFRA.so", "libVEXResESN.so",
                                             "libVEXResPTB.so"};

// Saves a grab of `widget` as SCREENSHOT_DIR/<name>.png and checks that it
// holds more than one colour (a laid-out window, not an empty frame).
inline void screenshot(QWidget* widget, const QString& name) {
  QDir().mkpath(QStringLiteral(SCREENSHOT_DIR));
  QApplication::processEvents();
  const QImage image = widget->grab().toImage();
  QVERIFY(!image.isNull());
  QSet<QRgb> colours;
  for (int y = 0; y < image.height() && colours.size() < 8; y += 7) {
    for (int x = 0; x < image.width() && colours.size() < 8; x += 7) colours.insert(image.pixel(x, y));
  }
  QVERIFY2(colours.size() >= 3, qPrintable(name));
  QVERIFY(image.save(QStringLiteral(SCREENSHOT_DIR "/") + name + QStringLiteral(".png")));
}

}  // namespace utvex::testing
