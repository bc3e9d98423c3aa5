#pragma once
// The controller's firmware on the simulated furnace: the program runner, the
// PID regulator, the thermocouple chain with its calibration words, and the
// front panel as the controller keeps it in RAM. This class puts them
// together behind the Firmware interface that the command layers call.
//
// Set temperature at RAM 0xDC is the temperature of the running stage (what
// the additional-parameters window reads and writes); the ramped set point that
// the regulator follows is the theoretical temperature at 0x16C.
#include <QtGlobal>

#include <cstdint>
#include <memory>

#include "sim/FactoryDefaults.h"
#include "sim/Firmware.h"
#include "sim/Furnace.h"
#include "sim/Memory.h"
#include "sim/ProgramRunner.h"

namespace calorix::sim {

struct FurnaceFirmwareOptions {
  // Simulated seconds per real second of the emulator's clock: only the
  // furnace and the program runner speed up.
  double simSpeed = 1.0;
  // One regulator step, in simulated seconds.
  double regulatorStepS = 1.0;
  // Room sensor fraction byte 0x70: in sixteenths of a degree (0..15, what the
  // main window's thermocouple read and the telemetry stream decode) or in
  // 1/256 (what the PID frame display decodes). The two readers disagree.
  bool roomFractionInSixteenths = true;
  FurnaceParams furnace;
};

class FurnaceFirmware : public Firmware {
 public:
  explicit FurnaceFirmware(FurnaceFirmwareOptions options = {});
  ~FurnaceFirmware() override;

  void attach(ControllerMemory& memory) override;
  void onPanelKey(std::uint8_t code) override;
  void onPlainKey(std::uint8_t code) override;
  void onRegisterChanged(std::uint8_t reg) override;
  void advanceTo(qint64 nowMs) override;
  bool pidFramesOn() const override;

  // For tests and the simulator's status output.
  const Furnace& furnace() const;
  RunState runState() const;
  int selectedProgram() const;
  // The temperature the controller measures (°C, what 0xC4 holds).
  double measuredC() const;
  // Advances by simulated seconds directly (tests; the clock is bypassed).
  void runSimulatedSeconds(double seconds);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

std::unique_ptr<Firmware> makeFurnaceFirmware(double simSpeed);
std::unique_ptr<Firmware> makeFurnaceFirmware(const FurnaceFirmwareOptions& options);

}  // namespace calorix::sim
