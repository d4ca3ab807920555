#include "page_specs.h"

#include <QHash>
#include <QRegularExpression>
#include <algorithm>
#include <cstring>
#include <optional>

#include "text_ids.h"
#include "ut_charset.h"
#include "ut_session.h"
#include "vxutconfig.h"

namespace utvex {

using vx::com::ComPtr;
using Value = std::optional<QString>;

namespace lists {
const QStringList kBaudRates{"BAUDRATE_9600", "BAUDRATE_19200", "BAUDRATE_38400", "BAUDRATE_57600",
                             "BAUDRATE_115200"};
const QStringList kRingerTypes{"UI_RINGER_TYPE_STANDARD",      "UI_RINGER_TYPE_OPTION1",
                               "UI_RINGER_TYPE_OPTION2",       "UI_RINGER_TYPE_OPTION3",
                               "UI_RINGER_TYPE_OPTION4",       "UI_RINGER_TYPE_STAR_SPANGLED",
                               "UI_RINGER_TYPE_MARSEILLAISE", "UI_RINGER_TYPE_BACH__JESU"};
const QStringList kKeySounds{"UI_TONE_DISPLAY", "UI_CLICK_DISPLAY"};
const QStringList kKeyLengths{"UI_NORMAL_DISPLAY", "UI_LONG_DISPLAY"};
const QStringList kCarkitVolumes{"CKIT_VC_VOLUME_MUTE",    "CKIT_VC_VOLUME_LEVEL_LO", "CKIT_VC_VOLUME_LEVEL_0",
                                 "CKIT_VC_VOLUME_LEVEL_1", "CKIT_VC_VOLUME_LEVEL_2",  "CKIT_VC_VOLUME_LEVEL_3",
                                 "CKIT_VC_VOLUME_LEVEL_4", "CKIT_VC_VOLUME_LEVEL_5",  "CKIT_VC_VOLUME_LEVEL_6",
                                 "CKIT_VC_VOLUME_LEVEL_7", "CKIT_VC_VOLUME_LEVEL_8",  "CKIT_VC_VOLUME_LEVEL_9",
                                 "CKIT_VC_VOLUME_LEVEL_HI"};
const QStringList kAutoAnswer{"UI_AUTOANSWER_OFF_DISPLAY", "UI_AUTOANSWER_1RING_DISPLAY",
                              "UI_AUTOANSWER_2RING_DISPLAY", "UI_AUTOANSWER_CARKIT_ONLY_AFTER_1_RING",
                              "UI_AUTOANSWER_CARKIT_ONLY_AFTER_2_RINGS"};
const QStringList kEnableDisable{"UI_ENABLE_DISPLAY", "UI_DISABLE_DISPLAY"};
const QStringList kAutoRetry{"UI_AUTORETRY_OFF_DISPLAY", "UI_AUTORETRY_10SEC_DISPLAY", "UI_AUTORETRY_30SEC_DISPLAY",
                             "UI_AUTORETRY_60SEC_DISPLAY"};
const QStringList kShowTime{"UI_SHOWTIME_OFF", "UI_SHOWTIME_12HR", "UI_SHOWTIME_24HR", "UI_SHOWTIME_UTC_ONLY"};
const QStringList kBacklight{"UI_ALWAYS_OFF_DISPLAY", "UI_7SECONDS_DISPLAY", "UI_15SECONDS_DISPLAY",
                             "UI_30SECONDS_DISPLAY", "UI_ALWAYS_ON_DISPLAY"};
const QStringList kLanguages{"UI_LANGUAGE_ENGLISH",         "UI_LANGUAGE_SPANISH_LATIN",
                             "UI_LANGUAGE_PORTUGESE_LATIN", "UI_LANGUAGE_FRENCH_CANADIAN",
                             "UI_LANGUAGE_RUSSIAN",         "UI_LANGUAGE_CHINESE_SIMPLIFIED"};
const QStringList kPhoneBookOrder{"UI_ALPHABETIC_DISPLAY", "UI_LOCATION_DISPLAY"};
const QStringList kLockModes{"UI_LOCK_NEVER_DISPLAY", "UI_LOCK_ONPOWERUP_DISPLAY", "UI_LOCK_NOW_DISPLAY"};
const QStringList kSmsAlerts{"UI_DISABLE_SMS_ALERT", "UI_ENABLE_SINGLE_SMS_ALERT", "UI_ENABLE_PERIODIC_SMS_ALERT"};
const QStringList kPacketDataModes{"UI_AUTO_PPP_NONE", "UI_AUTO_PPP_CURRENT", "UI_AUTO_PPP_DIG_ONLY",
                                   "UI_AUTO_PPP_OBNET_ONLY"};
const QStringList kVolumes{"UI_VOLUME_DISPLAY_OFF", "UI_VOLUME_DISPLAY_1", "UI_VOLUME_DISPLAY_2",
                           "UI_VOLUME_DISPLAY_3",   "UI_VOLUME_DISPLAY_4", "UI_VOLUME_DISPLAY_5",
                           "UI_VOLUME_DISPLAY_6",   "UI_VOLUME_DISPLAY_7", "UI_VOLUME_DISPLAY_8",
                           "UI_VOLUME_DISPLAY_9",   "UI_VOLUME_DISPLAY_MAX"};
}  // namespace lists

uint32_t valueTextId(const QString& name) {
  // The texts follow one another in the resource library in the order of
  // the lists below, each list's names in their order.
  static const QHash<QString, uint32_t> ids = [] {
    QHash<QString, uint32_t> out;
    uint32_t id = text::kFirstValueText;
    for (const QStringList* list :
         {&lists::kBaudRates, &lists::kRingerTypes, &lists::kKeySounds, &lists::kKeyLengths, &lists::kCarkitVolumes,
          &lists::kAutoAnswer, &lists::kEnableDisable, &lists::kAutoRetry, &lists::kShowTime, &lists::kBacklight,
          &lists::kLanguages, &lists::kPhoneBookOrder, &lists::kLockModes, &lists::kSmsAlerts,
          &lists::kPacketDataModes, &lists::kVolumes}) {
      for (const QString& entry : *list) out.insert(entry, id++);
    }
    return out;
  }();
  return ids.value(name, 0);
}

namespace {

// Fixed-width character fields of the records: up to the first NUL.
QString fromChars(const char* chars, std::size_t size) {
  std::size_t length = 0;
  while (length < size && chars[length] != '\0') ++length;
  return QString::fromLatin1(chars, static_cast<qsizetype>(length));
}
bool toChars(const QString& text, char* chars, std::size_t size) {
  const QByteArray bytes = text.trimmed().toLatin1();
  if (static_cast<std::size_t>(bytes.size()) > size) return false;
  std::memset(chars, 0, size);
  std::memcpy(chars, bytes.constData(), static_cast<std::size_t>(bytes.size()));
  return true;
}
// A name field as the UT keeps it: Unicode units, or on a UT without
// Unicode names one code of its own character set per unit.
QString fromUnits(const int16_t* units, std::size_t size, bool unicode) {
  std::u16string codes;
  for (std::size_t i = 0; i < size && units[i] != 0; ++i) codes.push_back(static_cast<char16_t>(units[i]));
  return QString::fromStdU16String(vx::utconfig::decodeUtText(codes, unicode));
}
// The units of a name for the UT; nothing when it has a character the UT's
// set lacks or is longer than the field.
std::optional<std::u16string> toUnits(const QString& name, std::size_t size, bool unicode) {
  std::optional<std::u16string> codes = vx::utconfig::encodeUtText(name.toStdU16String(), unicode);
  if (!codes || codes->size() > size) return std::nullopt;
  return codes;
}
// Whether the UT keeps names in Unicode. A UT that cannot say is taken for
// one with its 8-bit set, as every UT before Unicode names was.
bool unicodeNames(Session& session) {
  auto ui = session.configAs<IUISettings_1_3>();
  int32_t unicode = 0;
  return ui && SUCCEEDED(ui->IsPhoneUnicode(&unicode)) && unicode != 0;
}
bool toNumber(const QString& text, int64_t minimum, int64_t maximum, int64_t* value) {
  bool ok = false;
  const qlonglong number = text.trimmed().toLongLong(&ok);
  if (!ok || number < minimum || number > maximum) return false;
  *value = number;
  return true;
}
// `count` record values from `first` on, each a number within [minimum,
// maximum]; false when one is not.
template <class T>
bool toNumbers(const RecordValues& values, qsizetype first, int count, int64_t minimum, int64_t maximum, T* out) {
  for (int k = 0; k < count; ++k) {
    int64_t value = 0;
    if (!toNumber(values.value(first + k), minimum, maximum, &value)) return false;
    out[k] = static_cast<T>(value);
  }
  return true;
}
template <class T>
RecordValues numberValues(const T* values, int count) {
  RecordValues out;
  for (int k = 0; k < count; ++k) out << QString::number(values[k]);
  return out;
}

// The one place a field asks for the configuration object's interface I:
// without it a read gives nothing and a write is refused (E_NOINTERFACE).
template <class I>
std::function<Value(Session&)> reading(std::function<Value(I&)> read) {
  return [read = std::move(read)](Session& s) -> Value {
    auto i = s.configAs<I>();
    return i ? read(*i.Get()) : std::nullopt;
  };
}
template <class I>
std::function<HRESULT(Session&, const QString&)> writing(std::function<HRESULT(I&, const QString&)> write) {
  if (!write) return nullptr;  // shown, not written back
  return [write = std::move(write)](Session& s, const QString& value) -> HRESULT {
    auto i = s.configAs<I>();
    return i ? write(*i.Get(), value) : E_NOINTERFACE;
  };
}

template <class I>
Field custom(uint32_t label, FieldKind kind, std::function<Value(I&)> read,
             std::function<HRESULT(I&, const QString&)> write) {
  Field f;
  f.label = label;
  f.kind = kind;
  f.read = reading<I>(std::move(read));
  f.write = writing<I>(std::move(write));
  return f;
}

// A record-shaped setting: its reader gives the record's values and its
// writer takes them, one per part of `shape`; the text the sheet shows is
// the shape's (record_text), and a text that does not fit it is refused.
template <class I>
Field record(uint32_t label, RecordShape shape, std::function<std::optional<RecordValues>(I&)> read,
             std::function<HRESULT(I&, const RecordValues&)> write) {
  Field f = custom<I>(
      label, FieldKind::Text,
      [shape, read = std::move(read)](I& i) -> Value {
        const std::optional<RecordValues> values = read(i);
        if (!values) return std::nullopt;
        return joinRecord(shape, *values);
      },
      [shape, write = std::move(write)](I& i, const QString& text) -> HRESULT {
        const std::optional<RecordValues> values = splitRecord(shape, text);
        return values ? write(i, *values) : E_INVALIDARG;
      });
  f.record = std::move(shape);
  return f;
}

template <class I>
Field choice(uint32_t label, QStringList values,
             HRESULT (I::*method)(GetSetType, LPWSTR, uint32_t, uint32_t*, LPWSTR*)) {
  Field f = custom<I>(
      label, FieldKind::Choice,
      [method](I& i) -> Value {
        uint32_t number = 0;
        LPWSTR name = nullptr;
        const HRESULT hr = (i.*method)(GET_PARAM, nullptr, 0, &number, &name);
        QString text = takeText(name);
        if (FAILED(hr)) return std::nullopt;
        return text;
      },
      [method](I& i, const QString& value) -> HRESULT {
        std::u16string name = value.toStdU16String();
        uint32_t number = 0;
        LPWSTR echoed = nullptr;
        const HRESULT hr = (i.*method)(SET_PARAM, name.data(), 0, &number, &echoed);
        takeText(echoed);
        return hr;
      });
  f.choices = std::move(values);
  return f;
}

template <class I>
Field flag(uint32_t label, HRESULT (I::*method)(GetSetType, int32_t, int32_t*)) {
  return custom<I>(
      label, FieldKind::Flag,
      [method](I& i) -> Value {
        int32_t on = 0;
        if (FAILED((i.*method)(GET_PARAM, 0, &on))) return std::nullopt;
        return QString::number(on != 0 ? 1 : 0);
      },
      [method](I& i, const QString& value) -> HRESULT {
        int32_t unused = 0;
        return (i.*method)(SET_PARAM, value == QLatin1String("1") ? 1 : 0, &unused);
      });
}

template <class I, class T>
Field number(uint32_t label, int64_t minimum, int64_t maximum, HRESULT (I::*method)(GetSetType, T, T*)) {
  Field f = custom<I>(
      label, FieldKind::Number,
      [method](I& i) -> Value {
        T value{};
        if (FAILED((i.*method)(GET_PARAM, T{}, &value))) return std::nullopt;
        return QString::number(static_cast<qlonglong>(value));
      },
      [method, minimum, maximum](I& i, const QString& text) -> HRESULT {
        int64_t value = 0;
        if (!toNumber(text, minimum, maximum, &value)) return E_INVALIDARG;
        T unused{};
        return (i.*method)(SET_PARAM, static_cast<T>(value), &unused);
      });
  f.minimum = minimum;
  f.maximum = maximum;
  return f;
}

// A time kept in seconds, shown in minutes (15 when it cannot be read).
template <class I>
Field minutes(uint32_t label, HRESULT (I::*method)(GetSetType, uint32_t, uint32_t*)) {
  Field f = custom<I>(
      label, FieldKind::Number,
      [method](I& i) -> Value {
        uint32_t seconds = 0;
        if (FAILED((i.*method)(GET_PARAM, 0, &seconds))) return std::nullopt;
        return QString::number(seconds / 60);
      },
      [method](I& i, const QString& text) -> HRESULT {
        int64_t value = 0;
        if (!toNumber(text, 0, 71582788, &value)) return E_INVALIDARG;
        uint32_t unused = 0;
        return (i.*method)(SET_PARAM, static_cast<uint32_t>(value * 60), &unused);
      });
  f.minimum = 0;
  f.maximum = 71582788;  // minutes whose seconds fit 32 bits
  f.fallback = QStringLiteral("15");
  f.disableUnread = false;
  return f;
}

template <class I>
Field text(uint32_t label, HRESULT (I::*method)(GetSetType, LPWSTR, LPWSTR*)) {
  return custom<I>(
      label, FieldKind::Text,
      [method](I& i) -> Value {
        LPWSTR result = nullptr;
        const HRESULT hr = (i.*method)(GET_PARAM, nullptr, &result);
        QString value = takeText(result);
        if (FAILED(hr)) return std::nullopt;
        // The UT pads its text rows with spaces (or zeros) to their full width;
        // the padding is no part of the text the engineer sees and edits.
        qsizetype end = value.size();
        while (end > 0 && (value[end - 1] == QLatin1Char(' ') || value[end - 1] == QChar(0))) --end;
        value.truncate(end);
        return value;
      },
      [method](I& i, const QString& value) -> HRESULT {
        std::u16string wide = value.toStdU16String();
        LPWSTR echoed = nullptr;
        const HRESULT hr = (i.*method)(SET_PARAM, wide.data(), &echoed);
        takeText(echoed);
        return hr;
      });
}

RecordPart digitsPart(uint32_t label, int digits, int group) {
  RecordPart part;
  part.label = label;
  part.group = group;
  part.digits = digits;
  return part;
}

RecordPart numberPart(uint32_t label, int64_t minimum, int64_t maximum, int group, int number = -1) {
  RecordPart part;
  part.label = label;
  part.number = number;
  part.group = group;
  part.minimum = minimum;
  part.maximum = maximum;
  return part;
}

// A country and a network code, as the service provider records keep them.
RecordShape countryNetwork() {
  return {{digitsPart(text::kMcc, 3, 0), digitsPart(text::kMnc, 3, 1)}};
}

// The home service provider, "country,network".
Field homeSp() {
  return record<IOrbitnetSettings>(
      text::kHomeSp, countryNetwork(),
      [](IOrbitnetSettings& i) -> std::optional<RecordValues> {
        last_sp_reg_type sp{};
        if (FAILED(i.HomeSP(GET_PARAM, &sp)) || sp.valid == 0) return std::nullopt;
        return RecordValues{fromChars(sp.mcc, 3), fromChars(sp.mnc, 3)};
      },
      [](IOrbitnetSettings& i, const RecordValues& v) -> HRESULT {
        last_sp_reg_type sp{};
        sp.valid = 1;
        if (!toChars(v[0], sp.mcc, 3) || !toChars(v[1], sp.mnc, 3)) return E_INVALIDARG;
        return i.HomeSP(SET_PARAM, &sp);
      });
}

Field packetDataMode(int nam) {
  Field f = custom<ITerrestrialSettings_1_5>(
      text::kPacketDataMode, FieldKind::Choice,
      [nam](ITerrestrialSettings_1_5& i) -> Value {
        uint32_t number = 0;
        LPWSTR name = nullptr;
        const HRESULT hr = i.CDMA_PacketDataPreferredMode(GET_PARAM, nam, nullptr, 0, &number, &name);
        QString value = takeText(name);
        if (FAILED(hr)) return std::nullopt;
        return value;
      },
      [nam](ITerrestrialSettings_1_5& i, const QString& value) -> HRESULT {
        std::u16string name = value.toStdU16String();
        uint32_t number = 0;
        LPWSTR echoed = nullptr;
        const HRESULT hr = i.CDMA_PacketDataPreferredMode(SET_PARAM, nam, name.data(), 0, &number, &echoed);
        takeText(echoed);
        return hr;
      });
  f.choices = lists::kPacketDataModes;
  return f;
}

std::vector<Field> cellularNam(int nam) {
  std::vector<Field> fields;
  fields.push_back(record<ITerrestrialSettings>(
      text::kCellularImsi,
      {{digitsPart(text::kMcc, 3, 0), digitsPart(text::kImsiDigits11To12, 2, 1), digitsPart(text::kMinDigits, 10, 2)}},
      [nam](ITerrestrialSettings& i) -> std::optional<RecordValues> {
        cellular_imsi_type imsi{};
        if (FAILED(i.CellularIMSI(GET_PARAM, nam, &imsi))) return std::nullopt;
        return RecordValues{fromChars(imsi.mcc, 3), fromChars(imsi.i11_12, 2),
                            fromChars(imsi.min2, 3) + fromChars(imsi.min1, 7)};
      },
      [nam](ITerrestrialSettings& i, const RecordValues& v) -> HRESULT {
        cellular_imsi_type imsi{};
        imsi.valid = 1;
        if (v[2].size() != 10 || !toChars(v[0], imsi.mcc, 3) || !toChars(v[1], imsi.i11_12, 2) ||
            !toChars(v[2].left(3), imsi.min2, 3) || !toChars(v[2].mid(3), imsi.min1, 7)) {
          return E_INVALIDARG;
        }
        return i.CellularIMSI(SET_PARAM, nam, &imsi);
      }));
  fields.push_back(custom<ITerrestrialSettings>(
      text::kAmpsMin, FieldKind::Text,
      [nam](ITerrestrialSettings& i) -> Value {
        amps_min_type min{};
        if (FAILED(i.AmpsMIN(GET_PARAM, nam, &min))) return std::nullopt;
        return fromChars(min.min2, 3) + fromChars(min.min1, 7);
      },
      [nam](ITerrestrialSettings& i, const QString& value) -> HRESULT {
        const QString digits = value.trimmed();
        amps_min_type min{};
        min.valid = 1;
        if (digits.size() != 10 || !toChars(digits.left(3), min.min2, 3) || !toChars(digits.mid(3), min.min1, 7)) {
          return E_INVALIDARG;
        }
        return i.AmpsMIN(SET_PARAM, nam, &min);
      }));
  Field accolc = custom<ITerrestrialSettings>(
      text::kAccolc, FieldKind::Number,
      [nam](ITerrestrialSettings& i) -> Value {
        uint8_t value = 0;
        if (FAILED(i.ACCOLC(GET_PARAM, nam, 1, 0, &value))) return std::nullopt;
        return QString::number(value);
      },
      [nam](ITerrestrialSettings& i, const QString& text) -> HRESULT {
        int64_t value = 0;
        if (!toNumber(text, 0, 15, &value)) return E_INVALIDARG;
        uint8_t unused = 0;
        return i.ACCOLC(SET_PARAM, nam, 1, static_cast<uint8_t>(value), &unused);
      });
  accolc.maximum = 15;
  fields.push_back(accolc);
  fields.push_back(custom<ITerrestrialSettings>(
      text::kSmsTimeStamp, FieldKind::Flag,
      [nam](ITerrestrialSettings& i) -> Value {
        int32_t on = 0;
        if (FAILED(i.CDMA_SMSTimeStampAdjust(GET_PARAM, 0, nam, &on))) return std::nullopt;
        return QString::number(on != 0 ? 1 : 0);
      },
      [nam](ITerrestrialSettings& i, const QString& value) -> HRESULT {
        int32_t unused = 0;
        return i.CDMA_SMSTimeStampAdjust(SET_PARAM, value == QLatin1String("1") ? 1 : 0, nam, &unused);
      }));
  fields.push_back(packetDataMode(nam));
  return fields;
}

std::vector<Field> orbitnetNam() {
  std::vector<Field> fields;
  fields.push_back(custom<IOrbitnetSettings>(
      text::kDirectoryNumber, FieldKind::Text,
      [](IOrbitnetSettings& i) -> Value {
        LPWSTR number = nullptr;
        const HRESULT hr = i.DirectoryNumber(GET_PARAM, -1, nullptr, &number);
        QString value = takeText(number);
        if (FAILED(hr)) return std::nullopt;
        return value;
      },
      [](IOrbitnetSettings& i, const QString& value) -> HRESULT {
        std::u16string wide = value.trimmed().toStdU16String();
        LPWSTR echoed = nullptr;
        const HRESULT hr = i.DirectoryNumber(SET_PARAM, -1, wide.data(), &echoed);
        takeText(echoed);
        return hr;
      }));
  fields.push_back(record<IOrbitnetSettings>(
      text::kSatImsi,
      {{digitsPart(text::kMcc, 3, 0), digitsPart(text::kMnc, 3, 1), digitsPart(text::kMsinDigits, 10, 2)}},
      [](IOrbitnetSettings& i) -> std::optional<RecordValues> {
        orbitnet_imsi_type imsi{};
        if (FAILED(i.OBIMSI(GET_PARAM, &imsi))) return std::nullopt;
        return RecordValues{fromChars(imsi.mcc, 3), fromChars(imsi.mnc, 3), fromChars(imsi.msin, 10)};
      },
      [](IOrbitnetSettings& i, const RecordValues& v) -> HRESULT {
        orbitnet_imsi_type imsi{};
        imsi.valid = 1;
        imsi.imsi_type = OB_TRUE_IMSI;
        if (!toChars(v[0], imsi.mcc, 3) || !toChars(v[1], imsi.mnc, 3) || !toChars(v[2], imsi.msin, 10)) {
          return E_INVALIDARG;
        }
        return i.OBIMSI(SET_PARAM, &imsi);
      }));
  fields.push_back(number<IOrbitnetSettings, uint16_t>(text::kLossOfCoverage, 0, 65535,
                                                       &IOrbitnetSettings::LossOfCoverageTimer));
  fields.push_back(number<IOrbitnetSettings, uint32_t>(text::kLastGateway, 0, 4294967295LL,
                                                       &IOrbitnetSettings::LastGWRegistration));
  fields.push_back(custom<IOrbitnetSettings>(
      text::kLastSp, FieldKind::Text,
      [](IOrbitnetSettings& i) -> Value {
        last_sp_reg_type sp{};
        if (FAILED(i.LastSPRegistration(GET_PARAM, &sp))) return std::nullopt;
        return fromChars(sp.mcc, 3) + QLatin1Char(',') + fromChars(sp.mnc, 3);
      },
      nullptr));
  fields.push_back(record<IOrbitnetSettings>(
      text::kHomeGateway,
      {{numberPart(text::kChannel, INT16_MIN, INT16_MAX, 0), numberPart(text::kGateway, INT32_MIN, INT32_MAX, 1)}},
      [](IOrbitnetSettings& i) -> std::optional<RecordValues> {
        int16_t channel = 0;
        int32_t gateway = 0;
        if (FAILED(i.HomeGatewayInfo(GET_PARAM, &channel, &gateway))) return std::nullopt;
        return RecordValues{QString::number(channel), QString::number(gateway)};
      },
      [](IOrbitnetSettings& i, const RecordValues& v) -> HRESULT {
        int16_t channel = 0;
        int32_t gateway = 0;
        if (!toNumbers(v, 0, 1, INT16_MIN, INT16_MAX, &channel) || !toNumbers(v, 1, 1, INT32_MIN, INT32_MAX, &gateway)) {
          return E_INVALIDARG;
        }
        return i.HomeGatewayInfo(SET_PARAM, &channel, &gateway);
      }));
  fields.push_back(homeSp());
  fields.push_back(number<IOrbitnetSettings, uint16_t>(text::kSatAccolc, 0, 65535, &IOrbitnetSettings::OBACCOLC));
  RecordShape classes;
  for (int k = 0; k < 13; ++k) classes.parts.push_back(numberPart(text::kAccessClassN, INT16_MIN, INT16_MAX, k, k));
  fields.push_back(record<IOrbitnetSettings>(
      text::kAcList, classes,
      [](IOrbitnetSettings& i) -> std::optional<RecordValues> {
        aclist_type list{};
        if (FAILED(i.ACList(GET_PARAM, &list))) return std::nullopt;
        return numberValues(list.acl, 13);
      },
      [](IOrbitnetSettings& i, const RecordValues& v) -> HRESULT {
        aclist_type list{};
        list.valid = 1;
        if (!toNumbers(v, 0, 13, INT16_MIN, INT16_MAX, list.acl)) return E_INVALIDARG;
        return i.ACList(SET_PARAM, &list);
      }));
  fields.push_back(flag<IOrbitnetSettings>(text::kSmsTimeStamp, &IOrbitnetSettings::OB_SMSTimeStampAdjust));
  fields.push_back(choice<IOrbitnetSettings_1_5>(text::kPacketDataMode, lists::kPacketDataModes,
                                                 &IOrbitnetSettings_1_5::OB_PacketDataPreferredMode));
  return fields;
}

std::vector<Field> general() {
  std::vector<Field> f;
  f.push_back(flag<IGeneralSettings>(text::kAutoNam, &IGeneralSettings::AutoNAM));
  f.push_back(number<IGeneralSettings, uint8_t>(text::kCurrentNam, 0, 2, &IGeneralSettings::CurrentNAM));
  f.push_back(number<IGeneralSettings, uint8_t>(text::kCdmaSlotCycle, 0, 7, &IGeneralSettings::CDMASlotCycleIndex));
  f.push_back(number<IGeneralSettings_1_3, uint8_t>(text::kSatSlotCycle, 0, 7,
                                                    &IGeneralSettings_1_3::OrbitnetSlotCycleIndex));
  f.push_back(number<IGeneralSettings_1_3, uint8_t>(text::kSatSlottedMode, 0, 255,
                                                    &IGeneralSettings_1_3::OrbitnetSlottedMode));
  f.push_back(minutes<IGeneralSettings>(text::kNoServiceSleep, &IGeneralSettings::NoServiceTimeUntilSleep));
  f.push_back(minutes<IGeneralSettings>(text::kDeepSleep, &IGeneralSettings::DeepSleepDuration));
  f.push_back(number<IGeneralSettings_1_2, uint16_t>(text::kSleepScan, 0, 65535,
                                                     &IGeneralSettings_1_2::SleepServiceScanInterval));
  f.push_back(choice<IGeneralSettings_1_2>(text::kDataBaud, lists::kBaudRates,
                                           &IGeneralSettings_1_2::DataServicesBaudRate));
  return f;
}

std::vector<Field> sounds() {
  std::vector<Field> f;
  Field earpiece = choice<IUISettings>(text::kEarpieceVolume, {}, &IUISettings::EarPieceVolume);
  earpiece.enumPath = QStringLiteral("NV_UI_EARPIECE_VOLUME.ui_volume_display_type");
  Field keyBeep = choice<IUISettings>(text::kKeyBeepVolume, {}, &IUISettings::KeyBeepVolume);
  keyBeep.enumPath = QStringLiteral("NV_UI_KEYBEEP_VOLUME.ui_volume_display_type");
  Field ringer = choice<IUISettings>(text::kRingerVolume, {}, &IUISettings::RingerVolume);
  ringer.enumPath = QStringLiteral("NV_UI_RINGER_VOLUME.ui_volume_display_type");
  f.push_back(earpiece);
  f.push_back(keyBeep);
  f.push_back(ringer);
  f.push_back(choice<IUISettings>(text::kCarkitHandset, lists::kCarkitVolumes, &IUISettings::CarkitHandset));
  f.push_back(choice<IUISettings>(text::kCarkitHandsfree, lists::kCarkitVolumes, &IUISettings::CarkitHandsfree));
  f.push_back(choice<IUISettings>(text::kRingerType, lists::kRingerTypes, &IUISettings::RingerType));
  f.push_back(choice<IUISettings>(text::kKeyBeepSound, lists::kKeySounds, &IUISettings::KeyBeepSound));
  f.push_back(choice<IUISettings>(text::kKeyBeepLength, lists::kKeyLengths, &IUISettings::KeyBeepLength));
  return f;
}

std::vector<Field> features() {
  std::vector<Field> f;
  f.push_back(choice<IUISettings>(text::kAutoAnswer, lists::kAutoAnswer, &IUISettings::AutoAnswer));
  f.push_back(choice<IUISettings>(text::kOneTouchDial, lists::kEnableDisable, &IUISettings::OneTouchDial));
  Field anyKey = flag<IUISettings>(text::kAnyKeyAnswer, &IUISettings::AnyKeyAnswer);
  anyKey.write = nullptr;  // shown, not written back
  f.push_back(anyKey);
  f.push_back(choice<IUISettings>(text::kAutoRetry, lists::kAutoRetry, &IUISettings::AutoRetry));
  f.push_back(number<IUISettings, uint16_t>(text::kTimezone, 0, 65535, &IUISettings::Timezone));
  f.push_back(choice<IUISettings>(text::kShowTime, lists::kShowTime, &IUISettings::ShowTime));
  f.push_back(choice<IUISettings>(text::kBacklight, lists::kBacklight, &IUISettings::Backlight));
  f.push_back(flag<IUISettings>(text::kAutoHyphen, &IUISettings::AutoHyphen));
  f.push_back(text<IUISettings>(text::kBanner, &IUISettings::Banner));
  // The languages offered are those the UT says it has.
  Field language = choice<IUISettings_1_1>(text::kLanguage, lists::kLanguages, &IUISettings_1_1::Language);
  language.enumPath = QStringLiteral("?IsLanguage");
  f.push_back(language);
  f.push_back(choice<IUISettings_1_5>(text::kSortPhonebook, lists::kPhoneBookOrder, &IUISettings_1_5::SortPhonebook));
  return f;
}

std::vector<Field> securityAlerts() {
  std::vector<Field> f;
  f.push_back(flag<IGeneralSettings>(text::kServiceAlert, &IGeneralSettings::ServiceAlert));
  f.push_back(flag<IGeneralSettings>(text::kCallFade, &IGeneralSettings::CallFade));
  f.push_back(flag<IGeneralSettings>(text::kMinuteAlert, &IGeneralSettings::MinuteAlert));
  f.push_back(flag<IGeneralSettings>(text::kRestrictUt, &IGeneralSettings::RestrictUT));
  f.push_back(choice<IGeneralSettings>(text::kLockMode, lists::kLockModes, &IGeneralSettings::LockMode));
  f.push_back(text<IGeneralSettings>(text::kFieldServiceCode, &IGeneralSettings::FieldServiceHiddenCode));
  f.push_back(text<IGeneralSettings>(text::kUserLockCode, &IGeneralSettings::UserLockCode));
  f.push_back(text<IGeneralSettings>(text::kHiddenMenuCode, &IGeneralSettings::SystemHiddenMenuCode));
  f.push_back(choice<IGeneralSettings_1_4>(text::kSmsAlert, lists::kSmsAlerts, &IGeneralSettings_1_4::SMSMessageAlert));
  f.push_back(custom<IGeneralSettings>(
      text::kUserEmergency, FieldKind::Text,
      [](IGeneralSettings& i) -> Value {
        emergency_pnumber_type number{};
        if (FAILED(i.UserEmergencyNumber(GET_PARAM, 0, &number))) return std::nullopt;
        const int used = std::clamp(number.digits_index, 0, 32);
        return QString::fromLatin1(reinterpret_cast<const char*>(number.digits), used).trimmed();
      },
      [](IGeneralSettings& i, const QString& value) -> HRESULT {
        const QByteArray digits = value.trimmed().toLatin1();
        if (digits.size() > 32) return E_INVALIDARG;
        emergency_pnumber_type number{};
        i.UserEmergencyNumber(GET_PARAM, 0, &number);
        std::memset(number.digits, ' ', sizeof number.digits);
        std::memcpy(number.digits, digits.constData(), static_cast<std::size_t>(digits.size()));
        number.digits_index = static_cast<int32_t>(digits.size());
        return i.UserEmergencyNumber(SET_PARAM, 0, &number);
      }));
  return f;
}

// Two numbers in one field: "order,reason".
Field orderReason(uint32_t label, HRESULT (IGeneralSettings::*method)(GetSetType, uint8_t*, uint8_t*)) {
  return record<IGeneralSettings>(
      label, {{numberPart(text::kOrder, 0, 255, 0), numberPart(text::kReason, 0, 255, 1)}},
      [method](IGeneralSettings& i) -> std::optional<RecordValues> {
        uint8_t order = 0, reason = 0;
        if (FAILED((i.*method)(GET_PARAM, &order, &reason))) return std::nullopt;
        return RecordValues{QString::number(order), QString::number(reason)};
      },
      [method](IGeneralSettings& i, const RecordValues& v) -> HRESULT {
        uint8_t pair[2] = {};
        if (!toNumbers(v, 0, 2, 0, 255, pair)) return E_INVALIDARG;
        return (i.*method)(SET_PARAM, &pair[0], &pair[1]);
      });
}

std::vector<Field> maintenance() {
  std::vector<Field> f;
  f.push_back(number<IGeneralSettings, uint8_t>(text::kSatLockOrder, 0, 255, &IGeneralSettings::OBLockOrderReason));
  f.push_back(number<IGeneralSettings, uint8_t>(text::kSatMaintOrder, 0, 255, &IGeneralSettings::OBMaintOrderReason));
  f.push_back(orderReason(text::kCdmaLockOrder, &IGeneralSettings::CDMALockOrderReason));
  f.push_back(orderReason(text::kCdmaMaintOrder, &IGeneralSettings::CDMAMaintOrderReason));
  return f;
}

std::vector<Field> afut() {
  std::vector<Field> f;
  RecordShape tones{{}, QLatin1Char(';')};
  for (int tone = AFUT_RING; tone < AFUT_END_OF_ENUMS; ++tone) {
    tones.parts.push_back(numberPart(text::kFirstToneName + static_cast<uint32_t>(tone), 0, 255, 0));
  }
  RecordShape customTone{{}, QLatin1Char(';')};
  RecordPart toneType = numberPart(text::kToneType, AFUT_RING, AFUT_END_OF_ENUMS - 1, 0);
  toneType.firstChoiceText = text::kFirstToneName;
  customTone.parts.push_back(toneType);
  for (int k = 1; k <= 8; ++k) customTone.parts.push_back(numberPart(text::kToneN, 0, 65535, 1, k));
  for (int k = 1; k <= 8; ++k) customTone.parts.push_back(numberPart(text::kDurationN, 0, 65535, 2, k));
  RecordShape dtmfPairs{{}, QLatin1Char(';')};
  for (int k = 0; k < 10; ++k) dtmfPairs.parts.push_back(numberPart(text::kDtmfHighN, 0, 65535, 0, k));
  for (int k = 0; k < 10; ++k) dtmfPairs.parts.push_back(numberPart(text::kDtmfLowN, 0, 65535, 1, k));
  f.push_back(number<IAFUTSettings, uint8_t>(text::kNoDigitsTimeout, 0, 255, &IAFUTSettings::NoDialedDigitsTimeout));
  f.push_back(number<IAFUTSettings, uint8_t>(text::kDialEndTimeout, 0, 255, &IAFUTSettings::DialingEndTimeout));
  f.push_back(record<IAFUTSettings>(
      text::kToneIndex, tones,
      [](IAFUTSettings& i) -> std::optional<RecordValues> {
        RecordValues values;
        for (int tone = AFUT_RING; tone < AFUT_END_OF_ENUMS; ++tone) {
          uint8_t index = 0;
          if (FAILED(i.ToneIndex(GET_PARAM, static_cast<AFUTToneIDs>(tone), &index))) return std::nullopt;
          values << QString::number(index);
        }
        return values;
      },
      [](IAFUTSettings& i, const RecordValues& v) -> HRESULT {
        uint8_t indexes[AFUT_END_OF_ENUMS];
        if (!toNumbers(v, 0, AFUT_END_OF_ENUMS, 0, 255, indexes)) return E_INVALIDARG;
        for (int tone = AFUT_RING; tone < AFUT_END_OF_ENUMS; ++tone) {
          const HRESULT hr = i.ToneIndex(SET_PARAM, static_cast<AFUTToneIDs>(tone), &indexes[tone]);
          if (FAILED(hr)) return hr;
        }
        return S_OK;
      }));
  // The UT keeps a custom tone for each tone type; the type chooses which
  // one is read and written. The page starts with the first type's.
  auto toneOf = [](IAFUTSettings& i, int type) -> std::optional<RecordValues> {
    nv_afut_custom_tone_type tone{};
    tone.toneType = static_cast<AFUTToneIDs>(type);
    if (FAILED(i.CustomTone(GET_PARAM, &tone))) return std::nullopt;
    return RecordValues{QString::number(type)} + numberValues(tone.tone, 8) + numberValues(tone.duration_ms, 8);
  };
  Field customToneField = record<IAFUTSettings>(
      text::kCustomTone, customTone, [toneOf](IAFUTSettings& i) { return toneOf(i, AFUT_RING); },
      [](IAFUTSettings& i, const RecordValues& v) -> HRESULT {
        nv_afut_custom_tone_type tone{};
        tone.valid = 1;
        int type = 0;
        if (!toNumbers(v, 0, 1, 0, AFUT_END_OF_ENUMS - 1, &type) || !toNumbers(v, 1, 8, 0, 65535, tone.tone) ||
            !toNumbers(v, 9, 8, 0, 65535, tone.duration_ms)) {
          return E_INVALIDARG;
        }
        tone.toneType = static_cast<AFUTToneIDs>(type);
        return i.CustomTone(SET_PARAM, &tone);
      });
  customToneField.readSelected = [customTone, toneOf](Session& s, int type) {
    return reading<IAFUTSettings>([&](IAFUTSettings& i) -> Value {
      const std::optional<RecordValues> values = toneOf(i, type);
      if (!values) return std::nullopt;
      return joinRecord(customTone, *values);
    })(s);
  };
  f.push_back(customToneField);
  f.push_back(record<IAFUTSettings>(
      text::kCustomDtmf, dtmfPairs,
      [](IAFUTSettings& i) -> std::optional<RecordValues> {
        nv_afut_custom_dtmf_tone_type dtmf{};
        if (FAILED(i.CustomDTMF(GET_PARAM, &dtmf))) return std::nullopt;
        return numberValues(dtmf.index_hi, 10) + numberValues(dtmf.index_lo, 10);
      },
      [](IAFUTSettings& i, const RecordValues& v) -> HRESULT {
        nv_afut_custom_dtmf_tone_type dtmf{};
        dtmf.valid = 1;
        if (!toNumbers(v, 0, 10, 0, 65535, dtmf.index_hi) || !toNumbers(v, 10, 10, 0, 65535, dtmf.index_lo)) {
          return E_INVALIDARG;
        }
        return i.CustomDTMF(SET_PARAM, &dtmf);
      }));
  f.push_back(number<IAFUTSettings_1_3, uint16_t>(text::kEndCallWink, 0, 65535, &IAFUTSettings_1_3::EndCallWink));
  return f;
}

// The value list the UT gives for an enumeration, "name,value,\r\n" lines.
QStringList enumEntries(Session& session, const QString& path) {
  QStringList names;
  auto params = session.connectionAs<IVexParams1>();
  if (!params) return names;
  const std::u16string wide = path.toStdU16String();
  LPWSTR entries = nullptr;
  UI4 count = 0;
  if (FAILED(params->ReadNodeEnumEntries(wide.c_str(), &entries, &count))) {
    takeText(entries);
    return names;
  }
  for (const QString& line : takeText(entries).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts)) {
    names << line.section(QLatin1Char(','), 0, 0);
  }
  return names;
}

QStringList utLanguages(Session& session) {
  QStringList offered;
  auto ui = session.configAs<IUISettings_1_3>();
  if (!ui) return offered;
  for (const QString& name : lists::kLanguages) {
    std::u16string wide = name.toStdU16String();
    std::vector<int16_t> units(wide.begin(), wide.end());
    units.push_back(0);
    int32_t has = 0;
    if (SUCCEEDED(ui->IsLanguage(units.data(), &has)) && has != 0) offered << name;
  }
  return offered;
}

}  // namespace

