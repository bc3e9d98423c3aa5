#pragma once
// What the PID work window shows and logs, decoded from controller bytes: the
// regulator quantities of a PID frame (as RdPidFrame leaves them in
// RamMirror), the lines of the run log, and the small reads and the one write
// of the window's buttons. Plain functions over bytes and texts: no widget, no
// link. The window sets its fields from the rows by designed name, in order.
#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "core/ControllerMap.h"

namespace calorix::pid {

// One field of a window: its designed name and the text it is to show.
struct FieldText {
  QString name;
  QString text;
  friend bool operator==(const FieldText&, const FieldText&) = default;
};
using FieldTexts = std::vector<FieldText>;

// The current text of a window field by its designed name.
using FieldLookup = std::function<QString(const QString& name)>;
// A lookup over rows (the last row of a name wins); an unknown name gives "".
FieldLookup lookupIn(const FieldTexts& rows);

// An image of controller RAM, index = RAM address (RamMirror). Addresses past
// its end read as 0, so a short image never reads beyond its buffer.
class RamImage {
 public:
  explicit RamImage(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  std::uint8_t u8(ctl::Addr addr) const { return addr < bytes_.size() ? bytes_[addr] : 0; }
  std::uint16_t u16(ctl::Addr addr) const;
  std::uint32_t u24(ctl::Addr addr) const;
  std::uint32_t u32(ctl::Addr addr) const;
  std::int32_t s32(ctl::Addr addr) const { return std::int32_t(u32(addr)); }

 private:
  std::span<const std::uint8_t> bytes_;
};

// "-" directly before the whole text when the sign flag says negative; a
// positive value gets no "+".
QString withSign(bool negative, const QString& text);

// ---- the frame display ------------------------------------------------------------

// The temperature error shown at the previous update. The value lives from
// program start on; the window clears only the sign when a run starts.
struct PrevErr {
  double value = 0;
  bool negative = false;
};

// ShowPidCoefs: EditTecPK, EditTecIK, EditTecDK, EditTK.
FieldTexts decodePidCoefs(const RamImage& ram);
// ShowPidValues: the 32 rows in display order, EditN first, Edit10 last.
// EditErrPred shows prevErr; then prevErr takes this frame's error and sign.
FieldTexts decodePidValues(const RamImage& ram, PrevErr& prevErr);

// ---- the run log ------------------------------------------------------------------

// The first header line, from EditTecPK, EditTecDK, EditTecIK, EditTK and
// EditZSE as they are when the run starts.
QString runLogHeader1(const FieldLookup& fields);
QString runLogHeader2();

// Temperature texts of the first twelve measurements of a run, then of the
// last twelve: the change over them is field 4 of the data line.
class TempHistory {
 public:
  static constexpr int kSlots = 12;
  // Measurement n with the temperature text of EditTNoOp: keeps the text and
  // returns field 4, "  0  " for n <= 12, else the change since the oldest
  // kept text (empty if either text does not convert).
  QString take(int n, const QString& temperature);
  const std::array<QString, kSlots>& keptTexts() const { return slots_; }

 private:
  std::array<QString, kSlots> slots_;
};

// WritePidLine's line: 23 fields joined by "  ;  ", from the current field
// texts, the LineStamp made for this line and the history (updated here).
QString pidDataLine(const FieldLookup& fields, const QString& lineStamp, TempHistory& history);

// ---- the work window's buttons -------------------------------------------------

// One RdRam of the window and the fields its bytes fill.
struct FieldRead {
  ctl::Addr addr;
  std::uint8_t count;
  FieldTexts (*texts)(const std::uint8_t* bytes);  // bytes = ReadBuf after the read
};
// "Чтение параметров": EditZNumP, EditZNumE; EditZTE; EditZTimeE, EditZSE; EditZOtSt.
extern const std::array<FieldRead, 4> kStageReads;
// "Чтение коэффициентов": EditTecPK, EditTecIK, EditTecDK; EditTK. The same
// decoding serves ShowPidCoefs on the mirror.
extern const std::array<FieldRead, 2> kCoefReads;
// "Чтение": EditTecKUs.
extern const FieldRead kAmplifierRead;

// The 16.16 word of a coefficient as its four bytes, low byte first; empty
// when value x 65536 does not fit a signed 32-bit number.
std::optional<std::array<std::uint8_t, 4>> coefficientBytes(double value);

// "Запись": the bytes to write at ctl::ram::kAmplifierGain, or the message to
// show instead (then nothing is written).
struct AmplifierWrite {
  std::optional<std::array<std::uint8_t, 4>> bytes;
  QString message;
};
AmplifierWrite encodeAmplifierText(const QString& text);

}  // namespace calorix::pid
