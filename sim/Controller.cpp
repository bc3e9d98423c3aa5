#include "sim/Controller.h"

#include <algorithm>

// How the emulator reads the console's bytes.
//
// Plain layer: the controller echoes every byte. 0x40 (sync) is answered with
// its echo and 0x80; 0x03 (byte read) with echoes of the code and the address,
// then the RAM byte and 0x80; 0x02 (byte write) with echoes of the code, the
// address and the value, then 0x80 once RAM holds the value. The plain block
// commands 0x04/0x05 take count, address low and address high (echoed), then
// for 0x04 the count data bytes; the reply ends with the data (echo of what was
// written, or the bytes read) and 0x80. Key codes get their echo only.
//
// Framed layer: code, length (frame size - 1), parameters, end byte 0x80.
// Every byte before the end byte is echoed; after the end byte come three
// bytes, or for the block reads two bytes, the data and one byte.
//
// Telling the commands apart by time, measured from the arrival of the code:
// - 0x04, 0x05: the console pauses 100 ms after the echo of a plain block
//   command before the count, while a frame's length byte follows at once.
//   A next byte within plainPauseMs continues a frame; later, a plain block.
// - 0x01 (SetRegBits), 0x02 (WrByteCmd), 0x04, 0x08 (SendPanelKey) are also
//   plain key codes. The code is echoed at once; a next byte within keyIdleMs
//   continues the command (for 0x04 as above); keyIdleMs of silence, or a next
//   byte later than that, makes it a key code, pressed at the end of the
//   silence (the late byte starts a new command).
// - 0x40, 0x01, 0x40 in quick succession (each 0x01 within keyIdleMs of the
//   sync before it) is the RAM output switch: the lone 0x01 then gets a
//   closing 0x80 at the end of its silence instead of being a key code, and
//   the closing sync toggles the RAM output.
// - A command left unfinished for commandAbandonMs is dropped, so that the
//   console's next command after a failed exchange starts afresh.
//
// Frames the controller sends by itself (PID, telemetry) are queued whole and
// never in the middle of a command: one that falls due while a command is
// being received waits until that command has been answered.

namespace calorix::sim {

namespace {

constexpr std::uint8_t kSync = 0x40;
constexpr std::uint8_t kDone = 0x80;
constexpr std::uint8_t kRefused = 0x81;
constexpr std::uint8_t kFiller = 0x55;
constexpr std::uint16_t kPageRam = 0x200;  // RAM window of the ROM page commands
constexpr int kPageSize = 0x80;
constexpr std::size_t kBlockMemSize = 0x200;
constexpr int kMaxPidFrame = 512;

bool isKeyCode(std::uint8_t b) {
  return b == 0x01 || b == 0x02 || b == 0x04 || b == 0x08 || b == 0x10 || b == 0x20;
}
bool isFramedCode(std::uint8_t b) {
  return b == 0x01 || (b >= 0x04 && b <= 0x0C);
}
// Codes that may still turn out to be something else when the next byte comes.
bool isUndecided(std::uint8_t b) {
  return b == 0x01 || b == 0x02 || b == 0x04 || b == 0x05 || b == 0x08;
}

}  // namespace

struct Controller::Impl {
  explicit Impl(Controller& c) : self(c) {}

  enum class Mode { Idle, Undecided, Framed, PlainRead, PlainWrite, PlainBlock };
  enum class Emitted { Sent, Changed };

  Controller& self;
  qint64 clock = 0;  // the emulator's time: the latest receive or advance

  // The command being received.
  Mode mode = Mode::Idle;
  std::uint8_t code = 0;
  qint64 codeAt = 0;
  qint64 lastRxAt = 0;
  std::vector<std::uint8_t> bytes;  // every byte of the command, the code first

  // RAM output switch: 0 none, 1 a sync has just been answered, 2 the 0x01 after it.
  int ramStep = 0;
  qint64 ramStepAt = 0;

  bool pidActive = false;
  qint64 nextPidAt = 0;
  std::uint8_t pidSeq = 0;
  qint64 nextTelemetryAt = 0;
  qint64 nextFillerAt = 0;

  // Output counter and fault bookkeeping.
  std::uint64_t produced = 0;
  std::uint64_t faultBase = 0;
  qint64 lastDue = 0;

  // ---- output ----

