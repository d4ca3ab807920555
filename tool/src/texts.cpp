#include "texts.h"

namespace utvex {

Texts::Texts(std::shared_ptr<const vx::res::ResourceLibrary> library) : library_(std::move(library)) {}

QString Texts::text(uint32_t id) const {
  if (library_) {
    if (auto found = library_->text(id)) return QString::fromStdString(*found);
  }
  return QStringLiteral("#%1").arg(id);
}

QString Texts::format(uint32_t id, const QStringList& args) const { return substitute(text(id), args); }

QString Texts::plain(uint32_t id) const {
  QString result = text(id);
  result.remove(QLatin1Char('&'));
  if (result.endsWith(QLatin1String("..."))) result.chop(3);
  return result;
}

QString substitute(const QString& pattern, const QStringList& args) {
  QString out;
  qsizetype next = 0;
  for (qsizetype i = 0; i < pattern.size(); ++i) {
    const QChar c = pattern[i];
    if (c != QLatin1Char('%') || i + 1 >= pattern.size()) {
      out += c;
      continue;
    }
    if (pattern[i + 1] == QLatin1Char('%')) {
      out += QLatin1Char('%');
      ++i;
      continue;
    }
    // Flags and width, then the conversion letter (with an optional l).
    qsizetype j = i + 1;
    while (j < pattern.size() && (pattern[j].isDigit() || pattern[j] == QLatin1Char('-') ||
                                  pattern[j] == QLatin1Char('l') || pattern[j] == QLatin1Char('.'))) {
      ++j;
    }
    if (j >= pattern.size()) {
      out += pattern.mid(i);
      break;
    }
    out += next < args.size() ? args[next] : QString();
    ++next;
    i = j;
  }
  return out;
}

QString hex8(int32_t hr) {
  return QStringLiteral("%1").arg(static_cast<uint32_t>(hr), 8, 16, QLatin1Char('0')).toUpper();
}

}  // namespace utvex
