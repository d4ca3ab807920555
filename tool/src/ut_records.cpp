#include "ut_records.h"

#include <QDateTime>
#include <QDialogButtonBox>
#include <QFile>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "text_ids.h"
#include "texts.h"
#include "ut_session.h"
#include "vxutconfig.h"

namespace utvex {

UtRecord readUtRecord(Session& session) {
  UtRecord record;
  auto version = session.connectionAs<IVexVersionExt>();
  if (!version) {
    record.hr = E_NOINTERFACE;
    return record;
  }
  version->UpdateAllItems();
  auto textOf = [&](HRESULT (IVexVersion::*method)(LPWSTR*)) {
    LPWSTR value = nullptr;
    (version.Get()->*method)(&value);
    return takeText(value);
  };
  const QDateTime now = QDateTime::currentDateTime();
  UI2 hardware = 0, firmware = 0;
  version->GetGUMVersion(&hardware, &firmware);
  UI2 month = 0, day = 0, year = 0;
  version->GetCalDate(&month, &day, &year);
  SYSTEMTIME programmed{};
  version->GetServiceProgrammingDate(&programmed);
  record.fields << now.toString(QStringLiteral("yyyy-MM-dd")) << now.toString(QStringLiteral("HH:mm:ss"))
                << textOf(&IVexVersion::GetESN) << textOf(&IVexVersion::GetUTModel)
                << textOf(&IVexVersion::GetUTFirmwareRev) << QString::number(hardware)
                << textOf(&IVexVersion::GetDSPFirmwareVersion)
                << QStringLiteral("%1-%2-%3").arg(year, 4, 10, QLatin1Char('0')).arg(month, 2, 10, QLatin1Char('0')).arg(day, 2, 10, QLatin1Char('0'))
                << QStringLiteral("%1-%2-%3")
                       .arg(programmed.wYear, 4, 10, QLatin1Char('0'))
                       .arg(programmed.wMonth, 2, 10, QLatin1Char('0'))
                       .arg(programmed.wDay, 2, 10, QLatin1Char('0'))
                << textOf(&IVexVersion::GetWarrantyDateCode);
  return record;
}

bool appendRecord(const QString& path, const QString& header, const QStringList& fields) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text)) return false;
  QByteArray text;
  if (file.size() == 0) text += header.toUtf8() + '\n';
  QStringList clean;
  // One record is one line: tabs, line breaks and other control characters
  // that UT texts may hold become spaces.
  for (const QString& field : fields) {
    QString one = field;
    for (QChar& c : one) {
      if (c.category() == QChar::Other_Control) c = QLatin1Char(' ');
    }
    clean << one.simplified();
  }
  text += clean.join(QLatin1Char('\t')).toUtf8() + '\n';
  return file.write(text) == text.size() && file.flush();
}

namespace {

QString timeText(const nv_calltime_type& time) {
  return QStringLiteral("%1:%2:%3")
      .arg(time.usHours)
      .arg(time.ucMinutes, 2, 10, QLatin1Char('0'))
      .arg(time.ucSeconds, 2, 10, QLatin1Char('0'));
}

}  // namespace

