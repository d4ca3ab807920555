// The tool's texts: every user-visible text is a string of the loaded
// language resource library, looked up by number.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>

#include "vx/res/resource_library.h"

namespace utvex {

class Texts {
 public:
  explicit Texts(std::shared_ptr<const vx::res::ResourceLibrary> library);

  // The text of a number; "#<number>" when the library lacks it, so that a
  // gap shows instead of an empty label.
  QString text(uint32_t id) const;
  // The text with its printf conversions (%s, %d, %u, %08X, ...) replaced by
  // `args` in order; %% stays a single %.
  QString format(uint32_t id, const QStringList& args) const;
  // A menu text without its '&' marks (for titles and tool tips).
  QString plain(uint32_t id) const;

  const vx::res::ResourceLibrary& library() const { return *library_; }
  std::shared_ptr<const vx::res::ResourceLibrary> shared() const { return library_; }

 private:
  std::shared_ptr<const vx::res::ResourceLibrary> library_;
};

// printf-style replacement of conversions in `pattern` by `args`.
QString substitute(const QString& pattern, const QStringList& args);
// An HRESULT as eight upper-case hex digits (the texts put the "0x" before it).
QString hex8(int32_t hr);

}  // namespace utvex
