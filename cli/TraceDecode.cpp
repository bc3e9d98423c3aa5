#include "cli/TraceDecode.h"

#include <QJsonArray>

#include <algorithm>

#include "cli/HexText.h"
#include "core/ByteCodec.h"
#include "core/ControllerMap.h"
#include "link/TraceFormat.h"

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
  const framed::Command* cmd = framed::find(code);
  return cmd && cmd->data == framed::Data::Returned;
}

TraceRead readOf(const trace::TraceLine& line) {
  TraceRead read;
  read.stamp = line.stamp;
  read.asked = line.asked;
  read.got = line.got;
  read.duration = line.duration;
  return read;
}

// ---- lines into commands ------------------------------------------------------

class Decoder {
  using Kind = trace::TraceLine::Kind;

 public:
  void take(const QString& text) {
    const trace::TraceLine line = trace::parseTraceLine(text);
    const bool labelPending = labelPending_;
    labelPending_ = false;
    switch (line.kind) {
      case Kind::Write:
        onWrite(line.stamp, line.byte);
        break;
      case Kind::WriteFailed:
        onWriteFailed(line, labelPending);
        break;
      case Kind::Read:
        onRead(readOf(line));
        break;
      case Kind::Bytes:
        onBytes(line);
        break;
      case Kind::Other:
        keep(line.stamp, line.text);
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
    if (n >= 2 && n == std::size_t(cur_->sent[framed::kLengthAt]) + 1) {
      inTail_ = true;
      if (isBlockRead(cur_->sent[0]) && n > framed::kCountAt) {
        tailPlan_.assign(framed::kReadTailLeadBytes, 1);
        tailPlan_.push_back(cur_->sent[framed::kCountAt]);
        tailPlan_.insert(tailPlan_.end(), framed::kReadTailEndBytes, 1);
      } else {
        tailPlan_.assign(framed::kShortTailBytes, 1);
      }
    }
  }

  void onWriteFailed(const trace::TraceLine& p, bool labelPending) {
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
  void onBytes(const trace::TraceLine& p) {
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
  const framed::Command* cmd = s.empty() ? nullptr : framed::find(s[0]);
  // The parameters are shown once all of them went out.
  if (!cmd || s.size() < framed::kParamAt + std::size_t(framed::paramBytes(cmd->params)))
    return QString();
  const std::uint8_t* p = &s[framed::kParamAt];
  switch (cmd->params) {
    case framed::Params::RegisterMasks:
      return QStringLiteral("R%1 or 0x%2 and 0x%3").arg(p[0]).arg(hex2(p[1]), hex2(p[2]));
    case framed::Params::Key:
      return QStringLiteral("key 0x%1").arg(hex2(p[0]));
    case framed::Params::Page:
      return QStringLiteral("page %1").arg(hexAddress(ctl::le16(p)));
    case framed::Params::Block:
      break;
  }
  QString text = QStringLiteral("addr %1 count %2").arg(hexAddress(ctl::le16(p))).arg(int(p[2]));
  if (cmd->data == framed::Data::Sent)
    text += QStringLiteral(" data ") + hexList(s, framed::kDataAt, p[2]);
  return text;
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
  if (const framed::Command* cmd = framed::find(code))
    return QString::fromLatin1(cmd->name.data(), qsizetype(cmd->name.size()));
  return QStringLiteral("0x") + hex2(code);
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
