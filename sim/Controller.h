#pragma once
// The controller emulator: both command layers spoken byte by byte, exactly as
// the console expects of the real controller, over the memories in
// ControllerMemory, with the firmware behind them and deterministic fault
// triggers for tests.
//
// Plain and framed commands share the codes 0x04 and 0x05 (and several plain
// key codes share codes with framed commands). The console waits 100 ms after
// the echo of a plain block command before it sends the count, while the
// framed commands send their length byte at once; the emulator tells them
// apart by that pause, and a lone key code by the silence after it.
#include <QtGlobal>

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <vector>

#include "core/Peer.h"
#include "sim/Firmware.h"
#include "sim/Memory.h"

namespace calorix::sim {

struct ControllerOptions {
  qint64 cycleMs = 4000;           // regulator cycle: one PID frame per cycle
  qint64 telemetryPeriodMs = 500;  // one telemetry frame per period while streaming
  int pidFrameLength = 310;        // bytes of a PID frame (the console's DataPid)
  qint64 plainPauseMs = 50;        // a gap at least this long after 0x04/0x05 means plain
  qint64 keyIdleMs = 300;          // silence after an ambiguous code ends it as a key code
  qint64 firstPidFrameMs = 1000;   // the first PID frame of a run comes this long after the start
  qint64 commandAbandonMs = 3000;  // a command left unfinished this long is dropped
};

// Deterministic faults. Counters count output bytes from the moment the fault
// is armed (0 = the next byte the emulator sends). Each fires once.
struct Faults {
  bool silent = false;       // answer nothing
  bool keepSending = false;  // send filler bytes without end
  bool portGone = false;     // the line is gone: the port's writes fail
  int refuseCommand = -1;    // the next command byte equal to this is answered 0x81 and dropped
  int replaceAt = -1;        // this output byte is replaced by replaceWith
  std::uint8_t replaceWith = 0;
  int dropAt = -1;   // this output byte is not sent
  int delayAt = -1;  // this output byte (and all after it) comes delayMs later
  qint64 delayMs = 0;
  // The next data block sends only this many of its data bytes; the rest of the
  // block is lost on the line and what follows it (the closing byte of a block
  // reply) comes as usual. A data block is the data of a block read, the echo
  // of the data of a plain block write, or the body of a PID or telemetry frame
  // after its 3-byte header.
  int shortBlockBytes = -1;
};

class Controller : public Peer {
 public:
  explicit Controller(ControllerOptions options = {}, std::unique_ptr<Firmware> firmware = nullptr);
  ~Controller() override;

  ControllerMemory& memory() { return *memory_; }
  const ControllerMemory& memory() const { return *memory_; }
  Firmware& firmware() { return *firmware_; }
  ControllerOptions& options() { return options_; }

  // Arms faults; output counters start from the bytes sent so far.
  void setFaults(const Faults& faults);
  const Faults& faults() const { return faults_; }
  // The probe of the in-memory port: true while the line is gone.
  bool lineGone() const { return faults_.portGone; }

  bool ramOutEnabled() const { return ramOut_; }
  bool telemetryOn() const { return telemetryOn_; }

  // What crossed the line, in order (for byte-exact tests).
  const std::vector<std::uint8_t>& received() const { return received_; }
  const std::vector<std::uint8_t>& sent() const { return sent_; }
  void clearLogs() {
    received_.clear();
    sent_.clear();
  }

  // Peer
  void receive(std::uint8_t byte, qint64 atMs) override;
  void advanceTo(qint64 nowMs) override;
  std::optional<qint64> nextOutputTime() const override;
  std::size_t take(std::uint8_t* out, std::size_t max, qint64 nowMs) override;

 private:
  struct Pending {
    qint64 at;
    std::uint8_t byte;
  };
  struct Impl;
  std::unique_ptr<Impl> impl_;
  ControllerOptions options_;
  std::unique_ptr<ControllerMemory> memory_;
  std::unique_ptr<Firmware> firmware_;
  Faults faults_;
  bool ramOut_ = false;
  bool telemetryOn_ = false;
  std::deque<Pending> out_;
  std::vector<std::uint8_t> received_;
  std::vector<std::uint8_t> sent_;
};

}  // namespace calorix::sim
