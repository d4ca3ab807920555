// The connection dialog: the port (the serial devices and the simulator's
// ports), the baud rate, the time-out and the service programming code.
// A port that cannot be opened says why under the list. Without the code it
// is the connection settings dialog, which only keeps the three values for
// the next connection.
#pragma once

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QSpinBox;

namespace utvex {

class Texts;

class ConnectDialog : public QDialog {
  Q_OBJECT
 public:
  enum class Purpose { Connect, Settings };
  ConnectDialog(const Texts& texts, const QString& port, int baudRate, int timeout, QWidget* parent,
                Purpose purpose = Purpose::Connect);

  QString port() const;
  int baudRate() const;
  int timeout() const;
  QString spc() const;
  QComboBox* portBox() const { return port_; }
  QLabel* problemLabel() const { return problem_; }
  QLineEdit* spcEdit() const { return spc_; }  // null for the settings dialog
  QComboBox* baudBox() const { return baud_; }
  QSpinBox* timeoutBox() const { return timeout_; }

 private:
  void checkPort();

  const Texts& texts_;
  QComboBox* port_ = nullptr;
  QComboBox* baud_ = nullptr;
  QSpinBox* timeout_ = nullptr;
  QLineEdit* spc_ = nullptr;
  QLabel* problem_ = nullptr;
};

}  // namespace utvex