CallTimers readCallTimers(Session& session) {
  CallTimers timers;
  auto version = session.connectionAs<IVexVersionExt>();
  if (!version) return CallTimers{61230, E_NOINTERFACE, {}};
  HRESULT hr = version->UpdateAllItems();
  if (FAILED(hr)) return CallTimers{61231, hr, {}};
  UTMainModel model = UTM_UNKNOWN;
  hr = version->GetUTMainModel(&model);
  if (FAILED(hr)) return CallTimers{61274, hr, {}};
  if (model == UTM_UNKNOWN) return CallTimers{61275, S_OK, {}};
  if (model == UTM_ANALOG_FIXED) return CallTimers{61414, S_OK, {}};
  auto ui = session.configAs<IUISettings_1_2>();
  if (!ui) return CallTimers{61300, E_NOINTERFACE, {}};
  auto row = [&](uint32_t label, HRESULT (IUISettings::*count)(GetSetType, uint32_t*),
                 HRESULT (IUISettings::*time)(GetSetType, nv_calltime_type*)) {
    CallTimer t;
    t.label = label;
    if (count != nullptr) {
      uint32_t value = 0;
      t.countHr = (ui.Get()->*count)(GET_PARAM, &value);
      t.count = QString::number(SUCCEEDED(t.countHr) ? value : 0);
    }
    if (time != nullptr) {
      nv_calltime_type value{};
      t.timeHr = (ui.Get()->*time)(GET_PARAM, &value);
      t.time = SUCCEEDED(t.timeHr) ? timeText(value) : QStringLiteral("0:00:00");
    }
    timers.rows.push_back(t);
  };
  row(text::kAllCalls, &IUISettings::AllCallsCount, &IUISettings::AllCallsTime);
  row(text::kHomeCalls, &IUISettings::HomeCallsCount, &IUISettings::HomeCallsTime);
  row(text::kRoamCalls, &IUISettings::RoamCallsCount, &IUISettings::RoamCallsTime);
  row(text::kRecentCalls, &IUISettings::RecentCallsCount, &IUISettings::RecentCallsTime);
  row(text::kLastCall, nullptr, &IUISettings::LastCallTime);
  CallTimer data;
  data.label = text::kDataCalls;
  nv_calltime_type dataTime{};
  data.timeHr = ui->DataCallsTime(GET_PARAM, &dataTime);
  data.time = SUCCEEDED(data.timeHr) ? timeText(dataTime) : QStringLiteral("0:00:00");
  timers.rows.push_back(data);
  for (auto [label, method] : {std::pair{text::kDataReceived, &IUISettings_1_2::DataCallsRXCount},
                               std::pair{text::kDataSent, &IUISettings_1_2::DataCallsTXCount}}) {
    CallTimer t;
    t.label = label;
    uint32_t value = 0;
    t.countHr = (ui.Get()->*method)(GET_PARAM, &value);
    t.count = QString::number(SUCCEEDED(t.countHr) ? value : 0);
    timers.rows.push_back(t);
  }
  return timers;
}

CallTimersDialog::CallTimersDialog(const Texts& texts, const CallTimers& timers, QWidget* parent) : QDialog(parent) {
  setWindowTitle(texts.text(text::kCallTimersTitle));
  auto* grid = new QGridLayout(this);
  grid->addWidget(new QLabel(QStringLiteral("<b>%1</b>").arg(texts.text(text::kCount))), 0, 1);
  grid->addWidget(new QLabel(QStringLiteral("<b>%1</b>").arg(texts.text(text::kTime))), 0, 2);
  QLineEdit* firstFailed = nullptr;
  int line = 1;
  for (const CallTimer& row : timers.rows) {
    grid->addWidget(new QLabel(texts.text(row.label)), line, 0);
    auto field = [&](const QString& value, HRESULT hr, int column, const QString& name) {
      auto* edit = new QLineEdit(value);
      edit->setObjectName(name);
      edit->setReadOnly(true);
      edit->setAlignment(Qt::AlignRight);
      grid->addWidget(edit, line, column);
      if (FAILED(hr) && firstFailed == nullptr) {
        firstFailed = edit;
        // A member the tool does not know is told by its meaning; any other
        // failure by its code.
        problem_ = hr == UTC_E_UNEXPECTED_MEMBER ? texts.format(61301, {texts.text(text::kUnexpectedMember)})
                                                 : texts.format(61253, {hex8(hr)});
      }
    };
    if (!row.count.isEmpty()) field(row.count, row.countHr, 1, QStringLiteral("count_%1").arg(row.label));
    if (!row.time.isEmpty()) field(row.time, row.timeHr, 2, QStringLiteral("time_%1").arg(row.label));
    ++line;
  }
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
  buttons->button(QDialogButtonBox::Close)->setText(texts.text(text::kClose));
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  grid->addWidget(buttons, line, 0, 1, 3);
  // A value that could not be read gets the focus.
  if (firstFailed != nullptr) firstFailed->setFocus();
  setMinimumWidth(460);
}

}  // namespace utvex
