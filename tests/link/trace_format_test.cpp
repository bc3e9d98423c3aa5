// The protocol lines read back to the values they were written from: the
// trace decoder of the command line rebuilds commands from nothing else.
#include <gtest/gtest.h>

#include <vector>

#include "link/TraceFormat.h"

namespace calorix {
namespace {

using trace::parseTraceLine;
using trace::TraceLine;
using Bytes = std::vector<std::uint8_t>;

const trace::Stamps kAt = trace::stampsAt(QTime(12, 3, 7, 456));

TEST(TraceFormat, WriteLinesReadBackTheirByteAndLabel) {
  for (const std::uint8_t byte : Bytes{0x00, 0x08, 0x5A, 0x80, 0xFF}) {
    const TraceLine ok = parseTraceLine(kAt.prot + trace::writeLine(byte));
    EXPECT_EQ(ok.kind, TraceLine::Kind::Write) << int(byte);
    EXPECT_EQ(ok.byte, byte);
    EXPECT_EQ(ok.stamp, QStringLiteral("12:03:07:45"));

    const TraceLine failed = parseTraceLine(kAt.prot + trace::writeFailedLine(byte));
    EXPECT_EQ(failed.kind, TraceLine::Kind::WriteFailed) << int(byte);
    EXPECT_EQ(failed.byte, byte);
    EXPECT_FALSE(failed.hasLabel);
    // The second line carries the label, empty where the command passes none.
    for (const char* label : {"", "Buffer", "Buffer1", "a b"}) {
      const TraceLine second =
          parseTraceLine(kAt.prot + trace::writeFailedLabelLine(byte, QString::fromUtf8(label)));
      EXPECT_EQ(second.kind, TraceLine::Kind::WriteFailed) << label;
      EXPECT_EQ(second.byte, byte) << label;
      EXPECT_TRUE(second.hasLabel) << label;
      EXPECT_EQ(second.label, QString::fromUtf8(label));
    }
  }
}

TEST(TraceFormat, ReadLinesReadBackCountsAndDuration) {
  struct Case {
    std::uint32_t asked, got;
    qint64 tookMs;
  };
  // Milliseconds of one, two and three digits, whole seconds, short reads.
  for (const Case c :
       {Case{1, 1, 0}, Case{1, 1, 5}, Case{1, 1, 15}, Case{16, 16, 150}, Case{1, 1, 1005},
        Case{3, 1, 1800}, Case{310, 310, 6020}, Case{1, 0, 6030}, Case{512, 511, 9999}}) {
    const TraceLine line = parseTraceLine(kAt.prot + trace::readLine(c.asked, c.got, c.tookMs));
    ASSERT_EQ(line.kind, TraceLine::Kind::Read) << line.text.toStdString();
    EXPECT_EQ(line.asked, int(c.asked)) << line.text.toStdString();
    EXPECT_EQ(line.got, int(c.got)) << line.text.toStdString();
    EXPECT_EQ(line.tookMs, c.tookMs) << line.text.toStdString();
  }
}

TEST(TraceFormat, BytesLinesReadBackTheFirstFourAndWhetherMoreCame) {
  for (const std::size_t n : {1u, 2u, 3u, 4u, 5u, 16u, 310u}) {
    Bytes got(n);
    for (std::size_t i = 0; i < n; ++i) got[i] = std::uint8_t(0xF0 + i * 3);
    const TraceLine line = parseTraceLine(kAt.prot + trace::bytesLine(got));
    ASSERT_EQ(line.kind, TraceLine::Kind::Bytes) << n;
    EXPECT_EQ(line.bytes, Bytes(got.begin(), got.begin() + std::min<std::size_t>(n, 4))) << n;
    EXPECT_EQ(line.more, n > 4) << n;
  }
}

// Lines that are no transfer come back whole, in their place: the file's own
// lines without a stamp, a note with one.
TEST(TraceFormat, OtherLinesAreKeptAsWritten) {
  for (const QString& text : {trace::firstLine(), trace::breakOffLine(), trace::continuedLine(),
                              trace::continuedAfterErrorLine()}) {
    const TraceLine line = parseTraceLine(text);
    EXPECT_EQ(line.kind, TraceLine::Kind::Other) << text.toStdString();
    EXPECT_TRUE(line.stamp.isEmpty());
    EXPECT_EQ(line.text, text);
  }
  const QString note = kAt.prot + trace::unheardNote(0x0C);
  EXPECT_EQ(note, QString::fromUtf8("12:03:07:45 Нет ответа на код команды 0C: кадр не отправлен"));
  const TraceLine line = parseTraceLine(note);
  EXPECT_EQ(line.kind, TraceLine::Kind::Other);
  EXPECT_EQ(line.stamp, QStringLiteral("12:03:07:45"));
  EXPECT_EQ(line.text, note);
}

}  // namespace
}  // namespace calorix
