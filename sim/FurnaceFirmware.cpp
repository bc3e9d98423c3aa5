#include "sim/FurnaceFirmware.h"

#include "core/ControllerMap.h"
#include "sim/FrontPanel.h"
#include "sim/Regulator.h"
#include "sim/ThermocoupleChain.h"

namespace calorix::sim {

struct FurnaceFirmware::Impl {
  explicit Impl(const FurnaceFirmwareOptions& o)
      : options(o),
        furnace(o.furnace),
        chain(o.roomFractionInSixteenths),
        regulator(o.regulatorStepS) {}

  FurnaceFirmwareOptions options;
  Furnace furnace;
  ThermocoupleChain chain;
  ProgramRunner runner;
  Regulator regulator;
  FrontPanel panel;
  ControllerMemory* mem = nullptr;
  Reading reading;

  // Clock.
  bool clockStarted = false;
  qint64 lastMs = 0;
  double pendingS = 0;

  void puskStop() {
    if (runner.puskStarts()) {
      panel.prepareForRun(*mem);
      regulator.reset();
      runner.start(*mem, panel.selectedProgram(), reading.measured);
    } else {
      runner.stop(*mem);  // a running program, a delayed start, or the end acknowledged
    }
  }

  void showPanel() { panel.show(*mem, runner, reading); }

  void step(double dt) {
    furnace.step(dt, mem->ram[ctl::ram::kHeaterPower]);
    reading = chain.measure(*mem, furnace);
    regulator.record(reading.measured);
    runner.advance(*mem, dt, reading.measured);
    regulator.regulate(*mem, dt, runner, reading.measured);
  }

  void runFor(double seconds) {
    pendingS += seconds;
    const double dt = options.regulatorStepS;
    bool stepped = false;
    while (pendingS >= dt) {
      step(dt);
      pendingS -= dt;
      stepped = true;
    }
    if (stepped) showPanel();
  }
};

FurnaceFirmware::FurnaceFirmware(FurnaceFirmwareOptions options)
    : impl_(std::make_unique<Impl>(options)) {}
FurnaceFirmware::~FurnaceFirmware() = default;

void FurnaceFirmware::attach(ControllerMemory& memory) {
  Impl& d = *impl_;
  d.mem = &memory;
  loadFactoryDefaults(memory);
  d.chain.adoptGainWord(memory);
  d.runner.adoptRunSwitch(memory);
  d.reading = d.chain.measure(memory, d.furnace);
  d.runner.restAt(d.reading.measured);
  d.regulator.regulate(memory, d.options.regulatorStepS, d.runner, d.reading.measured);
  d.showPanel();
}

void FurnaceFirmware::onPanelKey(std::uint8_t code) {
  Impl& d = *impl_;
  if (code == ctl::panelKey::kPuskStop)
    d.puskStop();
  else
    d.panel.panelKey(*d.mem, code, d.runner.running());
  d.showPanel();
}

void FurnaceFirmware::onPlainKey(std::uint8_t code) {
  Impl& d = *impl_;
  d.panel.plainKey(*d.mem, code, d.runner.running());
  d.showPanel();
}

void FurnaceFirmware::onRegisterChanged(std::uint8_t reg) {
  if (reg == ctl::reg::kRun) impl_->runner.onRunSwitchChanged(*impl_->mem);
}

void FurnaceFirmware::advanceTo(qint64 nowMs) {
  Impl& d = *impl_;
  if (!d.clockStarted || nowMs < d.lastMs) {
    d.clockStarted = true;
    d.lastMs = nowMs;
    return;
  }
  const qint64 elapsed = nowMs - d.lastMs;
  d.lastMs = nowMs;
  d.runFor(elapsed / 1000.0 * d.options.simSpeed);
}

bool FurnaceFirmware::pidFramesOn() const {
  return impl_->runner.pidFramesOn();
}
const Furnace& FurnaceFirmware::furnace() const {
  return impl_->furnace;
}
RunState FurnaceFirmware::runState() const {
  return impl_->runner.state();
}
int FurnaceFirmware::selectedProgram() const {
  return impl_->panel.selectedProgram();
}
double FurnaceFirmware::measuredC() const {
  return impl_->reading.measured;
}
void FurnaceFirmware::runSimulatedSeconds(double seconds) {
  impl_->runFor(seconds);
}

std::unique_ptr<Firmware> makeFurnaceFirmware(double simSpeed) {
  FurnaceFirmwareOptions o;
  o.simSpeed = simSpeed;
  return makeFurnaceFirmware(o);
}
std::unique_ptr<Firmware> makeFurnaceFirmware(const FurnaceFirmwareOptions& options) {
  return std::make_unique<FurnaceFirmware>(options);
}

}  // namespace calorix::sim