std::vector<PageId> pagesForModel(UTMainModel model) {
  std::vector<PageId> pages;
  if (model == UTM_UNKNOWN) return pages;
  pages.push_back(PageId::OrbitnetNam);
  if (model == UTM_TRIMODE_PORTABLE) {
    pages.push_back(PageId::CellularNam1);
    pages.push_back(PageId::CellularNam2);
  }
  pages.push_back(PageId::General);
  if (model != UTM_ANALOG_FIXED && model != UTM_MODULE) {
    pages.push_back(PageId::Features);
    pages.push_back(PageId::Sounds);
    pages.push_back(PageId::SecurityAlerts);
    pages.push_back(PageId::PhoneBook);
  }
  if (model == UTM_ANALOG_FIXED) pages.push_back(PageId::Afut);
  pages.push_back(PageId::ServiceProviders);
  pages.push_back(PageId::Maintenance);
  return pages;
}

uint32_t pageTitle(PageId page) {
  switch (page) {
    case PageId::OrbitnetNam: return 61367;
    case PageId::CellularNam1: return 61366;
    case PageId::CellularNam2: return 61254;
    case PageId::General: return 61360;
    case PageId::Features: return 61362;
    case PageId::Sounds: return 61361;
    case PageId::SecurityAlerts: return 61363;
    case PageId::PhoneBook: return 61365;
    case PageId::Afut: return 61369;
    case PageId::ServiceProviders: return 61364;
    case PageId::Maintenance: return 61368;
  }
  return 0;
}

