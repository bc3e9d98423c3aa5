// The decoders of the PID frame, the run log and the telemetry frame over
// arbitrary bytes: every row has a name and a text, the log lines are single
// lines, and the same bytes decode the same way twice.
#include <array>

#include "core/Abort.h"
#include "fuzz/FuzzInput.h"
#include "pid/PidFrameDecode.h"
#include "pid/StreamFrameDecode.h"

using namespace calorix;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Input in(data, size);
  std::array<std::uint8_t, 512> ram{};
  const QByteArray bytes = in.take(ram.size());
  std::copy(bytes.begin(), bytes.end(), ram.begin());
  // A short image reads as zeros past its end, whatever its length.
  const pid::RamImage image(std::span(ram).first(std::size_t(bytes.size())));

  const pid::FieldTexts coefs = pid::decodePidCoefs(image);
  pid::PrevErr prev;
  const pid::FieldTexts values = pid::decodePidValues(image, prev);
  pid::PrevErr prevAgain;
  FUZZ_CHECK(pid::decodePidValues(image, prevAgain) == values, "the same bytes, the same rows");
  for (const auto* rows : {&coefs, &values})
    for (const pid::FieldText& row : *rows) FUZZ_CHECK(!row.name.isEmpty(), "every row is named");

  pid::FieldTexts all = coefs;
  all.insert(all.end(), values.begin(), values.end());
  const pid::FieldLookup fields = pid::lookupIn(all);
  pid::TempHistory history;
  const QString line = pid::pidDataLine(fields, QStringLiteral("10:15:30 "), history);
  const QString header = pid::runLogHeader1(fields);
  for (const QString& l : {line, header})
    FUZZ_CHECK(!l.contains(u'\n') && !l.contains(u'\r'), "a log line is one line");

  std::array<std::uint8_t, ctl::streamFrame::kBytes> frame{};
  const QByteArray streamBytes = in.take(frame.size());
  std::copy(streamBytes.begin(), streamBytes.end(), frame.begin());
  const pid::FieldTexts stream = pid::decodeStreamFrame(frame);
  FUZZ_CHECK(stream.size() == 15, "fifteen rows of a telemetry frame");
  const auto texts = pid::streamLogTexts(pid::lookupIn(stream));
  for (const QString& t : texts) FUZZ_CHECK(!t.contains(u'\n'), "a logged text is one line");

  const QString amplifier = QString::fromLatin1(in.rest().left(40));
  // Either bytes to write or the message instead, never neither.
  try {
    const pid::AmplifierWrite w = pid::encodeAmplifierText(amplifier);
    FUZZ_CHECK(w.bytes.has_value() != !w.message.isEmpty(), "bytes or a message");
  } catch (const AbortAction&) {
    // A text that passes the checks but does not convert abandons the action.
  }
  return 0;
}