  Emitted emit(std::uint8_t byte, qint64 at) {
    Faults& f = self.faults_;
    const auto index = std::int64_t(produced++ - faultBase);
    if (f.silent) return Emitted::Changed;
    if (f.dropAt >= 0 && index == f.dropAt) {
      f.dropAt = -1;
      return Emitted::Changed;
    }
    Emitted result = Emitted::Sent;
    if (f.replaceAt >= 0 && index == f.replaceAt) {
      f.replaceAt = -1;
      if (byte != f.replaceWith) result = Emitted::Changed;
      byte = f.replaceWith;
    }
    at = std::max(at, lastDue);
    if (f.delayAt >= 0 && index == f.delayAt) {
      f.delayAt = -1;
      at += f.delayMs;
    }
    lastDue = at;
    self.out_.push_back({at, byte});
    return result;
  }

  // A block of data bytes; the short-block fault cuts it.
  void emitBlock(const std::vector<std::uint8_t>& data, qint64 at) {
    std::size_t n = data.size();
    Faults& f = self.faults_;
    if (f.shortBlockBytes >= 0 && !f.silent) {
      n = std::min(n, std::size_t(f.shortBlockBytes));
      f.shortBlockBytes = -1;
    }
    for (std::size_t i = 0; i < n; ++i) emit(data[i], at);
  }

  // ---- frames ----

  std::vector<std::uint8_t> pidFrame() const {
    const auto& ram = self.memory_->ram;
    const int length = std::clamp(self.options_.pidFrameLength, 0, kMaxPidFrame);
    std::vector<std::uint8_t> frame(static_cast<std::size_t>(length));
    for (int i = 0; i < length; ++i) {
      if (i < 3)
        frame[i] = i == 0 ? 0xAA : i == 1 ? 0x55 : pidSeq;
      else if (i < 35)
        frame[i] = ram[i - 3];
      else
        frame[i] = ram[0x60 + (i - 35)];
    }
    return frame;
  }

  void sendPidFrame(qint64 at) {
    auto frame = pidFrame();
    ++pidSeq;
    const std::size_t head = std::min<std::size_t>(3, frame.size());
    for (std::size_t i = 0; i < head; ++i) emit(frame[i], at);
    emitBlock(std::vector<std::uint8_t>(frame.begin() + head, frame.end()), at);
  }

  void sendTelemetryFrame(qint64 at) {
    const auto& ram = self.memory_->ram;
    emit(0xAA, at);
    emit(0x55, at);
    emit(0x00, at);
    std::vector<std::uint8_t> body;
    body.reserve(32 + 227);
    for (int a = 0; a < 32; ++a) body.push_back(ram[a]);
    for (int a = 0x60; a <= 0x142; ++a) body.push_back(ram[a]);
    emitBlock(body, at);
  }

  // Follows the firmware's run switch.
  void updatePid(qint64 now) {
    const bool on = self.firmware_->pidFramesOn();
    if (on && !pidActive) {
      pidActive = true;
      nextPidAt = now + std::max<qint64>(0, self.options_.firstPidFrameMs);
    } else if (!on) {
      pidActive = false;
    }
  }

  void setTelemetry(bool on, qint64 now) {
    if (on && !self.telemetryOn_)
      nextTelemetryAt = now + std::max<qint64>(1, self.options_.telemetryPeriodMs);
    self.telemetryOn_ = on;
  }

  // ---- time-driven events ----

  bool keyCapablePending() const { return mode == Mode::Undecided && code != 0x05; }

  // The earliest thing that happens by itself, if any.
  std::optional<qint64> nextEvent() const {
    std::optional<qint64> t;
    auto consider = [&t](qint64 v) {
      if (!t || v < *t) t = v;
    };
    if (keyCapablePending()) consider(codeAt + self.options_.keyIdleMs);
    if (mode != Mode::Idle) consider(lastRxAt + self.options_.commandAbandonMs);
    if (mode == Mode::Idle) {
      if (pidActive) consider(nextPidAt);
      if (self.telemetryOn_) consider(nextTelemetryAt);
    }
    return t;
  }

