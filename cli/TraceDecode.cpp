#include "cli/TraceDecode.h"

#include <QJsonArray>
#include <QRegularExpression>

#include <algorithm>

#include "cli/HexText.h"
#include "core/ByteCodec.h"
#include "core/ControllerMap.h"

namespace calorix::cli {

namespace framed = ctl::framed;

namespace {

// Up to count bytes from `from` on, as far as there are any.
QString hexList(const std::vector<std::uint8_t>& bytes, std::size_t from = 0,
                std::size_t count = std::size_t(-1)) {
  from = std::min(from, bytes.size());
  return hexBytes(std::span(bytes).subspan(from, std::min(count, bytes.size() - from)));
}

bool isBlockRead(std::uint8_t code) {
  return code == framed::kRdRam || code == framed::kRdProgMem || code == framed::kRdRom;
}

bool isBlockWrite(std::uint8_t code) {
  return code == framed::kWrRam || code == framed::kWrProgMem;
}

// ---- one line of the file ---------------------------------------------------

struct Parsed {
  enum Type { WriteOk, WriteFailed, Read, BytesLine, Text } type = Text;
  QString stamp;  // empty for the lines written without one
  std::uint8_t byte = 0;
  bool hasLabel = false;
  QString label;
  TraceRead read;
  std::vector<std::uint8_t> bytes;
  QString text;
};

std::uint8_t hexByte(const QString& text) {
  return std::uint8_t(text.toUInt(nullptr, 16));
}

Parsed parseLine(const QString& line) {
  static const QRegularExpression stamped(QStringLiteral("^(\\d\\d:\\d\\d:\\d\\d:\\d\\d) (.*)$"));
  static const QRegularExpression writeOk(
      QString::fromUtf8("^WriteFile 1 код ([0-9A-F]{2}) записалось в буфер порта$"));
  static const QRegularExpression writeFailed(
      QString::fromUtf8("^WriteFile 1 код ([0-9A-F]{2}) ошибка 255 - не записалось в буфер порта"
                        "(?: ошибка - неизвестная переменная (.*))?$"));
  static const QRegularExpression read(
      QString::fromUtf8("^ReadFile (\\d+) код из (\\d+) за время (\\d+:\\d+)  "
                        "(?:Чтение выполнено |Ошибка чтения - мало данных)$"));
  static const QRegularExpression bytesLine(QString::fromUtf8(
      "^(?:1 код|[234] кода|первые 4 кода) ((?:[0-9A-F]{2})(?: [0-9A-F]{2}){0,3})$"));

  Parsed p;
  p.text = line;
  const auto s = stamped.match(line);
  if (!s.hasMatch()) return p;
  p.stamp = s.captured(1);
  const QString rest = s.captured(2);
  if (const auto m = writeOk.match(rest); m.hasMatch()) {
    p.type = Parsed::WriteOk;
    p.byte = hexByte(m.captured(1));
  } else if (const auto f = writeFailed.match(rest); f.hasMatch()) {
    p.type = Parsed::WriteFailed;
    p.byte = hexByte(f.captured(1));
    p.hasLabel = f.capturedStart(2) >= 0;
    p.label = f.captured(2);
  } else if (const auto r = read.match(rest); r.hasMatch()) {
    p.type = Parsed::Read;
    p.read.stamp = p.stamp;
    p.read.got = r.captured(1).toInt();
    p.read.asked = r.captured(2).toInt();
    p.read.duration = r.captured(3);
  } else if (const auto b = bytesLine.match(rest); b.hasMatch()) {
    p.type = Parsed::BytesLine;
    for (const QString& h : b.captured(1).split(QLatin1Char(' '))) p.bytes.push_back(hexByte(h));
  }
  return p;
}

// ---- lines into commands ------------------------------------------------------

class Decoder {
 public:
  void take(const QString& line) {
    const Parsed p = parseLine(line);
    const bool labelPending = labelPending_;
    labelPending_ = false;
    switch (p.type) {
      case Parsed::WriteOk:
        onWrite(p.stamp, p.byte);
        break;
      case Parsed::WriteFailed:
        onWriteFailed(p, labelPending);
        break;
      case Parsed::Read:
        onRead(p.read);
        break;
      case Parsed::BytesLine:
        onBytes(p);
        break;
      case Parsed::Text:
        keep(p.stamp, p.text);
        break;
    }
  }

