#pragma once
// The serial line as both command layers and the raw reads use it: the one
// open port, its two time-out sets, the drain, and the raw transfers with
// TransferCount (what the last transfer was to move) and TransferDone (what it
// moved). It knows no command, no status and no file.
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>

#include "link/LinkState.h"
#include "link/Port.h"

namespace calorix {

// Every exchange runs under the normal set; only the drain changes the reads.
inline constexpr Timeouts kNormalTimeouts{1800, 30, 6000, 30, 6000};
// The read part of the drain set; DrainPort keeps the write part as it is.
inline constexpr std::uint32_t kDrainReadInterval = 10;
inline constexpr std::uint32_t kDrainReadPerByte = 3;
inline constexpr std::uint32_t kDrainReadConstant = 10;

// COM1..COM16 on this platform; any other number names no device.
QString deviceForPort(qint32 number);

class Transport {
 public:
  Transport() = default;
  ~Transport();
  Transport(const Transport&) = delete;
  Transport& operator=(const Transport&) = delete;

  // Opens the device and sets it up: queue sizes, line settings, the normal
  // set, a purge, then the drain. False when the open failed (an empty name
  // included); the port then stays closed and every transfer fails at once.
  // reopenNames: where the device may come back after a loss, tried in order
  // before the device itself (its stable name).
  bool open(const PortOpener& opener, const QString& device, const LineSettings& line,
            const QStringList& reopenNames = {});
  void close();
  bool isOpen() const { return port_ != nullptr && !lost_; }

  // Throws away what waits in the input: one-byte reads under the drain set
  // until one brings nothing, 9999 at most, then the normal set again.
  void DrainPort();
  // Aborts pending transfers and empties both directions.
  void PurgePort();

  // Writes all the bytes in one transfer; false when they were not all queued.
  bool RawWrite(std::span<const std::uint8_t> bytes);
  // Reads up to into.size() bytes under the current time-outs; returns the
  // count that arrived (also TransferDone).
  std::uint32_t RawRead(std::span<std::uint8_t> into);

  // ---- a lost port ----------------------------------------------------------
  // The port's far end went away (found by a transfer or by checkLine): the
  // port is closed at once, which lets the device and its lock file go, and
  // onLost is called, once per loss. Every transfer then fails at once.
  void setOnLost(std::function<void()> onLost) { onLost_ = std::move(onLost); }
  bool lost() const { return lost_; }
  // Finds a port that hung up while nothing was exchanged; moves no byte.
  void checkLine();
  // After a loss: opens the device again (its reopen names first) and sets it
  // up as open does. True when it is back.
  bool reopen();

  // What the last transfer found of the far end (the drain judges nothing);
  // onLineState is called on every change.
  LineState lineState() const { return lineState_; }
  void setOnLineState(std::function<void(LineState)> f) { onLineState_ = std::move(f); }

  std::uint32_t TransferCount() const { return transferCount_; }
  std::uint32_t TransferDone() const { return transferDone_; }

 private:
  bool setUp(std::unique_ptr<Port> port);
  std::uint32_t read(std::span<std::uint8_t> into);
  void checkLost();
  void letGo();
  void setLineState(LineState state);

  std::unique_ptr<Port> port_;
  // A lost port stays here, closed, until the device is opened again.
  bool lost_ = false;
  bool settingUp_ = false;
  PortOpener opener_;
  QString device_;
  QStringList reopenNames_;
  LineSettings line_;
  std::function<void()> onLost_;
  LineState lineState_ = LineState::Answering;
  std::function<void(LineState)> onLineState_;
  std::uint32_t transferCount_ = 0;
  std::uint32_t transferDone_ = 0;
  // Where drained bytes go; nobody looks at them.
  std::array<std::uint8_t, 1> drained_{};
};

}  // namespace calorix
