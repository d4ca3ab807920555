#include "record_text.h"

#include <algorithm>

namespace utvex {

std::optional<RecordValues> splitRecord(const RecordShape& shape, const QString& text) {
  int groups = 0;
  for (const RecordPart& part : shape.parts) groups = std::max(groups, part.group + 1);
  const QStringList entries = groups == 1 ? QStringList{text} : text.split(shape.separator);
  if (entries.size() != groups) return std::nullopt;
  QStringList values;
  for (int group = 0; group < groups; ++group) {
    const auto count = std::count_if(shape.parts.begin(), shape.parts.end(),
                                     [group](const RecordPart& part) { return part.group == group; });
    const QStringList entry = count == 1 ? QStringList{entries[group].trimmed()}
                                         : entries[group].simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (entry.size() != count) return std::nullopt;
    values << entry;
  }
  return values;
}

QString joinRecord(const RecordShape& shape, const RecordValues& values) {
  QStringList entries;
  for (std::size_t k = 0; k < shape.parts.size(); ++k) {
    const int group = shape.parts[k].group;
    while (entries.size() <= group) entries << QString();
    if (!entries[group].isEmpty()) entries[group] += QLatin1Char(' ');
    entries[group] += values.value(static_cast<qsizetype>(k)).trimmed();
  }
  const QString separator = shape.separator == QLatin1Char(',') ? QStringLiteral(",")
                                                                 : QString(shape.separator) + QLatin1Char(' ');
  return entries.join(separator);
}

}  // namespace utvex
