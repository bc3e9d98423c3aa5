#pragma once
// The lines of the exchange protocol, written and read back in one place: the
// stamps, the line of a one-byte write (done, or failed with its label), the
// line of a read (asked, got, how long, done or short), the line of the bytes
// a read brought (at most the first four), and the lines the file writes
// without a stamp (its first line, the break-off and continuation lines).
// TraceFiles writes them into the files; parseTraceLine reads one back.
#include <QString>
#include <QTime>
#include <QtGlobal>

#include <cstdint>
#include <span>
#include <vector>

namespace calorix::trace {

// The lines written without a stamp.
QString firstLine();                // "Данные работы RS485   "
QString breakOffLine();             // "Разрыв файла протокола"
QString continuedLine();            // after a roll-over on size
QString continuedAfterErrorLine();  // after a failed write or a short read

// The stamps of one moment: LineStamp "HH:MM:SS " (data logs) and ProtStamp
// "HH:MM:SS:hh " (protocol lines), hundredths from the milliseconds (7 -> 07,
// 45 -> 45, 456 -> 45). fileStamp: "HH_MM_SS", the name of a file.
struct Stamps {
  QString line;
  QString prot;
};
Stamps stampsAt(QTime time);
QString fileStamp(QTime time);

// The texts that follow ProtStamp.
QString writeLine(std::uint8_t byte);
QString writeFailedLine(std::uint8_t byte);
// The second line of a failed write: the first with the label behind it.
QString writeFailedLabelLine(std::uint8_t byte, const QString& label);
// A read of `asked` bytes that brought `got` in tookMs; short when got < asked.
QString readLine(std::uint32_t asked, std::uint32_t got, qint64 tookMs);
// The bytes a read brought (one at least): the count word and up to four bytes.
QString bytesLine(std::span<const std::uint8_t> bytes);
// A framed command whose command byte brought no reply.
QString unheardNote(std::uint8_t code);

// One line of a protocol file, read back.
struct TraceLine {
  enum class Kind { Write, WriteFailed, Read, Bytes, Other };
  Kind kind = Kind::Other;
  QString stamp;  // "HH:MM:SS:hh"; empty for a line written without one
  QString text;   // the whole line
  // Write, WriteFailed: the byte; the label only on a failed write's second line.
  std::uint8_t byte = 0;
  bool hasLabel = false;
  QString label;
  // Read
  int asked = 0;
  int got = 0;
  QString duration;  // "SS:ms" as written
  qint64 tookMs = 0;
  // Bytes: the bytes shown, and whether the read brought more than those.
  std::vector<std::uint8_t> bytes;
  bool more = false;
};
TraceLine parseTraceLine(const QString& line);

}  // namespace calorix::trace