std::vector<Field> pageFields(PageId page) {
  switch (page) {
    case PageId::OrbitnetNam: return orbitnetNam();
    case PageId::CellularNam1: return cellularNam(0);
    case PageId::CellularNam2: return cellularNam(1);
    case PageId::General: return general();
    case PageId::Features: return features();
    case PageId::Sounds: return sounds();
    case PageId::SecurityAlerts: return securityAlerts();
    case PageId::Afut: return afut();
    case PageId::Maintenance: return maintenance();
    case PageId::ServiceProviders: return {homeSp()};
    case PageId::PhoneBook: return {};
  }
  return {};
}

PageValues readPage(Session& session, const std::vector<Field>& fields) {
  PageValues out;
  for (const Field& field : fields) {
    out.values.push_back(field.read ? field.read(session) : std::nullopt);
    QStringList choices;
    if (field.kind == FieldKind::Choice) {
      if (field.enumPath == QLatin1String("?IsLanguage")) {
        choices = utLanguages(session);
      } else if (!field.enumPath.isEmpty()) {
        choices = enumEntries(session, field.enumPath);
      } else {
        choices = field.choices;
      }
    }
    out.choices.push_back(choices);
  }
  return out;
}

std::vector<ListRow> readPhoneBook(Session& session) {
  std::vector<ListRow> rows;
  auto ui = session.configAs<IUISettings_1_3>();
  if (!ui) return rows;
  int32_t valid = 0;
  if (FAILED(ui->IsValidPB(&valid)) || valid == 0) return rows;
  const bool unicode = unicodeNames(session);
  for (int index = 1; index <= 99; ++index) {
    // Every position is listed, the empty ones too, so that an entry can
    // be added where there is none.
    phonebook_entry_unicode_type entry{};
    if (FAILED(ui->PhoneBookEntryUnicode(GET_PARAM, index, &entry))) continue;
    const bool used = entry.allocated != 0 && entry.valid != 0;
    const int digits = used ? std::clamp(entry.digits_index, 0, 32) : 0;
    const QString number = QString::fromLatin1(reinterpret_cast<const char*>(entry.digits), digits).trimmed();
    const QString name = used ? fromUnits(entry.unicode_alpha, 12, unicode).trimmed() : QString();
    rows.push_back(
        {index, {QString::number(index), name, number, used && entry.secret != 0 ? QStringLiteral("*") : QString()}});
  }
  return rows;
}

