// The wizard's texts in its four languages, picked by the user's locale.
#pragma once

#include <string_view>

namespace obnet {

enum class Language { English, Spanish, French, Portuguese };

enum class Text {
  Caption,
  ButtonBack,
  ButtonNext,
  ButtonFinish,
  ButtonCancel,
  WelcomeTitle,
  WelcomeDescription,
  WelcomeBegin,
  LicenseHeading,
  LicenseTermsStart,
  LicenseTermsEnd,
  LicensePrompt,
  Yes,
  No,
  PhoneHeading,
  PhoneSteps,
  ModemHeading,
  ModemInstructions,
  ModemPortLabel,
  CheckModemPort,
  BeginModemInstall,
  PortOpens,        // %1 port
  NoPortFound,
  PortDenied,       // %1 port, %2 group
  PortMissing,      // %1 port
  PortBusy,         // %1 port
  PortOtherError,   // %1 port, %2 system text
  NotAvailable,
  DunCaption,
  DunIntro,
  IpAddress,
  PrimaryDns,
  SecondaryDns,
  DunDnsHelp,
  DunPortLabel,
  DunHowToStart,
  WriteFailed,
  Written,          // %1 peer file
  Staged,           // %1 staging directory, %2 command
  RestartNeeded,
  DnsUnusable,      // %1 address
  Count
};

// A locale name as in LANG: "es*" is Spanish, "fr_FR*" French, "pt*"
// Portuguese, anything else (fr_CA, C, POSIX, empty, ...) English.
Language languageOfLocale(std::string_view locale);

// The language of the user's locale for messages: LC_ALL, else LC_MESSAGES,
// else LANG.
Language userLanguage();

// The text in UTF-8. Texts with %1 and %2 take their arguments in that order.
std::string_view text(Language language, Text id);

}  // namespace obnet
