// The main window's stored settings: values of the "Config" group of the
// QSettings under the company name (string 61304) and the program name, each
// value named by a string of the resource library.
#pragma once

#include <QRect>
#include <QString>
#include <memory>

class QSettings;

namespace utvex {

class Texts;

inline constexpr const char* kProgramName = "Utvex";

struct ToolSettings {
  QString portName = QStringLiteral("COM1");
  int baudRate = 115200;
  QRect geometry;          // empty: placed from the screen size
  bool maximised = false;
  int timeout = 0;         // seconds handed to the connection object
  int saveCopyOnSwap = 0;  // the swap wizard offers its copy page
  int safetyCopies = 1;    // the UT's settings are saved before the tool writes to it
  int appendRecordAfterWrite = 0;
  int showStartupDialog = 1;  // the welcome window before the main window
  int showToolbar = 1;
  QString recordLogFile;
  QString settingsFile;    // the remembered settings file
  QString settingsFolder;  // where the restore dialog starts
  QString downloadFolder;
};

// Opens the program's settings (creating the "Config" group on first use).
std::unique_ptr<QSettings> openSettings(const Texts& texts);

// Reads every value; one that is missing or of the wrong kind keeps its
// default. The port name: the text value 61590, else the port number 61307
// (1 to 4, default 1) choosing among strings 61259 to 61262.
ToolSettings loadSettings(QSettings& store, const Texts& texts);
void saveSettings(QSettings& store, const Texts& texts, const ToolSettings& settings);

}  // namespace utvex
