#pragma once
// What the controller does inside, behind its command layers: the furnace, the
// regulator, the program runner and the front panel. The command layers
// (Controller) own the wire and the memories; the firmware reacts to keys and
// to time and keeps RAM as a real controller would.
#include <QtGlobal>

#include <cstdint>

#include "sim/Memory.h"

namespace calorix::sim {

class Firmware {
 public:
  virtual ~Firmware() = default;
  // Called once, before anything else; the memory outlives the firmware.
  virtual void attach(ControllerMemory& memory) = 0;
  // A front-panel key or encoder event of the framed key command (0x08):
  // 0x01 Пуск/Стоп, 0x02 Прог., 0x04 Ступ., 0x08 Парам., 0x20 "<", 0x40 ">",
  // 0x80 encoder, 0x00 the release that follows "<" and ">".
  virtual void onPanelKey(std::uint8_t code) = 0;
  // A one-byte key code of the plain protocol (0x01, 0x02, 0x04, 0x08, 0x10, 0x20).
  virtual void onPlainKey(std::uint8_t code) = 0;
  // A register changed by the bit command (register number 0..31).
  virtual void onRegisterChanged(std::uint8_t reg) = 0;
  // Simulated work up to nowMs (the emulator's clock, real or virtual).
  virtual void advanceTo(qint64 nowMs) = 0;
  // True while the controller sends a PID frame once per regulator cycle.
  virtual bool pidFramesOn() const = 0;
};

// Firmware that keeps memory as it is and only follows the run switch: a run
// starts at key code 1 while bit 2 of R5 is set and stops at the next key code
// 1 or when the bit is cleared. Protocol tests use it.
class PassiveFirmware : public Firmware {
 public:
  void attach(ControllerMemory& memory) override { mem_ = &memory; }
  void onPanelKey(std::uint8_t code) override {
    if (code != 0x01) return;
    if (framesOn_)
      framesOn_ = false;
    else if (mem_->ram[5] & 0x04)
      framesOn_ = true;
  }
  void onPlainKey(std::uint8_t) override {}
  void onRegisterChanged(std::uint8_t reg) override {
    if (reg == 5 && !(mem_->ram[5] & 0x04)) framesOn_ = false;
  }
  void advanceTo(qint64) override {}
  bool pidFramesOn() const override { return framesOn_; }

 private:
  ControllerMemory* mem_ = nullptr;
  bool framesOn_ = false;
};

}  // namespace calorix::sim
