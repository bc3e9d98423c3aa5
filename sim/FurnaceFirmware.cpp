#include "sim/FurnaceFirmware.h"

namespace calorix::sim {

struct FurnaceFirmware::Impl {
  explicit Impl(const FurnaceFirmwareOptions& o) : options(o), furnace(o.furnace) {}
  FurnaceFirmwareOptions options;
  Furnace furnace;
  ControllerMemory* mem = nullptr;
  bool framesOn = false;
};

FurnaceFirmware::FurnaceFirmware(FurnaceFirmwareOptions options)
    : impl_(std::make_unique<Impl>(options)) {}
FurnaceFirmware::~FurnaceFirmware() = default;

void FurnaceFirmware::attach(ControllerMemory& memory) {
  impl_->mem = &memory;
  loadFactoryDefaults(memory);
}
void FurnaceFirmware::onPanelKey(std::uint8_t code) {
  if (code != 0x01) return;
  if (impl_->framesOn)
    impl_->framesOn = false;
  else if (impl_->mem->ram[5] & 0x04)
    impl_->framesOn = true;
}
void FurnaceFirmware::onPlainKey(std::uint8_t) {}
void FurnaceFirmware::onRegisterChanged(std::uint8_t reg) {
  if (reg == 5 && !(impl_->mem->ram[5] & 0x04)) impl_->framesOn = false;
}
void FurnaceFirmware::advanceTo(qint64) {}
bool FurnaceFirmware::pidFramesOn() const {
  return impl_->framesOn;
}
const Furnace& FurnaceFirmware::furnace() const {
  return impl_->furnace;
}
RunState FurnaceFirmware::runState() const {
  return RunState::Idle;
}
int FurnaceFirmware::selectedProgram() const {
  return 1;
}
double FurnaceFirmware::measuredC() const {
  return impl_->furnace.chamberC();
}
void FurnaceFirmware::runSimulatedSeconds(double) {}

void loadFactoryDefaults(ControllerMemory&) {}

std::unique_ptr<Firmware> makeFurnaceFirmware(double simSpeed) {
  FurnaceFirmwareOptions o;
  o.simSpeed = simSpeed;
  return makeFurnaceFirmware(o);
}
std::unique_ptr<Firmware> makeFurnaceFirmware(const FurnaceFirmwareOptions& options) {
  return std::make_unique<FurnaceFirmware>(options);
}

}  // namespace calorix::sim
