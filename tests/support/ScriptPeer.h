#pragma once
// A scripted far end for link tests that need exact control over what comes
// back and when: each byte the console sends is answered by a responder (by
// default its echo), answers come after a set delay, and the test can queue
// bytes the far end sends by itself. Everything the console sent is kept.
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QtGlobal>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "core/Clock.h"
#include "core/Peer.h"
#include "link/Link.h"
#include "link/MemoryPort.h"

namespace calorix::testing {

class ScriptPeer : public Peer {
 public:
  // The answer to the index-th byte the console sent (0-based).
  using Responder = std::function<std::vector<std::uint8_t>(std::uint8_t byte, std::size_t index)>;
  Responder respond = [](std::uint8_t byte, std::size_t) {
    return std::vector<std::uint8_t>{byte};
  };
  // From receipt to the first answer byte, and between answer bytes.
  qint64 answerDelayMs = 0;
  qint64 byteGapMs = 0;

  // Bytes sent unasked, the first at atMs, then one every gapMs.
  void sendAt(qint64 atMs, const std::vector<std::uint8_t>& bytes, qint64 gapMs = 0);
  std::size_t pending() const { return out_.size(); }

  std::vector<std::uint8_t> received;

  // Peer
  void receive(std::uint8_t byte, qint64 atMs) override;
  void advanceTo(qint64) override {}
  std::optional<qint64> nextOutputTime() const override;
  std::size_t take(std::uint8_t* out, std::size_t max, qint64 nowMs) override;

 private:
  struct Due {
    qint64 at;
    std::uint8_t byte;
  };
  void queue(qint64 atMs, const std::vector<std::uint8_t>& bytes, qint64 gapMs);
  std::deque<Due> out_;
};

// Answers as a working controller does for the framed commands: every frame
// byte is echoed; after the end byte of a block read (0x05, 0x07, 0x0C) come two
// bytes, count data bytes (dataByte(i)) and 0x80; after any other end byte
// three bytes. Only for frames sent without faults.
ScriptPeer::Responder framedResponder(std::function<std::uint8_t(std::size_t)> dataByte = {});

// Protocol lines with their stamps ("HH:MM:SS:hh ") cut off, the first line
// ("Данные работы RS485   ") dropped.
QStringList traceTexts(const QString& path);

// A Link on a ScriptPeer through the in-memory port and the virtual clock,
// with ZaroZ.ini and the data root in a temporary directory.
class ScriptLink {
 public:
  ScriptLink();
  ~ScriptLink();
  // Writes ZaroZ.ini (protocol switch as given, DirAll in the temporary
  // directory) and runs LoadSettings; the peer's logs start empty afterwards.
  void start(bool protocolOn = true, const QString& extraIni = QString());

  Link& link() { return *link_; }
  ScriptPeer& peer() { return peer_; }
  VirtualClock& clock() { return clock_; }
  MemoryPort* port() { return port_; }
  QString root() const { return dir_.filePath("logs"); }
  // Every file under the protocol directory, oldest name first, and one
  // decoded (CR LF kept).
  QStringList protocolFiles() const;
  QString fileText(const QString& path) const;
  QByteArray fileBytes(const QString& path) const;

  QStringList controlStatus;
  std::vector<std::pair<quint16, quint16>> dwordHalves;

 private:
  QTemporaryDir dir_;
  VirtualClock clock_;
  ScriptPeer peer_;
  std::unique_ptr<Link> link_;
  MemoryPort* port_ = nullptr;
};

}  // namespace calorix::testing