std::vector<ListRow> readServiceProviders(Session& session) {
  std::vector<ListRow> rows;
  auto general = session.configAs<IGeneralSettings_1_3>();
  if (!general) return rows;
  const bool unicode = unicodeNames(session);
  for (int index = 0; index <= 66; ++index) {
    // Every position is listed, the empty ones too, so that a provider can
    // be added where there is none.
    knownsp_entry_unicode_type entry{};
    if (FAILED(general->KnownSPEntryUnicode(GET_PARAM, index, &entry))) continue;
    if (entry.valid == 0) {
      rows.push_back({index, {QString::number(index), {}, {}, {}, {}, {}, {}}});
      continue;
    }
    // A two-digit code is kept with a filler digit, read as a space.
    rows.push_back({index,
                    {QString::number(index), fromChars(entry.mcc, 3).trimmed(), fromChars(entry.mnc, 3).trimmed(),
                     fromUnits(entry.u_mcc_name, 12, unicode).trimmed(), fromUnits(entry.u_mnc_name, 12, unicode).trimmed(),
                     QString::number(entry.pos_in_pref_list), entry.is_prohibited != 0 ? QStringLiteral("*") : QString()}});
  }
  return rows;
}

HRESULT writePhoneBookEntry(Session& session, int index, const QString& name, const QString& number, bool secret) {
  auto ui = session.configAs<IUISettings_1_3>();
  if (!ui) return E_NOINTERFACE;
  phonebook_entry_unicode_type entry{};
  HRESULT hr = ui->PhoneBookEntryUnicode(GET_PARAM, index, &entry);
  if (FAILED(hr)) return hr;
  const QByteArray digits = number.trimmed().toLatin1();
  const std::optional<std::u16string> units = toUnits(name, 12, unicodeNames(session));
  if (digits.size() > 32 || !units) return E_INVALIDARG;
  const std::u16string& alpha = *units;
  std::memset(entry.digits, ' ', sizeof entry.digits);
  std::memcpy(entry.digits, digits.constData(), static_cast<std::size_t>(digits.size()));
  entry.digits_index = static_cast<int32_t>(digits.size());
  for (std::size_t k = 0; k < 12; ++k) {
    entry.unicode_alpha[k] = k < alpha.size() ? static_cast<int16_t>(alpha[k]) : static_cast<int16_t>(' ');
  }
  entry.secret = secret ? 1 : 0;
  // A position emptied of name and number holds no entry any more.
  entry.allocated = 1;
  entry.valid = digits.isEmpty() && name.trimmed().isEmpty() ? 0 : 1;
  entry.pb_position = index;
  return ui->PhoneBookEntryUnicode(SET_PARAM, index, &entry);
}

