#include "pid/PidFrameDecode.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>

#include "core/ByteCodec.h"
#include "core/NumberText.h"
#include "core/Parse.h"
#include "plot/PidRunLog.h"

namespace calorix::pid {

namespace ram = ctl::ram;

namespace {

// The computed heater power is the total action, shown in per cent.
constexpr std::uint32_t kPowerPercentMax = 100;
// The normalised thermocouple voltage is kept x 100.
constexpr double kNormVoltageScale = 100.0;

QString fieldName(const char* name) {
  return QString::fromLatin1(name);
}

QString flagText(bool set, const char* ifSet, const char* ifClear) {
  return QString::fromUtf8(set ? ifSet : ifClear);
}

QString plusMinus(bool negative) {
  return negative ? QStringLiteral("-") : QStringLiteral("+");
}

QString fixed1616Text(std::int64_t raw) {
  return generalText(ctl::fromFixed1616(raw));
}

QString fraction8Text(std::int64_t raw) {
  return generalText(ctl::fromFraction8(raw));
}

// ---- the reads of the window's buttons ----

FieldTexts programAndStage(const std::uint8_t* b) {
  return {{fieldName("EditZNumP"), decimalText(b[0])}, {fieldName("EditZNumE"), decimalText(b[1])}};
}

FieldTexts stageTemperature(const std::uint8_t* b) {
  return {{fieldName("EditZTE"), decimalText(ctl::le16(b))}};
}

FieldTexts stabilisationAndSpeed(const std::uint8_t* b) {
  return {{fieldName("EditZTimeE"), decimalText(ctl::le16(b))},
          {fieldName("EditZSE"), decimalText(ctl::le16(b + (ram::kSetSpeed - ram::kStabTime)))}};
}

FieldTexts delayedStart(const std::uint8_t* b) {
  return {{fieldName("EditZOtSt"), decimalText(ctl::le16(b))}};
}

FieldTexts pidCoefficients(const std::uint8_t* b) {
  return {{fieldName("EditTecPK"), fixed1616Text(ctl::le32s(b))},
          {fieldName("EditTecIK"), fixed1616Text(ctl::le32s(b + (ram::kIK - ram::kPK)))},
          {fieldName("EditTecDK"), fixed1616Text(ctl::le32s(b + (ram::kDK - ram::kPK)))}};
}

FieldTexts setTemperature(const std::uint8_t* b) {
  return {{fieldName("EditTK"), decimalText(ctl::le16(b))}};
}

FieldTexts amplifierGain(const std::uint8_t* b) {
  return {{fieldName("EditTecKUs"), fixed1616Text(ctl::le32s(b))}};
}

}  // namespace

const std::array<FieldRead, 4> kStageReads{{
    {ram::kProgramNumber, 2, programAndStage},
    {ram::kSetTemperature, 2, stageTemperature},
    {ram::kStabTime, 4, stabilisationAndSpeed},
    {ram::kDelayedStart, 2, delayedStart},
}};

const std::array<FieldRead, 2> kCoefReads{{
    {ram::kPK, ram::kPidCoefBytes, pidCoefficients},
    {ram::kSetTemperature, 2, setTemperature},
}};

const FieldRead kAmplifierRead{ram::kAmplifierGain, 4, amplifierGain};

FieldLookup lookupIn(const FieldTexts& rows) {
  std::map<QString, QString> byName;
  for (const FieldText& row : rows) byName[row.name] = row.text;
  return [byName = std::move(byName)](const QString& name) {
    const auto it = byName.find(name);
    return it == byName.end() ? QString() : it->second;
  };
}

std::uint16_t RamImage::u16(ctl::Addr addr) const {
  const std::uint8_t b[2] = {u8(addr), u8(ctl::Addr(addr + 1))};
  return ctl::le16(b);
}

std::uint32_t RamImage::u24(ctl::Addr addr) const {
  const std::uint8_t b[3] = {u8(addr), u8(ctl::Addr(addr + 1)), u8(ctl::Addr(addr + 2))};
  return ctl::le24(b);
}

std::uint32_t RamImage::u32(ctl::Addr addr) const {
  const std::uint8_t b[4] = {u8(addr), u8(ctl::Addr(addr + 1)), u8(ctl::Addr(addr + 2)),
                             u8(ctl::Addr(addr + 3))};
  return ctl::le32(b);
}

QString withSign(bool negative, const QString& text) {
  return negative ? QLatin1Char('-') + text : text;
}

// ---- the frame display ------------------------------------------------------------

FieldTexts decodePidCoefs(const RamImage& ram) {
  FieldTexts rows;
  for (const FieldRead& read : kCoefReads) {
    std::array<std::uint8_t, ram::kPidCoefBytes> bytes{};
    for (int i = 0; i < read.count; ++i) bytes[std::size_t(i)] = ram.u8(ctl::Addr(read.addr + i));
    for (FieldText& row : read.texts(bytes.data())) rows.push_back(std::move(row));
  }
  return rows;
}

FieldTexts decodePidValues(const RamImage& ram, PrevErr& prevErr) {
  const std::uint8_t phase = ram.u8(ram::kPhase);
  const std::uint8_t signs = ram.u8(ram::kSigns);
  const std::uint8_t flags = ram.u8(ram::kFlags);
  const std::uint8_t regulator = ram.u8(ram::kR14);
  const auto sign = [signs](std::uint8_t bit) { return ctl::flagSet(signs, bit); };
  // The sign-magnitude words keep their sign in bit 7 of their last byte.
  const std::uint32_t corrB = ram.u32(ram::kCorrB);
  const std::uint32_t speed = ram.u32(ram::kHeatingSpeed);
  const std::uint32_t total = ram.u32(ram::kTotalAction);

  FieldTexts rows;
  rows.reserve(32);
  const auto add = [&rows](const char* name, QString text) {
    rows.push_back({fieldName(name), std::move(text)});
  };
  add("EditN", flagText(ctl::flagSet(phase, ctl::phase::kHeating), "НАГРЕВ", ""));
  add("EditD", flagText(ctl::flagSet(phase, ctl::phase::kApproach), "ДОВОДКА", ""));
  add("EditS", flagText(ctl::flagSet(phase, ctl::phase::kStabilising), "СТАБИЛИЗАЦИЯ", ""));
  add("EditDKT", generalText((ram.u8(ram::kRoomWhole) & ram::kRoomWholeBits) +
                             ctl::fromFraction8(ram.u8(ram::kRoomFraction))));
  add("EditVUT", decimalText(ram.u16(ram::kRawVoltage)));
  add("EditVUT100", generalText(ram.u16(ram::kNormVoltage) / kNormVoltageScale));
  add("EditTempTermT", fraction8Text(ram.u32(ram::kTheoreticalTemp)));
  add("EditKA", fixed1616Text(ram.u32(ram::kCorrA)));
  add("EditKB",
      withSign(ctl::signMagnitudeNegative(corrB), fixed1616Text(ctl::signMagnitudeValue(corrB))));
  add("EditTAB", fraction8Text(ram.u32(ram::kTempCorrected)));
  add("EditTNoOp", fraction8Text(ram.u32(ram::kTemperature)));

  add("EditErrPred", withSign(prevErr.negative, generalText(prevErr.value)));
  const PrevErr error{ctl::fromFraction8(ram.u32(ram::kError)), sign(ctl::sign::kError)};
  add("EditErrTTec", withSign(error.negative, generalText(error.value)));
  prevErr = error;

  add("EditErrSumm", withSign(sign(ctl::sign::kErrorSum), fraction8Text(ram.u32(ram::kErrorSum))));
  add("EditPUV", withSign(sign(ctl::sign::kPUV), fixed1616Text(ram.u32(ram::kPUV))));
  add("EditIUV", withSign(sign(ctl::sign::kIUV), fixed1616Text(ram.u32(ram::kIUV))));
  add("EditDUV", withSign(sign(ctl::sign::kDUV), fixed1616Text(ram.u32(ram::kDUV))));
  add("EditAllUV",
      withSign(ctl::flagSet(flags, ctl::flags::kTotalNegativePid), generalText(double(total))));
  add("EditOPN", decimalText(ram.u8(ram::kPowerLimit)));
  add("EditRPN", decimalText(std::min(total, kPowerPercentMax)));
  add("EditPN", decimalText(ram.u8(ram::kHeaterPower)));
  add("Edit3", fraction8Text(ram.u32(ram::kTemperature)));
  add("Edit4",
      withSign(ctl::signMagnitudeNegative(speed), fraction8Text(ctl::signMagnitudeValue(speed))));
  add("Edit5", generalText(ram.u16(ram::kSetSpeed)));
  add("Edit8", fraction8Text(ram.u16(ram::kSpeedProportional)));
  add("Edit11", plusMinus(ctl::flagSet(regulator, ctl::reg::kPropSpeedSign)));
  add("Edit12", decimalText(regulator));
  add("Edit13",
      flagText(ctl::flagSet(ram.u8(ram::kIntegralState), ctl::indication::kIntegralWorking), "Да",
               "Нет"));
  add("Edit14", decimalText(ram.u8(ram::kR15)));
  add("Edit7", fraction8Text(ram.u16(ram::kSpeedPower)));
  add("Edit9", fixed1616Text(ram.u32(ram::kSpeedErrorSum)));
  add("Edit10", plusMinus(ctl::flagSet(regulator, ctl::reg::kIntegralSpeedSign)));
  return rows;
}

// ---- the run log ------------------------------------------------------------------

QString runLogHeader1(const FieldLookup& fields) {
  return plot::pidlog::title(fields(fieldName("EditTecPK")), fields(fieldName("EditTecDK")),
                             fields(fieldName("EditTecIK")), fields(fieldName("EditTK")),
                             fields(fieldName("EditZSE")));
}

QString runLogHeader2() {
  return plot::pidlog::columns();
}

QString TempHistory::take(int n, const QString& temperature) {
  if (n >= 1 && n <= kSlots) slots_[std::size_t(n - 1)] = temperature;
  if (n <= kSlots) return QStringLiteral("  0  ");

  // Both texts were made with the regional separator, so they convert back;
  // should one not (the separator changed during the run), the field stays
  // empty rather than the line being lost.
  QString change;
  const std::optional<double> now = convertRegional(temperature);
  const std::optional<double> oldest = convertRegional(slots_.front());
  if (now && oldest) change = generalText(*now - *oldest);
  std::rotate(slots_.begin(), slots_.begin() + 1, slots_.end());
  slots_.back() = temperature;
  return change;
}

QString pidDataLine(const FieldLookup& fields, const QString& lineStamp, TempHistory& history) {
  const auto field = [&fields](const char* name) { return fields(fieldName(name)); };
  const QString number = field("EditNumIzm");
  const QString temperature = field("EditTNoOp");
  // EditNumIzm always holds the decimal measurement number; anything else
  // counts as no measurement yet.
  const int n = tryParseIntText(number).value_or(0);
  const QString change = history.take(n, temperature);

  using namespace plot::pidlog;
  Fields line;
  line[kNumber] = number;
  line[kTime] = lineStamp;
  line[kTemperature] = temperature;
  line[kChange] = change;
  const std::pair<Field, const char*> shown[] = {
      {kError, "EditErrTTec"},     {kPreviousError, "EditErrPred"},
      {kErrorSum, "EditErrSumm"},  {kPowerLimit, "EditOPN"},
      {kComputedPower, "EditRPN"}, {kHeaterPower, "EditPN"},
      {kPUV, "EditPUV"},           {kIUV, "EditIUV"},
      {kDUV, "EditDUV"},           {kRoomSensor, "EditDKT"},
      {kVoltage, "EditVUT"},       {kTheoreticalTemp, "EditTempTermT"},
      {kCorrectedTemp, "EditTAB"}, {kCurrentTemp, "Edit3"},
      {kHeatingSpeed, "Edit4"},    {kSetSpeed, "Edit5"},
      {kSpeedPower, "Edit7"}};
  for (const auto& [at, name] : shown) line[at] = field(name);
  // The sign characters stand directly before their values.
  line[kSpeedAction] = field("Edit11") + field("Edit8");
  line[kSpeedErrorSum] = field("Edit10") + field("Edit9");
  return plot::pidlog::line(line);
}

// ---- the work window's write ------------------------------------------------------

std::optional<std::array<std::uint8_t, 4>> coefficientBytes(double value) {
  // A value whose 16.16 word does not fit 32 bits would otherwise go out as
  // its low 32 bits: a wholly different coefficient.
  const double scaled = value * ctl::kFixed1616;
  if (!std::isfinite(scaled)) return std::nullopt;
  const qint64 whole = roundHalfEven(scaled);
  if (whole < std::numeric_limits<std::int32_t>::min() ||
      whole > std::numeric_limits<std::int32_t>::max())
    return std::nullopt;
  const std::optional<std::int32_t> word = ctl::toFixed1616(value);
  if (!word) return std::nullopt;
  std::array<std::uint8_t, 4> bytes{};
  ctl::putLe32(bytes.data(), std::uint32_t(*word));
  return bytes;
}

AmplifierWrite encodeAmplifierText(const QString& text) {
  const std::optional<double> value = convertRegional(text);
  if (!value)
    return {std::nullopt, QStringLiteral("'%1' is not a valid floating point value").arg(text)};
  if (auto bytes = coefficientBytes(*value)) return {bytes, QString()};
  return {std::nullopt,
          QString::fromUtf8("Ошибка! Значение '%1' вне допустимого диапазона").arg(text)};
}

}  // namespace calorix::pid
