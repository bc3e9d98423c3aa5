#include "tests/support/ScriptPeer.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <algorithm>
#include <memory>

#include "core/Cp1251.h"

namespace calorix::testing {

void ScriptPeer::queue(qint64 atMs, const std::vector<std::uint8_t>& bytes, qint64 gapMs) {
  // Answers never overtake what is already on its way.
  qint64 at = out_.empty() ? atMs : std::max(atMs, out_.back().at);
  for (std::uint8_t b : bytes) {
    out_.push_back({at, b});
    at += gapMs;
  }
}

void ScriptPeer::sendAt(qint64 atMs, const std::vector<std::uint8_t>& bytes, qint64 gapMs) {
  queue(atMs, bytes, gapMs);
}

void ScriptPeer::receive(std::uint8_t byte, qint64 atMs) {
  const std::size_t index = received.size();
  received.push_back(byte);
  if (respond) queue(atMs + answerDelayMs, respond(byte, index), byteGapMs);
}

std::optional<qint64> ScriptPeer::nextOutputTime() const {
  if (out_.empty()) return std::nullopt;
  return out_.front().at;
}

std::size_t ScriptPeer::take(std::uint8_t* out, std::size_t max, qint64 nowMs) {
  std::size_t n = 0;
  while (n < max && !out_.empty() && out_.front().at <= nowMs) {
    out[n++] = out_.front().byte;
    out_.pop_front();
  }
  return n;
}

ScriptPeer::Responder framedResponder(std::function<std::uint8_t(std::size_t)> dataByte) {
  // Frame position and the frame so far, shared by the copies of the responder.
  struct State {
    std::vector<std::uint8_t> frame;
    std::size_t length = 0;
  };
  auto state = std::make_shared<State>();
  return [state, dataByte](std::uint8_t byte, std::size_t) {
    State& s = *state;
    s.frame.push_back(byte);
    if (s.frame.size() == 2) s.length = byte;
    const bool end = s.frame.size() >= 2 && s.frame.size() == s.length + 1;
    if (!end) return std::vector<std::uint8_t>{byte};
    const std::uint8_t code = s.frame[0];
    std::vector<std::uint8_t> tail;
    if (code == 0x05 || code == 0x07 || code == 0x0C) {
      const std::size_t count = s.frame[s.frame.size() - 2];
      tail = {code, std::uint8_t(count)};
      for (std::size_t i = 0; i < count; ++i)
        tail.push_back(dataByte ? dataByte(i) : std::uint8_t(i));
      tail.push_back(0x80);
    } else {
      tail = {code, 0x00, 0x80};
    }
    s.frame.clear();
    s.length = 0;
    return tail;
  };
}

QStringList traceTexts(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  QStringList lines = cp1251::decode(file.readAll()).split(QStringLiteral("\r\n"));
  if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
  if (!lines.isEmpty()) lines.removeFirst();
  static const QRegularExpression stamp(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d:\\d\\d "));
  for (QString& line : lines) line.remove(stamp);
  return lines;
}

ScriptLink::ScriptLink() {
  LinkConfig config;
  config.iniPath = dir_.filePath("ZaroZ.ini");
  config.dataRoot = dir_.filePath("data");
  config.clock = &clock_;
  config.openPort = memoryPortOpener(peer_, clock_, [this](MemoryPort& port) { port_ = &port; });
  link_ = std::make_unique<Link>(std::move(config));
  link_->hooks.showControlStatus = [this](const QString& text) { controlStatus << text; };
  link_->hooks.showDWordHalves = [this](quint16 high, quint16 low) {
    dwordHalves.emplace_back(high, low);
  };
}

ScriptLink::~ScriptLink() = default;

void ScriptLink::start(bool protocolOn, const QString& extraIni) {
  QFile ini(dir_.filePath("ZaroZ.ini"));
  if (ini.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
    const QString text = QStringLiteral("[Com port]\r\nNumPort=2\r\n[Dir]\r\nDirAll=") + root() +
                         QStringLiteral("\r\n[RS485]\r\nWriteRs485=") +
                         (protocolOn ? QStringLiteral("Enabled") : QStringLiteral("Disable")) +
                         QStringLiteral("\r\n") + extraIni;
    ini.write(cp1251::encode(text));
    ini.close();
  }
  link_->LoadSettings();
  peer_.received.clear();
}

QStringList ScriptLink::protocolFiles() const {
  QDir dir(link_->protocolDir());
  QStringList files;
  for (const QString& name : dir.entryList(QDir::Files, QDir::Name)) files << dir.filePath(name);
  return files;
}

QByteArray ScriptLink::fileBytes(const QString& path) const {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll();
}

QString ScriptLink::fileText(const QString& path) const {
  return cp1251::decode(fileBytes(path));
}

}  // namespace calorix::testing
