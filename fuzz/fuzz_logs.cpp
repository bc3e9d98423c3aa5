// The readers of the console's data logs over arbitrary bytes: a file that is
// not a log, or a log cut anywhere, is read without a crash; no more samples
// and skipped lines come out than there are lines; and the same bytes read
// the same way twice.
#include <QDate>

#include "fuzz/FuzzInput.h"
#include "plot/LogReader.h"

using namespace calorix;

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
  return 0;
}