  void runUntil(qint64 now) {
    for (;;) {
      auto t = nextEvent();
      if (!t || *t > now) break;
      const qint64 at = std::max(*t, clock);
      moveTime(at);
      if (keyCapablePending() && at >= codeAt + self.options_.keyIdleMs) {
        endAsKey(at);
      } else if (mode != Mode::Idle && at >= lastRxAt + self.options_.commandAbandonMs) {
        reset();
      } else if (mode == Mode::Idle) {
        if (pidActive && nextPidAt <= at) {
          sendPidFrame(at);
          nextPidAt += std::max<qint64>(1, self.options_.cycleMs);
          // A tick missed while a command was being received is not made up.
          if (nextPidAt <= at) nextPidAt = at + std::max<qint64>(1, self.options_.cycleMs);
        }
        if (self.telemetryOn_ && nextTelemetryAt <= at) {
          sendTelemetryFrame(at);
          const qint64 period = std::max<qint64>(1, self.options_.telemetryPeriodMs);
          nextTelemetryAt += period;
          if (nextTelemetryAt <= at) nextTelemetryAt = at + period;
        }
      }
    }
    moveTime(now);
  }

  void moveTime(qint64 t) {
    if (t < clock) return;
    clock = t;
    self.firmware_->advanceTo(t);
    updatePid(t);
  }

  // ---- commands ----

  void reset() {
    mode = Mode::Idle;
    bytes.clear();
  }

  void endAsKey(qint64 at) {
    const std::uint8_t key = code;
    reset();
    if (key == 0x01 && ramStep == 1) {
      ramStep = 2;
      ramStepAt = at;
      emit(kDone, at);
      return;
    }
    ramStep = 0;
    pressPlainKey(key, at);
  }

  void pressPlainKey(std::uint8_t key, qint64 at) {
    if (key == 0x20 && self.ramOut_) setTelemetry(!self.telemetryOn_, at);
    self.firmware_->onPlainKey(key);
    updatePid(at);
  }

  void receive(std::uint8_t b, qint64 at) {
    if (mode == Mode::Idle)
      start(b, at);
    else
      proceed(b, at);
    lastRxAt = at;
  }

  void start(std::uint8_t b, qint64 at) {
    Faults& f = self.faults_;
    const bool ramSwitchStep =
        (b == 0x01 && ramStep == 1 && at - ramStepAt <= self.options_.keyIdleMs) ||
        (b == kSync && ramStep == 2 && at - ramStepAt <= self.options_.keyIdleMs);
    if (!ramSwitchStep && b != kSync) ramStep = 0;
    if (f.refuseCommand >= 0 && b == std::uint8_t(f.refuseCommand)) {
      f.refuseCommand = -1;
      ramStep = 0;
      emit(kRefused, at);
      return;
    }
    if (!isKeyCode(b) && !isFramedCode(b) && b != kSync && b != 0x02 && b != 0x03) {
      emit(kRefused, at);  // not a command this controller knows
      return;
    }
    const bool echoed = emit(b, at) == Emitted::Sent;
    code = b;
    codeAt = at;
    bytes.assign(1, b);
    if (b == kSync) {
      reset();
      if (!echoed) return;  // the console gives the sync up; so does the controller
      emit(kDone, at);
      if (ramSwitchStep) {
        ramStep = 0;
        self.ramOut_ = !self.ramOut_;
        if (!self.ramOut_) setTelemetry(false, at);
      } else {
        ramStep = 1;
        ramStepAt = at;
      }
      return;
    }
    if (b == 0x03) {
      // A plain-only command whose echo went wrong is given up by the console.
      mode = echoed ? Mode::PlainRead : Mode::Idle;
      return;
    }
    if (b == 0x10 || b == 0x20) {
      reset();
      pressPlainKey(b, at);
      return;
    }
    if (b == 0x02 && !echoed) return;  // plain only, given up like 0x03
    if (isUndecided(b)) {
      mode = Mode::Undecided;
      return;
    }
    mode = Mode::Framed;
  }

  void proceed(std::uint8_t b, qint64 at) {
    bytes.push_back(b);
    switch (mode) {
      case Mode::Undecided:
        decide(b, at);
        return;
      case Mode::Framed:
        framedByte(b, at);
        return;
      case Mode::PlainRead:
        plainReadByte(b, at);
        return;
      case Mode::PlainWrite:
        plainWriteByte(b, at);
        return;
      case Mode::PlainBlock:
        plainBlockByte(b, at);
        return;
      case Mode::Idle:
        return;
    }
  }

  // The second byte after an ambiguous code settles what the code was.
  void decide(std::uint8_t b, qint64 at) {
    const qint64 gap = at - codeAt;
    ramStep = 0;
    switch (code) {
      case 0x04:
      case 0x05:
        if (gap < self.options_.plainPauseMs) {
          mode = Mode::Framed;
          framedByte(b, at);
        } else {
          mode = Mode::PlainBlock;
          plainBlockByte(b, at);
        }
        return;
      case 0x02:
        mode = Mode::PlainWrite;
        plainWriteByte(b, at);
        return;
      default:  // 0x01, 0x08
        mode = Mode::Framed;
        framedByte(b, at);
        return;
    }
  }