  std::vector<TraceEntry> finish() {
    if (cur_) close(!complete());
    return std::move(out_);
  }

 private:
  void start(const QString& stamp) {
    cur_ = TraceEntry{};
    cur_->kind = TraceEntry::Kind::Command;
    cur_->stamp = stamp;
    inTail_ = false;
    tailPlan_.clear();
  }

  void close(bool cutOff) {
    cur_->cutOff = cutOff;
    out_.push_back(std::move(*cur_));
    cur_.reset();
    inTail_ = false;
  }

  bool complete() const { return inTail_ && cur_->tail.size() == tailPlan_.size(); }

  // Once the line has broken, RdRam sends its code byte and stops there.
  bool rdRamStoppedAfterCode() const {
    return linkBroken_ && cur_->sent.size() == 1 && cur_->sent[0] == framed::kRdRam;
  }

  void onWrite(const QString& stamp, std::uint8_t byte) {
    if (cur_ && (inTail_ || rdRamStoppedAfterCode())) close(!complete());
    if (!cur_) start(stamp);
    cur_->sent.push_back(byte);
    cur_->answers.emplace_back();
    const std::size_t n = cur_->sent.size();
    // The length byte counts every byte after the code.
    if (n >= 2 && n == std::size_t(cur_->sent[1]) + 1) {
      inTail_ = true;
      const std::uint8_t code = cur_->sent[0];
      if (isBlockRead(code) && n >= 5)
        tailPlan_ = {1, 1, cur_->sent[4], 1};
      else
        tailPlan_ = {1, 1, 1};
    }
  }

  void onWriteFailed(const Parsed& p, bool labelPending) {
    // The second failure line names the label of the first.
    if (p.hasLabel && labelPending && !cur_ && lastFailed(p.byte)) {
      out_.back().failLabel = p.label;
      return;
    }
    // RdRam hands the failed line to the protocol once more.
    if (p.hasLabel && !cur_ && lastFailed(p.byte) && out_.back().failLabel == p.label) {
      keep(p.stamp, p.text);
      return;
    }
    if (cur_ && (inTail_ || rdRamStoppedAfterCode())) close(!complete());
    if (!cur_) start(p.stamp);
    cur_->sent.push_back(p.byte);
    cur_->answers.emplace_back();
    cur_->writeFailed = true;
    cur_->failLabel = p.label;
    close(false);
    linkBroken_ = true;
    labelPending_ = !p.hasLabel;
  }

  bool lastFailed(std::uint8_t byte) const {
    return !out_.empty() && out_.back().kind == TraceEntry::Kind::Command &&
           out_.back().writeFailed && out_.back().sent.back() == byte;
  }

  void onRead(const TraceRead& read) {
    if (cur_ && !inTail_) {
      auto& answer = cur_->answers.back();
      if (!answer) {
        answer = read;
        return;
      }
    }
    if (cur_ && inTail_) {
      const std::size_t i = cur_->tail.size();
      if (i < tailPlan_.size() && read.asked == tailPlan_[i]) {
        cur_->tail.push_back(read);
        if (complete()) close(false);
        return;
      }
    }
    if (cur_) close(true);
    TraceEntry entry;
    entry.kind = TraceEntry::Kind::Read;
    entry.stamp = read.stamp;
    entry.read = read;
    out_.push_back(std::move(entry));
  }

  // The bytes line of the last read; after a short read it comes once the
  // file has been broken off.
  void onBytes(const Parsed& p) {
    TraceRead* read = lastRead();
    if (read && read->got > 0 && read->shown.empty()) {
      read->shown = p.bytes;
      return;
    }
    keep(p.stamp, p.text);
  }

