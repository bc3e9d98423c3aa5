#pragma once
// The controller emulator: both command layers spoken byte by byte, exactly as
// the console expects of the real controller, over the memories in
// ControllerMemory, with the firmware behind them and deterministic fault
// triggers for tests.
//
// The parts, mirroring the link's: CommandRouter tells the commands apart by
// time and hands their bytes to PlainCommands or FramedCommands; OwnFrames
// sends the PID and telemetry frames; LineOutput queues every byte sent and
// applies the faults. This class is the far end of the line (a Peer) and
// runs their time-driven work.
#include <QtGlobal>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "core/Peer.h"
#include "sim/ControllerOptions.h"
#include "sim/Firmware.h"
#include "sim/Memory.h"

namespace calorix::sim {

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
  const Faults& faults() const;
  // The probe of the in-memory port: true while the line is gone.
  bool lineGone() const { return faults().portGone; }

  bool ramOutEnabled() const;
  bool telemetryOn() const;

  // What crossed the line, in order (for byte-exact tests).
  const std::vector<std::uint8_t>& received() const { return received_; }
  const std::vector<std::uint8_t>& sent() const;
  void clearLogs();

  // Peer
  void receive(std::uint8_t byte, qint64 atMs) override;
  void advanceTo(qint64 nowMs) override;
  std::optional<qint64> nextOutputTime() const override;
  std::size_t take(std::uint8_t* out, std::size_t max, qint64 nowMs) override;

 private:
  struct Impl;
  ControllerOptions options_;
  std::unique_ptr<ControllerMemory> memory_;
  std::unique_ptr<Firmware> firmware_;
  std::vector<std::uint8_t> received_;
  std::unique_ptr<Impl> impl_;  // last: its parts refer to the members above
};

}  // namespace calorix::sim
