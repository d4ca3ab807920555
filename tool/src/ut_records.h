// The UT record log and the call timers: what is read from the UT (on the
// session thread) and how it is written or shown.
#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>
#include <vector>

#include "vxconnect.h"

namespace utvex {

class Session;
class Texts;

// One record: date, time, ESN, model, software, hardware, DSP firmware,
// calibration date, service programming date, warranty date code.
struct UtRecord {
  HRESULT hr = S_OK;
  QStringList fields;
};
UtRecord readUtRecord(Session& session);

// Appends the record's line to `path` (created when missing; an empty file
// first gets the header, string 61427). False when the file cannot be written.
bool appendRecord(const QString& path, const QString& header, const QStringList& fields);

// The call counters and times.
struct CallTimer {
  uint32_t label = 0;
  QString count;  // empty: the row has no count
  QString time;   // empty: the row has no time
  HRESULT countHr = S_OK;
  HRESULT timeHr = S_OK;
};
struct CallTimers {
  uint32_t failureText = 0;  // the UT check or the interface failed
  HRESULT hr = S_OK;
  std::vector<CallTimer> rows;
};
CallTimers readCallTimers(Session& session);

class CallTimersDialog : public QDialog {
  Q_OBJECT
 public:
  CallTimersDialog(const Texts& texts, const CallTimers& timers, QWidget* parent);
  // The first message of a value that could not be read (empty when all were).
  QString problem() const { return problem_; }

 private:
  QString problem_;
};

}  // namespace utvex