HRESULT writeServiceProvider(Session& session, int index, const QString& mcc, const QString& mnc,
                             const QString& countryName, const QString& networkName, int preference, bool prohibited) {
  auto general = session.configAs<IGeneralSettings_1_3>();
  if (!general) return E_NOINTERFACE;
  knownsp_entry_unicode_type entry{};
  HRESULT hr = general->KnownSPEntryUnicode(GET_PARAM, index, &entry);
  if (FAILED(hr)) return hr;
  // A provider is its country and network codes (two or three digits
  // each); a position emptied of both and of its names holds none any more.
  const QString country = mcc.trimmed(), network = mnc.trimmed();
  static const QRegularExpression code(QStringLiteral("^[0-9]{2,3}$"));
  if (country.isEmpty() && network.isEmpty() && countryName.trimmed().isEmpty() && networkName.trimmed().isEmpty()) {
    entry.valid = 0;
    return general->KnownSPEntryUnicode(SET_PARAM, index, &entry);
  }
  if (!code.match(country).hasMatch() || !code.match(network).hasMatch()) return E_INVALIDARG;
  entry.valid = 1;
  // The code's unused last digit is the filler the UT reads as a space.
  std::memset(entry.mcc, ' ', sizeof entry.mcc);
  std::memset(entry.mnc, ' ', sizeof entry.mnc);
  std::memcpy(entry.mcc, country.toLatin1().constData(), static_cast<std::size_t>(country.size()));
  std::memcpy(entry.mnc, network.toLatin1().constData(), static_cast<std::size_t>(network.size()));
  const bool unicode = unicodeNames(session);
  const std::optional<std::u16string> countryUnits = toUnits(countryName, 12, unicode);
  const std::optional<std::u16string> networkUnits = toUnits(networkName, 12, unicode);
  if (!countryUnits || !networkUnits || preference < 0 || preference > 255) return E_INVALIDARG;
  for (std::size_t k = 0; k < 12; ++k) {
    entry.u_mcc_name[k] = k < countryUnits->size() ? static_cast<int16_t>((*countryUnits)[k]) : 0;
    entry.u_mnc_name[k] = k < networkUnits->size() ? static_cast<int16_t>((*networkUnits)[k]) : 0;
  }
  entry.pos_in_pref_list = static_cast<uint8_t>(preference);
  entry.is_prohibited = prohibited ? 1 : 0;
  return general->KnownSPEntryUnicode(SET_PARAM, index, &entry);
}

}  // namespace utvex
