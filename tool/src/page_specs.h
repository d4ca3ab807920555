// The settings sheet's pages as data: for each page its title and fields,
// and for each field how it is read from and written to the UT
// configuration object. Reading and writing run on the session thread;
// the widgets only see the values as texts.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "record_text.h"
#include "vxconnect.h"

namespace utvex {

class Session;

enum class FieldKind {
  Choice,  // a value list of enumeration names; the value is the name
  Number,  // a whole number within [minimum, maximum]
  Flag,    // "0" or "1"
  Text,    // free text in the form the field's tool tip gives
};

struct Field {
  uint32_t label = 0;
  FieldKind kind = FieldKind::Text;
  QStringList choices;  // fixed value list (Choice)
  // A value list read from the UT (the enumeration at this NV path) when
  // `choices` is empty.
  QString enumPath;
  int64_t minimum = 0;
  int64_t maximum = 0;
  // The value as a text; nullopt when it cannot be read (the control keeps
  // its default and, for `disableUnread`, is disabled).
  std::function<std::optional<QString>(Session&)> read;
  // Stages a new value; null for a field that is shown but not written back.
  std::function<HRESULT(Session&, const QString&)> write;
  QString fallback;  // shown when the read fails
  bool disableUnread = true;
  // A Text field that is a record: edited part by part in a dialog.
  std::optional<RecordShape> record;
  // For a record whose first part selects which of several records of the
  // UT is meant: reads the record of another selector.
  std::function<std::optional<QString>(Session&, int selector)> readSelected;
};

// The pages of the settings sheet (the list pages are made apart).
enum class PageId {
  OrbitnetNam,
  CellularNam1,
  CellularNam2,
  General,
  Features,
  Sounds,
  SecurityAlerts,
  PhoneBook,
  Afut,
  ServiceProviders,
  Maintenance,
};

// The pages the sheet holds for a UT main model, in order; empty for
// UTM_UNKNOWN.
std::vector<PageId> pagesForModel(UTMainModel model);

// The title text number of a page.
uint32_t pageTitle(PageId page);

// The fields of a form page (empty for the list pages).
std::vector<Field> pageFields(PageId page);

// The value lists of the settings, as the pages offer them.
namespace lists {
extern const QStringList kBaudRates, kRingerTypes, kKeySounds, kKeyLengths, kCarkitVolumes, kAutoAnswer,
    kEnableDisable, kAutoRetry, kShowTime, kBacklight, kLanguages, kPhoneBookOrder, kLockModes, kSmsAlerts,
    kPacketDataModes;
// The volume names of the UT's item database; the pages take the volume
// lists from the UT itself, these only give the names their texts.
extern const QStringList kVolumes;
}

// The resource library's display text number of an enumeration name of the
// value lists, or 0 for a name it has no text for (a name the UT's database
// gives that the tool does not know is shown as it is).
uint32_t valueTextId(const QString& name);

// Reads a page's values, and the value lists that come from the UT.
struct PageValues {
  std::vector<std::optional<QString>> values;
  std::vector<QStringList> choices;  // per field (empty: not a choice)
};
PageValues readPage(Session& session, const std::vector<Field>& fields);

// One row of the list pages.
struct ListRow {
  int index = 0;
  QStringList columns;
};

// The phone book (positions 1 to 99) and the known service providers
// (0 to 66): a row for every position, the empty ones with empty columns.
std::vector<ListRow> readPhoneBook(Session& session);
std::vector<ListRow> readServiceProviders(Session& session);
// Stages one phone book entry: name, number and the secret flag.
HRESULT writePhoneBookEntry(Session& session, int index, const QString& name, const QString& number, bool secret);
// Stages one service provider entry: its country and network codes (two or
// three digits each), names, preference and prohibited flag. An entry with
// no codes and no names empties its position.
HRESULT writeServiceProvider(Session& session, int index, const QString& mcc, const QString& mnc,
                             const QString& countryName, const QString& networkName, int preference, bool prohibited);

}  // namespace utvex
