// The last page: the name servers of the connection, and Finish, which
// writes the connection for the running system.
#pragma once

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <array>

#include "dns_choice.h"
#include "wizard_sheet.h"

namespace obnet {

class CDunConnection : public SheetPage {
 public:
  explicit CDunConnection(QWidget* parent = nullptr);
  void activate() override;
  bool validatePage() override;  // Finish

  // The choice the octet fields make now.
  DnsChoice dnsChoice() const;

 private:
  void writeEntry();

  QLabel* intro_;
  QLabel* ipAddress_;
  QLabel* primary_;
  QLabel* secondary_;
  QLabel* dnsHelp_;
  QLabel* portLabel_;
  QComboBox* ports_;  // the Windows NT port choice; the modem page chooses on Linux
  QLabel* howToStart_;
  // Primary DNS octets 1 to 4, then secondary DNS octets 1 to 4.
  std::array<QLineEdit*, 8> octets_{};
};

}  // namespace obnet
