#include "tool_settings.h"

#include "ports.h"

#include <QSettings>

#include "texts.h"

namespace utvex {
namespace {

constexpr uint32_t kCompanyName = 61304;
constexpr uint32_t kPortNumber = 61307;
constexpr uint32_t kBaudRate = 61308;
constexpr uint32_t kTimeout = 61311;
constexpr uint32_t kSaveCopyOnSwap = 61312;
constexpr uint32_t kLeft = 61313;
constexpr uint32_t kTop = 61314;
constexpr uint32_t kWidth = 61315;
constexpr uint32_t kHeight = 61316;
constexpr uint32_t kAppendRecord = 61418;
constexpr uint32_t kRecordLog = 61419;
constexpr uint32_t kMaximised = 61451;
constexpr uint32_t kSettingsFile = 61482;
constexpr uint32_t kSettingsFolder = 61483;
constexpr uint32_t kShowStartup = 61489;
constexpr uint32_t kShowToolbar = 61491;
constexpr uint32_t kDownloadFolder = 61572;
constexpr uint32_t kPortName = 61590;
constexpr uint32_t kSafetyCopies = 61970;
constexpr uint32_t kFirstPortText = 61259;

// A number kept as a 32-bit value: anything else (text that is no number,
// a number out of range) leaves the default.
void readNumber(QSettings& store, const QString& name, int* value) {
  const QVariant stored = store.value(name);
  if (!stored.isValid()) return;
  bool ok = false;
  const qlonglong number = stored.toLongLong(&ok);
  if (ok && number >= INT32_MIN && number <= INT32_MAX) *value = static_cast<int>(number);
}

void readText(QSettings& store, const QString& name, QString* value) {
  const QVariant stored = store.value(name);
  if (stored.isValid() && stored.canConvert<QString>() && stored.typeId() != QMetaType::QStringList) {
    *value = stored.toString();
  }
}

}  // namespace

std::unique_ptr<QSettings> openSettings(const Texts& texts) {
  auto store = std::make_unique<QSettings>(texts.text(kCompanyName), QString::fromLatin1(kProgramName));
  store->beginGroup(QStringLiteral("Config"));
  return store;
}

ToolSettings loadSettings(QSettings& store, const Texts& texts) {
  ToolSettings s;
  auto name = [&](uint32_t id) { return texts.text(id); };
  QString port;
  readText(store, name(kPortName), &port);
  if (port.isEmpty()) {
    // A port number of the older settings still chooses its COM name; with
    // none, the first serial port of this computer (by-id names first) is
    // the default, and COM1 only when there is no serial port at all.
    int number = 0;
    readNumber(store, name(kPortNumber), &number);
    if (number >= 1 && number <= 4) {
      port = texts.text(kFirstPortText + static_cast<uint32_t>(number - 1));
    } else {
      port = firstSerialPort();
      if (port.isEmpty()) port = texts.text(kFirstPortText);
    }
  }
  s.portName = port;
  readNumber(store, name(kBaudRate), &s.baudRate);
  int left = 0, top = 0, width = 0, height = 0;
  readNumber(store, name(kLeft), &left);
  readNumber(store, name(kTop), &top);
  readNumber(store, name(kWidth), &width);
  readNumber(store, name(kHeight), &height);
  if (width > 0 && height > 0) s.geometry = QRect(left, top, width, height);
  int maximised = 0;
  readNumber(store, name(kMaximised), &maximised);
  s.maximised = maximised != 0;
  readNumber(store, name(kTimeout), &s.timeout);
  readNumber(store, name(kSaveCopyOnSwap), &s.saveCopyOnSwap);
  readNumber(store, name(kSafetyCopies), &s.safetyCopies);
  readNumber(store, name(kAppendRecord), &s.appendRecordAfterWrite);
  readNumber(store, name(kShowStartup), &s.showStartupDialog);
  readNumber(store, name(kShowToolbar), &s.showToolbar);
  readText(store, name(kRecordLog), &s.recordLogFile);
  readText(store, name(kSettingsFile), &s.settingsFile);
  readText(store, name(kSettingsFolder), &s.settingsFolder);
  readText(store, name(kDownloadFolder), &s.downloadFolder);
  return s;
}

void saveSettings(QSettings& store, const Texts& texts, const ToolSettings& s) {
  auto put = [&](uint32_t id, const QVariant& value) { store.setValue(texts.text(id), value); };
  put(kPortName, s.portName);
  put(kBaudRate, s.baudRate);
  if (s.geometry.isValid()) {
    put(kLeft, s.geometry.left());
    put(kTop, s.geometry.top());
    put(kWidth, s.geometry.width());
    put(kHeight, s.geometry.height());
  }
  put(kMaximised, s.maximised ? 1 : 0);
  put(kTimeout, s.timeout);
  put(kSaveCopyOnSwap, s.saveCopyOnSwap);
  put(kSafetyCopies, s.safetyCopies);
  put(kAppendRecord, s.appendRecordAfterWrite);
  put(kShowStartup, s.showStartupDialog);
  put(kShowToolbar, s.showToolbar);
  put(kRecordLog, s.recordLogFile);
  put(kSettingsFile, s.settingsFile);
  put(kSettingsFolder, s.settingsFolder);
  put(kDownloadFolder, s.downloadFolder);
  store.sync();
}

}  // namespace utvex
