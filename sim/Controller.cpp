#include "sim/Controller.h"

#include <algorithm>

#include "sim/CommandRouter.h"
#include "sim/FramedCommands.h"
#include "sim/LineOutput.h"
#include "sim/OwnFrames.h"
#include "sim/PlainCommands.h"

namespace calorix::sim {

struct Controller::Impl {
  Impl(const ControllerOptions& options, ControllerMemory& memory, Firmware& fw)
      : firmware(fw),
        frames(options, memory, output),
        plain(options, memory, fw, output, frames),
        framed(memory, fw, output, frames),
        router(options, output, plain, framed) {}

  Firmware& firmware;
  LineOutput output;
  OwnFrames frames;
  PlainCommands plain;
  FramedCommands framed;
  CommandRouter router;
  qint64 clock = 0;  // the emulator's time: the latest receive or advance

  // The earliest thing that happens by itself, if any. Frames the controller
  // sends by itself wait while a command is being received.
  std::optional<qint64> nextEvent() const {
    return router.idle() ? frames.nextDue() : router.nextDeadline();
  }

  void runUntil(qint64 now) {
    for (;;) {
      const auto t = nextEvent();
      if (!t || *t > now) break;
      const qint64 at = std::max(*t, clock);
      moveTime(at);
      if (router.idle())
        frames.sendDue(at);
      else
        router.settle(at);
    }
    moveTime(now);
  }

  void moveTime(qint64 t) {
    if (t < clock) return;
    clock = t;
    firmware.advanceTo(t);
    frames.followRun(firmware.pidFramesOn(), t);
  }
};

Controller::Controller(ControllerOptions options, std::unique_ptr<Firmware> firmware)
    : options_(options),
      memory_(std::make_unique<ControllerMemory>()),
      firmware_(firmware ? std::move(firmware) : std::make_unique<PassiveFirmware>()),
      impl_(std::make_unique<Impl>(options_, *memory_, *firmware_)) {
  firmware_->attach(*memory_);
}

Controller::~Controller() = default;

void Controller::setFaults(const Faults& faults) {
  impl_->output.setFaults(faults, impl_->clock);
}

const Faults& Controller::faults() const {
  return impl_->output.faults();
}

bool Controller::ramOutEnabled() const {
  return impl_->plain.ramOutEnabled();
}

bool Controller::telemetryOn() const {
  return impl_->frames.telemetryOn();
}

const std::vector<std::uint8_t>& Controller::sent() const {
  return impl_->output.sent();
}

void Controller::clearLogs() {
  received_.clear();
  impl_->output.clearSent();
}

void Controller::receive(std::uint8_t byte, qint64 atMs) {
  received_.push_back(byte);
  atMs = std::max(atMs, impl_->clock);
  impl_->runUntil(atMs);
  if (impl_->output.silent()) return;  // deaf as well as mute
  // A command has been answered: frames that fell due meanwhile go out now.
  if (impl_->router.receive(byte, atMs)) impl_->runUntil(atMs);
}

void Controller::advanceTo(qint64 nowMs) {
  impl_->runUntil(std::max(nowMs, impl_->clock));
}

std::optional<qint64> Controller::nextOutputTime() const {
  const Impl& s = *impl_;
  std::optional<qint64> t = s.output.nextOutputTime();
  if (s.output.silent()) return t;
  // Something will be sent once the command in progress has settled (a frame
  // held back, the closing 0x80 of the RAM output switch): wake the reader
  // when it settles.
  const bool wakeWhenSettled =
      s.router.idle() || s.frames.scheduled() || s.plain.awaitsSwitchStep(s.router.code());
  if (wakeWhenSettled) {
    if (const auto e = s.nextEvent(); e && (!t || *e < *t)) t = e;
  }
  return t;
}

std::size_t Controller::take(std::uint8_t* out, std::size_t max, qint64 nowMs) {
  advanceTo(nowMs);
  return impl_->output.take(out, max, impl_->clock);
}

}  // namespace calorix::sim
