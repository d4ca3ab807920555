// Record-shaped settings (identities, order-and-reason pairs, tone tables):
// the parts a record is made of and the text the settings sheet shows for
// it, "country,network", "order,reason", "type; tones; durations".
#pragma once

#include <QChar>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <vector>

namespace utvex {

// One value of a record-shaped setting: a whole number within [minimum,
// maximum] (offered as a list of texts from `firstChoiceText` on, one per
// number, when that is set), or, with `digits`, a string of at most that
// many digits whose leading zeros count.
struct RecordPart {
  uint32_t label = 0;
  int number = -1;  // taken by a "%d" in the label (-1: none)
  int group = 0;    // the entry of the text the value belongs to
  int64_t minimum = 0;
  int64_t maximum = 0;
  int digits = 0;
  uint32_t firstChoiceText = 0;
};

// How a record-shaped setting's text is made of its values: the values of
// one group separated by spaces, the groups by `separator` (followed by a
// space unless it is a comma).
struct RecordShape {
  std::vector<RecordPart> parts;
  QChar separator = QLatin1Char(',');
};

// A record's values, one text per part of its shape, in the shape's order.
using RecordValues = QStringList;

// The one place a record turns into its text and back. The values of a
// record's text, in the order of its parts; nullopt when the text does not
// have the shape's groups and values.
std::optional<RecordValues> splitRecord(const RecordShape& shape, const QString& text);
// The record's text of `values` (one per part).
QString joinRecord(const RecordShape& shape, const RecordValues& values);

}  // namespace utvex
