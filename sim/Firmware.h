#pragma once
// What the controller does inside, behind its command layers: the furnace, the
// regulator, the program runner and the front panel. The command layers
// (Controller) own the wire and the memories; the firmware reacts to keys and
// to time and keeps RAM as a real controller would.
#include <QtGlobal>

#include <cstdint>

#include "core/ControllerMap.h"
#include "sim/Memory.h"

namespace calorix::sim {

class Firmware {
 public:
  virtual ~Firmware() = default;
  // Called once, before anything else; the memory outlives the firmware.
  virtual void attach(ControllerMemory& memory) = 0;
  // A front-panel key or encoder event of the framed key command
  // (ctl::panelKey: Пуск/Стоп, Прог., Ступ., Парам., "<", ">", the encoder,
  // and the release that follows "<" and ">").
  virtual void onPanelKey(std::uint8_t code) = 0;
  // A one-byte key code of the plain protocol (ctl::plainKey).
  virtual void onPlainKey(std::uint8_t code) = 0;
  // A register changed by the bit command (register number 0..31).
  virtual void onRegisterChanged(std::uint8_t reg) = 0;
  // Simulated work up to nowMs (the emulator's clock, real or virtual).
  virtual void advanceTo(qint64 nowMs) = 0;
  // True while the controller sends a PID frame once per regulator cycle.
  virtual bool pidFramesOn() const = 0;
};

// Firmware that keeps memory as it is and only follows the run switch: a run
// starts at Пуск/Стоп while the PID-frame bit of R5 is set and stops at the
// next Пуск/Стоп or when the bit is cleared. Protocol tests use it.
class PassiveFirmware : public Firmware {
 public:
  void attach(ControllerMemory& memory) override { mem_ = &memory; }
  void onPanelKey(std::uint8_t code) override {
    if (code != ctl::panelKey::kPuskStop) return;
    if (framesOn_)
      framesOn_ = false;
    else if (runSwitchOn())
      framesOn_ = true;
  }
  void onPlainKey(std::uint8_t) override {}
  void onRegisterChanged(std::uint8_t reg) override {
    if (reg == ctl::reg::kRun && !runSwitchOn()) framesOn_ = false;
  }
  void advanceTo(qint64) override {}
  bool pidFramesOn() const override { return framesOn_; }

 private:
  bool runSwitchOn() const { return mem_->reg(ctl::reg::kRun) & ctl::reg::kRunPidFrames; }
  ControllerMemory* mem_ = nullptr;
  bool framesOn_ = false;
};

}  // namespace calorix::sim