  // ---- plain layer ----

  std::uint16_t addrAt(std::size_t lowIndex) const {
    return std::uint16_t(bytes[lowIndex] | (bytes[lowIndex + 1] << 8));
  }

  void plainReadByte(std::uint8_t b, qint64 at) {
    emit(b, at);
    if (bytes.size() < 3) return;
    const std::uint16_t addr = addrAt(1);
    emit(self.memory_->ram[addr], at);
    emit(kDone, at);
    finish(at);
  }

  void plainWriteByte(std::uint8_t b, qint64 at) {
    emit(b, at);
    if (bytes.size() < 4) return;
    self.memory_->ram[addrAt(1)] = bytes[3];
    emit(kDone, at);
    finish(at);
  }

  // Bytes: code, count, addr low, addr high, then for 0x04 the data.
  void plainBlockByte(std::uint8_t b, qint64 at) {
    auto& mem = self.memory_->blockMem;
    if (bytes.size() <= 4) emit(b, at);
    if (bytes.size() < 4) return;
    const std::size_t count = bytes[1];
    const std::size_t addr = addrAt(2);
    if (code == 0x05) {
      std::vector<std::uint8_t> data(count);
      for (std::size_t i = 0; i < count; ++i) data[i] = mem[(addr + i) % kBlockMemSize];
      emitBlock(data, at);
      emit(kDone, at);
      finish(at);
      return;
    }
    if (bytes.size() < 4 + count) return;
    std::vector<std::uint8_t> data(bytes.begin() + 4, bytes.end());
    for (std::size_t i = 0; i < count; ++i) mem[(addr + i) % kBlockMemSize] = data[i];
    emitBlock(data, at);
    emit(kDone, at);
    finish(at);
  }

  // ---- framed layer ----

  void framedByte(std::uint8_t b, qint64 at) {
    // bytes[1] is the length: the frame has length + 1 bytes, the last the end byte.
    if (bytes.size() == 2 && b < 2) {
      emit(b, at);
      emit(kRefused, at);  // no room for parameters and an end byte
      finish(at);
      return;
    }
    if (bytes.size() < std::size_t(bytes[1]) + 1) {
      emit(b, at);
      return;
    }
    executeFrame(at);
    finish(at);
  }

  bool frameIsWellFormed() const {
    const std::size_t len = bytes[1];
    if (bytes.back() != kDone) return false;
    switch (code) {
      case 0x01:
        return len == 5 && bytes[2] < 32;
      case 0x04:
      case 0x06:
        return len >= 5 && len == std::size_t(bytes[4]) + 5;
      case 0x05:
      case 0x07:
      case 0x0C:
        return len == 5;
      case 0x08:
        return len == 3;
      case 0x09:
      case 0x0A:
      case 0x0B:
        return len == 4;
      default:
        return false;
    }
  }

  void emitTail(qint64 at) {
    for (int i = 0; i < 3; ++i) emit(kDone, at);
  }

  void emitReadTail(const std::vector<std::uint8_t>& data, qint64 at) {
    emit(kDone, at);
    emit(kDone, at);
    emitBlock(data, at);
    emit(kDone, at);
  }

