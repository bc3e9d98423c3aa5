#pragma once
// Reading an exchange protocol back: the console writes one line per byte it
// sends and per read it makes (with at most the first four bytes of a read),
// and this puts the lines of one framed command together again: its name, its
// address, count and data, every byte sent, the answer to each, and the tail
// after the end byte. Lines that are no transfer (the file's first line, the
// break-off lines, a window's note) are kept as they are, in their place.
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <vector>

namespace calorix::cli {

// One traced read: asked bytes, got bytes, of which the file shows at most
// the first four.
struct TraceRead {
  QString stamp;
  int asked = 0;
  int got = 0;
  QString duration;  // "SS:ms" as written
  std::vector<std::uint8_t> shown;
};

struct TraceEntry {
  enum class Kind {
    Command,  // a framed command
    Read,     // a read that belongs to no command (the PID frame)
    Line,     // kept as it is: first line, break-off, a note
  };
  Kind kind = Kind::Line;
  QString stamp;
  QString text;  // Line: the line as written

  // Command
  std::vector<std::uint8_t> sent;
  // answers[i]: the read after sent[i]; none after the end byte, and none
  // where a read of 10 s or more left no line.
  std::vector<std::optional<TraceRead>> answers;
  std::vector<TraceRead> tail;
  bool writeFailed = false;  // the last byte of `sent` did not go out
  QString failLabel;
  bool cutOff = false;  // ended before its frame or its tail was complete
  // Lines written while the command ran (a break-off after a short read).
  QStringList inside;

  // Read
  std::optional<TraceRead> read;
};

// lines: the protocol file(s) decoded from Windows-1251, in order; files
// that continue one another may be given one after the other.
std::vector<TraceEntry> decodeTrace(const QStringList& lines);

// "RdRam", "SetRegBits", ...; "0xNN" for a code the console does not send.
QString commandName(std::uint8_t code);
// One line: stamp, name, parameters, sent, answers, tail.
QString entryText(const TraceEntry& entry);
QJsonObject entryJson(const TraceEntry& entry);

}  // namespace calorix::cli