  static TraceRead* lastReadOf(TraceEntry& e) {
    if (e.kind == TraceEntry::Kind::Read) return &*e.read;
    if (!e.tail.empty()) return &e.tail.back();
    for (auto it = e.answers.rbegin(); it != e.answers.rend(); ++it)
      if (*it) return &**it;
    return nullptr;
  }

  TraceRead* lastRead() {
    if (cur_) return lastReadOf(*cur_);
    for (auto it = out_.rbegin(); it != out_.rend(); ++it)
      if (it->kind != TraceEntry::Kind::Line) return lastReadOf(*it);
    return nullptr;
  }

  void keep(const QString& stamp, const QString& text) {
    if (cur_) {
      cur_->inside << text;
      return;
    }
    TraceEntry entry;
    entry.kind = TraceEntry::Kind::Line;
    entry.stamp = stamp;
    entry.text = text;
    out_.push_back(std::move(entry));
  }

  std::vector<TraceEntry> out_;
  std::optional<TraceEntry> cur_;
  bool inTail_ = false;
  std::vector<int> tailPlan_;
  bool linkBroken_ = false;
  bool labelPending_ = false;
};

// ---- text -------------------------------------------------------------------

QString readText(const TraceRead& read) {
  if (read.got == 0) return QStringLiteral("--");
  if (read.asked == 1 && read.got == 1 && !read.shown.empty()) return hex2(read.shown[0]);
  QString head = read.got < read.asked ? QStringLiteral("%1 of %2").arg(read.got).arg(read.asked)
                                       : QString::number(read.got);
  QString text = QStringLiteral("[%1: %2").arg(head, hexList(read.shown));
  if (int(read.shown.size()) < read.got) text += QStringLiteral(" ...");
  return text + QLatin1Char(']');
}

QString parameters(const TraceEntry& e) {
  const auto& s = e.sent;
  if (s.empty()) return QString();
  const std::uint8_t code = s[0];
  auto has = [&](std::size_t n) { return s.size() >= n; };
  if (code == framed::kSetRegBits && has(5))
    return QStringLiteral("R%1 or 0x%2 and 0x%3").arg(s[2]).arg(hex2(s[3]), hex2(s[4]));
  if ((isBlockRead(code) || isBlockWrite(code)) && has(5)) {
    QString text =
        QStringLiteral("addr %1 count %2").arg(hexAddress(ctl::le16(&s[2]))).arg(int(s[4]));
    if (isBlockWrite(code)) text += QStringLiteral(" data ") + hexList(s, 5, s[4]);
    return text;
  }
  if (code == framed::kPanelKey && has(3)) return QStringLiteral("key 0x%1").arg(hex2(s[2]));
  if ((code == framed::kRomPage9 || code == framed::kRomPage10 || code == framed::kRomPage11) &&
      has(4))
    return QStringLiteral("page %1").arg(hexAddress(ctl::le16(&s[2])));
  return QString();
}

QJsonArray byteArray(const std::vector<std::uint8_t>& bytes) {
  QJsonArray out;
  for (std::uint8_t b : bytes) out.append(int(b));
  return out;
}

QJsonObject readJson(const TraceRead& read) {
  return QJsonObject{{"stamp", read.stamp},
                     {"asked", read.asked},
                     {"got", read.got},
                     {"duration", read.duration},
                     {"shown", byteArray(read.shown)}};
}

// The answers that belong to bytes that went out before the end byte.
std::size_t answeredBytes(const TraceEntry& e) {
  std::size_t n = e.sent.size();
  if (e.writeFailed || (!e.tail.empty() || (n >= 2 && n == std::size_t(e.sent[1]) + 1))) --n;
  return n;
}

}  // namespace

std::vector<TraceEntry> decodeTrace(const QStringList& lines) {
  Decoder decoder;
  for (const QString& line : lines) decoder.take(line);
  return decoder.finish();
}

QString commandName(std::uint8_t code) {
  switch (code) {
    case framed::kSetRegBits:
      return QStringLiteral("SetRegBits");
    case framed::kWrRam:
      return QStringLiteral("WrRam");
    case framed::kRdRam:
      return QStringLiteral("RdRam");
    case framed::kWrProgMem:
      return QStringLiteral("WrProgMem");
    case framed::kRdProgMem:
      return QStringLiteral("RdProgMem");
    case framed::kPanelKey:
      return QStringLiteral("SendPanelKey");
    case framed::kRomPage9:
      return QStringLiteral("RomPageCmd9");
    case framed::kRomPage10:
      return QStringLiteral("RomPageCmd10");
    case framed::kRomPage11:
      return QStringLiteral("RomPageCmd11");
    case framed::kRdRom:
      return QStringLiteral("RdRom");
    default:
      return QStringLiteral("0x") + hex2(code);
  }
}

QString entryText(const TraceEntry& e) {
  switch (e.kind) {
    case TraceEntry::Kind::Line:
      return e.text;
    case TraceEntry::Kind::Read:
      return QStringLiteral("%1 RdPidFrame %2").arg(e.stamp, readText(*e.read));
    case TraceEntry::Kind::Command:
      break;
  }
  QStringList parts;
  QString head = e.stamp + QLatin1Char(' ') + commandName(e.sent[0]);
  if (const QString p = parameters(e); !p.isEmpty()) head += QLatin1Char(' ') + p;
  parts << head << QStringLiteral("sent ") + hexList(e.sent);
  QStringList answers;
  for (std::size_t i = 0; i < answeredBytes(e); ++i)
    answers << (e.answers[i] ? readText(*e.answers[i]) : QStringLiteral("--"));
  if (!answers.isEmpty()) parts << QStringLiteral("answers ") + answers.join(QLatin1Char(' '));
  QStringList tail;
  for (const TraceRead& read : e.tail) tail << readText(read);
  if (!tail.isEmpty()) parts << QStringLiteral("tail ") + tail.join(QLatin1Char(' '));
  if (e.writeFailed)
    parts << QStringLiteral("write of %1 failed%2")
                 .arg(hex2(e.sent.back()),
                      e.failLabel.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(e.failLabel));
  if (e.cutOff) parts << QStringLiteral("cut off");
  QString text = parts.join(QStringLiteral(" | "));
  for (const QString& line : e.inside) text += QStringLiteral("\n    ") + line;
  return text;
}

QJsonObject entryJson(const TraceEntry& e) {
  if (e.kind == TraceEntry::Kind::Line) {
    QJsonObject o{{"kind", "line"}, {"text", e.text}};
    if (!e.stamp.isEmpty()) o["stamp"] = e.stamp;
    return o;
  }
  if (e.kind == TraceEntry::Kind::Read)
    return QJsonObject{{"kind", "read"}, {"stamp", e.stamp}, {"read", readJson(*e.read)}};
  QJsonArray answers;
  for (std::size_t i = 0; i < answeredBytes(e); ++i)
    answers.append(e.answers[i] ? QJsonValue(readJson(*e.answers[i])) : QJsonValue());
  QJsonArray tail;
  for (const TraceRead& read : e.tail) tail.append(readJson(read));
  QJsonObject o{{"kind", "command"},
                {"stamp", e.stamp},
                {"command", commandName(e.sent[0])},
                {"parameters", parameters(e)},
                {"sent", byteArray(e.sent)},
                {"answers", answers},
                {"tail", tail},
                {"writeFailed", e.writeFailed},
                {"cutOff", e.cutOff}};
  if (!e.failLabel.isEmpty()) o["label"] = e.failLabel;
  if (!e.inside.isEmpty()) o["inside"] = QJsonArray::fromStringList(e.inside);
  return o;
}

}  // namespace calorix::cli
