// The controller emulator fed arbitrary bytes at arbitrary moments, with the
// furnace firmware running: no crash, no memory error, and its output stays
// bounded by what the line can carry in the time that passed.
#include <memory>

#include "fuzz/FuzzInput.h"
#include "sim/Controller.h"
#include "sim/FurnaceFirmware.h"

using namespace calorix;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Input in(data, size);
  sim::ControllerOptions options;
  options.telemetryPeriodMs = 25 + in.byte();
  sim::Controller ctrl(options, std::make_unique<sim::FurnaceFirmware>());
  qint64 now = 0;
  std::uint8_t out[512];
  std::size_t taken = 0;
  while (!in.empty()) {
    const std::uint8_t gap = in.byte();
    // Mostly back to back, now and then a pause long enough to end a command.
    now += gap < 200 ? gap % 8 : qint64(gap) * 40;
    ctrl.receive(in.byte(), now);
    ctrl.advanceTo(now);
    taken += ctrl.take(out, sizeof out, now);
  }
  now += 10000;
  ctrl.advanceTo(now);
  taken += ctrl.take(out, sizeof out, now);
  // 115200 baud carries about 11.5 bytes a millisecond; allow the echoes too.
  FUZZ_CHECK(taken <= std::size_t(now) * 12 + 4096, "output bounded by the line rate");
  return 0;
}
