// The readers of the console's data logs over arbitrary bytes: a file that is
// not a log, or a log cut anywhere, is read without a crash; no more samples
// and skipped lines come out than there are lines; the same bytes read the
// same way twice, and the same way when they come in two pieces split
// anywhere (the reader streams a file a piece at a time).
#include <QDate>

#include <cmath>

#include "fuzz/FuzzInput.h"
#include "plot/LogReader.h"

using namespace calorix;

namespace {

bool sameSample(const plot::Sample& a, const plot::Sample& b) {
  if (a.timeMs != b.timeMs || a.program != b.program || a.stage != b.stage) return false;
  for (const plot::QuantityInfo& q : plot::kQuantities) {
    const double x = a.value(q.quantity), y = b.value(q.quantity);
    if (!(x == y || (std::isnan(x) && std::isnan(y)))) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
  const QDate day(2026, 3, 5);
  const plot::LogReadResult first = plot::parseLog(bytes, day);
  const plot::LogReadResult again = plot::parseLog(bytes, day);
  FUZZ_CHECK(first.samples.size() == again.samples.size() &&
                 first.skippedLines == again.skippedLines && first.kind == again.kind,
             "the same bytes, the same reading");
  FUZZ_CHECK(first.skippedLines >= 0, "a count of skipped lines");
  const qsizetype lines = bytes.count('\n') + 1;
  FUZZ_CHECK(qsizetype(first.samples.size()) + first.skippedLines <= lines,
             "no more samples and skipped lines than lines");

  // Split where the first byte says.
  const qsizetype at = bytes.isEmpty() ? 0 : qsizetype(data[0]) * bytes.size() / 256;
  std::vector<plot::Sample> pieces;
  plot::LogParser parser(day, [&pieces](const plot::Sample& s) { pieces.push_back(s); });
  parser.feed(QByteArrayView(bytes).first(at));
  parser.feed(QByteArrayView(bytes).sliced(at));
  const plot::LogSummary split = parser.finish();
  FUZZ_CHECK(split.kind == first.kind && split.skippedLines == first.skippedLines &&
                 split.samples == first.samples.size() && pieces.size() == first.samples.size(),
             "two pieces read as the whole");
  for (std::size_t i = 0; i < pieces.size(); ++i)
    FUZZ_CHECK(sameSample(pieces[i], first.samples[i]), "two pieces give the same samples");
  return 0;
}