  void executeFrame(qint64 at) {
    if (!frameIsWellFormed()) {
      // A damaged frame changes nothing; the controller says so in its tail.
      for (int i = 0; i < 3; ++i) emit(kRefused, at);
      return;
    }
    ControllerMemory& mem = *self.memory_;
    const std::uint16_t addr = code == 0x01 || code == 0x08 ? 0 : addrAt(2);
    const std::size_t count = bytes.size() > 4 ? bytes[4] : 0;
    auto readFrom = [&](auto& memory, std::size_t size) {
      std::vector<std::uint8_t> data(count);
      for (std::size_t i = 0; i < count; ++i) data[i] = memory[(addr + i) % size];
      emitReadTail(data, at);
    };
    auto writeTo = [&](auto& memory, std::size_t size) {
      for (std::size_t i = 0; i < count; ++i) memory[(addr + i) % size] = bytes[5 + i];
      emitTail(at);
    };
    const std::size_t page = (addr % mem.rom.size()) & ~std::size_t(kPageSize - 1);
    switch (code) {
      case 0x01: {
        const std::uint8_t reg = bytes[2];
        mem.ram[reg] = std::uint8_t((mem.ram[reg] | bytes[3]) & bytes[4]);
        self.firmware_->onRegisterChanged(reg);
        updatePid(at);
        emitTail(at);
        return;
      }
      case 0x04:
        writeTo(mem.ram, mem.ram.size());
        return;
      case 0x05:
        readFrom(mem.ram, mem.ram.size());
        return;
      case 0x06:
        writeTo(mem.progMem, mem.progMem.size());
        return;
      case 0x07:
        readFrom(mem.progMem, mem.progMem.size());
        return;
      case 0x08:
        self.firmware_->onPanelKey(bytes[2]);
        updatePid(at);
        emitTail(at);
        return;
      case 0x09:  // page into the RAM window, so one program of the pair can be edited
        std::copy_n(mem.rom.begin() + page, kPageSize, mem.ram.begin() + kPageRam);
        emitTail(at);
        return;
      case 0x0A:  // erase
        std::fill_n(mem.rom.begin() + page, kPageSize, std::uint8_t(0xFF));
        emitTail(at);
        return;
      case 0x0B:  // the RAM window into the page
        std::copy_n(mem.ram.begin() + kPageRam, kPageSize, mem.rom.begin() + page);
        emitTail(at);
        return;
      case 0x0C:
        readFrom(mem.rom, mem.rom.size());
        return;
      default:
        return;
    }
  }

  // A command has been answered: frames that fell due meanwhile go out now.
  void finish(qint64 at) {
    reset();
    runUntil(at);
  }
};

Controller::Controller(ControllerOptions options, std::unique_ptr<Firmware> firmware)
    : impl_(std::make_unique<Impl>(*this)),
      options_(options),
      memory_(std::make_unique<ControllerMemory>()),
      firmware_(firmware ? std::move(firmware) : std::make_unique<PassiveFirmware>()) {
  firmware_->attach(*memory_);
}

Controller::~Controller() = default;

void Controller::setFaults(const Faults& faults) {
  faults_ = faults;
  impl_->faultBase = impl_->produced;
  impl_->nextFillerAt = impl_->clock;
}

void Controller::receive(std::uint8_t byte, qint64 atMs) {
  received_.push_back(byte);
  atMs = std::max(atMs, impl_->clock);
  impl_->runUntil(atMs);
  if (faults_.silent) return;  // deaf as well as mute
  impl_->receive(byte, atMs);
}

void Controller::advanceTo(qint64 nowMs) {
  impl_->runUntil(std::max(nowMs, impl_->clock));
}

std::optional<qint64> Controller::nextOutputTime() const {
  std::optional<qint64> t;
  auto consider = [&t](qint64 v) {
    if (!t || v < *t) t = v;
  };
  if (!out_.empty()) consider(out_.front().at);
  if (faults_.silent) return t;
  if (faults_.keepSending) consider(impl_->nextFillerAt);
  const Impl& s = *impl_;
  if (s.mode == Impl::Mode::Idle) {
    if (s.pidActive) consider(s.nextPidAt);
    if (telemetryOn_) consider(s.nextTelemetryAt);
  } else if (s.pidActive || telemetryOn_ || (s.code == 0x01 && s.ramStep == 1)) {
    // Something will be sent once the command in progress has settled (a
    // frame held back, the closing 0x80 of the RAM output switch): wake the
    // reader when it settles.
    if (auto e = s.nextEvent()) consider(*e);
  }
  return t;
}

std::size_t Controller::take(std::uint8_t* out, std::size_t max, qint64 nowMs) {
  advanceTo(nowMs);
  const qint64 now = impl_->clock;
  std::size_t n = 0;
  std::size_t fillers = 0;
  while (n < max) {
    // Filler bytes of a controller that keeps sending, one per millisecond.
    if (faults_.keepSending && impl_->nextFillerAt <= now && fillers < max &&
        (out_.empty() || out_.front().at > impl_->nextFillerAt)) {
      impl_->emit(kFiller, impl_->nextFillerAt);
      ++impl_->nextFillerAt;
      ++fillers;
    }
    if (out_.empty() || out_.front().at > now) break;
    out[n++] = out_.front().byte;
    sent_.push_back(out_.front().byte);
    out_.pop_front();
  }
  return n;
}

}  // namespace calorix::sim
