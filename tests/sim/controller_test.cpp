// The emulator spoken to byte by byte under a hand-moved clock.
#include "sim/Controller.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace calorix::sim {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Remembers what the command layers handed to the firmware.
class RecordingFirmware : public PassiveFirmware {
 public:
  void onPanelKey(std::uint8_t code) override {
    panelKeys.push_back(code);
    PassiveFirmware::onPanelKey(code);
  }
  void onPlainKey(std::uint8_t code) override {
    plainKeys.push_back(code);
    plainKeyTimes.push_back(lastAdvance);
  }
  void onRegisterChanged(std::uint8_t reg) override {
    registers.push_back(reg);
    PassiveFirmware::onRegisterChanged(reg);
  }
  void advanceTo(qint64 nowMs) override { lastAdvance = nowMs; }

  Bytes panelKeys, plainKeys, registers;
  std::vector<qint64> plainKeyTimes;
  qint64 lastAdvance = 0;
};

// The console's side: bytes go out at the current time, replies are taken at
// the current time.
struct Console {
  explicit Console(ControllerOptions options = {}) {
    auto fw = std::make_unique<RecordingFirmware>();
    firmware = fw.get();
    controller = std::make_unique<Controller>(options, std::move(fw));
  }
  // Sends the bytes one by one at the current time and returns what is due.
  Bytes send(const Bytes& bytes) {
    for (auto b : bytes) controller->receive(b, now);
    return takeDue();
  }
  Bytes after(qint64 ms, const Bytes& bytes = {}) {
    now += ms;
    return send(bytes);
  }
  Bytes takeDue() {
    Bytes got(4096);
    got.resize(controller->take(got.data(), got.size(), now));
    return got;
  }
  ControllerMemory& mem() { return controller->memory(); }

  std::unique_ptr<Controller> controller;
  RecordingFirmware* firmware = nullptr;
  qint64 now = 1000;
};

Bytes cat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// ---- plain layer ----

TEST(ControllerPlain, SyncByteReadAndByteWriteAnswerAsTheConsoleChecks) {
  Console c;
  c.mem().ram[0x1234] = 0x5A;
  EXPECT_EQ(c.send({0x40}), (Bytes{0x40, 0x80}));
  EXPECT_EQ(c.send({0x03, 0x34, 0x12}), (Bytes{0x03, 0x34, 0x12, 0x5A, 0x80}));
  EXPECT_EQ(c.send({0x02, 0xFF, 0xFF, 0x77}), (Bytes{0x02, 0xFF, 0xFF, 0x77, 0x80}));
  EXPECT_EQ(c.mem().ram[0xFFFF], 0x77);
  EXPECT_TRUE(c.firmware->plainKeys.empty()) << "0x02 followed by its address is no key";
}

TEST(ControllerPlain, BlockCommandsUseTheBlockMemoryAfterThePause) {
  Console c;
  for (int i = 0; i < 8; ++i) c.mem().blockMem[0x70 + i] = std::uint8_t(0xA0 + i);
  // Read: echo, 100 ms pause, count and address without replies between.
  EXPECT_EQ(c.send({0x05}), (Bytes{0x05}));
  EXPECT_EQ(c.after(100, {0x03, 0x71, 0x00}), (Bytes{0x03, 0x71, 0x00, 0xA1, 0xA2, 0xA3, 0x80}));
  // Write: the data echoed, then 0x80; plain RAM is untouched.
  EXPECT_EQ(c.after(500, {0x04}), (Bytes{0x04}));
  EXPECT_EQ(c.after(100, {0x02, 0x10, 0x00, 0x11, 0x22}),
            (Bytes{0x02, 0x10, 0x00, 0x11, 0x22, 0x80}));
  EXPECT_EQ(c.mem().blockMem[0x10], 0x11);
  EXPECT_EQ(c.mem().blockMem[0x11], 0x22);
  EXPECT_EQ(c.mem().ram[0x10], 0x00);
  // Addresses past the block memory wrap instead of running off its end.
  c.mem().blockMem[0] = 0x3C;
  c.after(500, {0x05});
  EXPECT_EQ(c.after(100, {0x02, 0xFF, 0x01}), (Bytes{0x02, 0xFF, 0x01, 0x00, 0x3C, 0x80}));
}

// The length byte of a frame follows its code at once; a plain block count
// comes after the console's 100 ms pause.
TEST(ControllerPlain, PauseAfterCodeTellsPlainBlockFromFrame) {
  struct Case {
    std::uint8_t code;
    qint64 gapMs;
    bool framed;
  };
  for (const Case& k : {Case{0x05, 0, true}, Case{0x05, 49, true}, Case{0x05, 50, false},
                        Case{0x05, 100, false}, Case{0x04, 0, true}, Case{0x04, 100, false}}) {
    SCOPED_TRACE(std::to_string(k.code) + " after " + std::to_string(k.gapMs) + " ms");
    Console c;
    c.mem().ram[0x60] = 0x11;
    c.mem().blockMem[0x60] = 0x22;
    c.send({k.code});
    Bytes reply;
    if (k.code == 0x05) {
      reply = c.after(k.gapMs, {0x05});  // length 5 of a frame, or a plain count of 5
      reply = cat(reply, c.send({0x60, 0x00, 0x01, 0x80}));
      if (k.framed)
        EXPECT_EQ(reply, (Bytes{0x05, 0x60, 0x00, 0x01, 0x80, 0x80, 0x11, 0x80}));
      else  // count 5 from 0x60, then two stray bytes start new commands
        EXPECT_EQ(Bytes(reply.begin(), reply.begin() + 9),
                  (Bytes{0x05, 0x60, 0x00, 0x22, 0x00, 0x00, 0x00, 0x00, 0x80}));
    } else {
      reply = c.after(k.gapMs, {0x06});  // length 6 of a frame, or a plain count of 6
      reply = cat(reply, c.send({0x60, 0x00, 0x01, 0x5A, 0x80}));
      if (k.framed)
        EXPECT_EQ(reply, (Bytes{0x06, 0x60, 0x00, 0x01, 0x5A, 0x80, 0x80, 0x80}));
      else  // three of the six data bytes: nothing written, nothing answered yet
        EXPECT_EQ(reply, (Bytes{0x06, 0x60, 0x00}));
      EXPECT_EQ(c.mem().ram[0x60], k.framed ? 0x5A : 0x11);
      EXPECT_EQ(c.mem().blockMem[0x60], 0x22);
    }
    EXPECT_TRUE(c.firmware->plainKeys.empty());
  }
}

TEST(ControllerPlain, LoneAmbiguousCodeIsAKeyAfterTheSilence) {
  for (std::uint8_t code : {0x01, 0x02, 0x04, 0x08}) {
    SCOPED_TRACE(int(code));
    Console c;
    EXPECT_EQ(c.send({code}), (Bytes{code}));
    EXPECT_TRUE(c.after(299).empty());
    EXPECT_TRUE(c.firmware->plainKeys.empty()) << "still undecided";
    EXPECT_TRUE(c.after(1).empty()) << "a key code gets its echo only";
    EXPECT_EQ(c.firmware->plainKeys, (Bytes{code}));
    EXPECT_EQ(c.firmware->plainKeyTimes.back(), 1300);
    // The controller is ready for the next command.
    EXPECT_EQ(c.after(10, {0x40}), (Bytes{0x40, 0x80}));
  }
}

TEST(ControllerPlain, ByteAfterTheSilenceStartsANewCommand) {
  Console c;
  c.send({0x04});
  // 400 ms later the key code has been pressed and 0x40 is a sync of its own.
  EXPECT_EQ(c.after(400, {0x40}), (Bytes{0x40, 0x80}));
  EXPECT_EQ(c.firmware->plainKeys, (Bytes{0x04}));
  EXPECT_EQ(c.firmware->plainKeyTimes.back(), 1300);
}

TEST(ControllerPlain, UnambiguousKeyCodesActAtOnce) {
  Console c;
  EXPECT_EQ(c.send({0x10}), (Bytes{0x10}));
  EXPECT_EQ(c.send({0x20}), (Bytes{0x20}));
  EXPECT_EQ(c.firmware->plainKeys, (Bytes{0x10, 0x20}));
  EXPECT_FALSE(c.controller->telemetryOn()) << "without RAM output P/B is only a key";
}

TEST(ControllerPlain, UnfinishedCommandIsDroppedAfterItsTimeOut) {
  Console c;
  c.send({0x03, 0x60});  // the address high byte never comes
  EXPECT_EQ(c.after(3000, {0x40}), (Bytes{0x40, 0x80}));
}

// ---- framed layer ----

TEST(ControllerFramed, EachCommandAnswersEveryByteThenItsTail) {
  struct Case {
    const char* name;
    Bytes frame;
    Bytes tail;
  };
  Console c;
  c.mem().ram[0x0060] = 0x61;
  c.mem().progMem[0x3C] = 0x7A;
  c.mem().rom[0x7C01] = 0xC1;
  const Case cases[] = {
      {"WrRam", {0x04, 0x07, 0xDC, 0x00, 0x02, 0xD0, 0xD1, 0x80}, {0x80, 0x80, 0x80}},
      {"RdRam", {0x05, 0x05, 0xDC, 0x00, 0x03, 0x80}, {0x80, 0x80, 0xD0, 0xD1, 0x00, 0x80}},
      {"WrProgMem", {0x06, 0x06, 0x3D, 0x00, 0x01, 0x7B, 0x80}, {0x80, 0x80, 0x80}},
      {"RdProgMem", {0x07, 0x05, 0x3C, 0x00, 0x02, 0x80}, {0x80, 0x80, 0x7A, 0x7B, 0x80}},
      {"RdRom modulo 32 KiB", {0x0C, 0x05, 0x01, 0xFC, 0x01, 0x80}, {0x80, 0x80, 0xC1, 0x80}},
      {"SetRegBits", {0x01, 0x05, 0x05, 0x04, 0xFF, 0x80}, {0x80, 0x80, 0x80}},
      {"SendPanelKey", {0x08, 0x03, 0x80, 0x80}, {0x80, 0x80, 0x80}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    const Bytes echo(k.frame.begin(), k.frame.end() - 1);
    EXPECT_EQ(c.send(k.frame), cat(echo, k.tail));
  }
  EXPECT_EQ(c.mem().ram[0xDC], 0xD0);
  EXPECT_EQ(c.mem().ram[0xDD], 0xD1);
  EXPECT_EQ(c.mem().progMem[0x3D], 0x7B);
  EXPECT_EQ(c.mem().ram[5], 0x04);
  EXPECT_EQ(c.firmware->registers, (Bytes{5}));
  EXPECT_EQ(c.firmware->panelKeys, (Bytes{0x80}));
  EXPECT_TRUE(c.firmware->plainKeys.empty());
}

TEST(ControllerFramed, SetRegBitsSetsOrBitsAndClearsAndBits) {
  Console c;
  c.mem().ram[14] = 0x0F;
  c.send({0x01, 0x05, 14, 0x30, 0xFD, 0x80});
  EXPECT_EQ(c.mem().ram[14], 0x3D);
  c.send({0x01, 0x05, 14, 0x00, 0xFE, 0x80});
  EXPECT_EQ(c.mem().ram[14], 0x3C);
}

TEST(ControllerFramed, DamagedFrameChangesNothing) {
  Console c;
  struct Case {
    const char* name;
    Bytes frame;
  };
  for (const Case& k :
       {Case{"register beyond R31", {0x01, 0x05, 32, 0xFF, 0xFF, 0x80}},
        Case{"count disagrees with length", {0x04, 0x06, 0x10, 0x00, 0x02, 0xAA, 0x80}},
        Case{"wrong end byte", {0x04, 0x06, 0x10, 0x00, 0x01, 0xAA, 0x00}}}) {
    SCOPED_TRACE(k.name);
    const Bytes reply = c.send(k.frame);
    EXPECT_EQ(Bytes(reply.end() - 3, reply.end()), (Bytes{0x81, 0x81, 0x81}));
  }
  EXPECT_EQ(c.mem().ram[0x10], 0x00);
  EXPECT_EQ(c.mem().ram[0x11], 0x00);
  EXPECT_TRUE(c.firmware->registers.empty());
  EXPECT_EQ(c.send({0x40}), (Bytes{0x40, 0x80}));
}

// Programs 18 and 19 share the page at 0x7C00: 18 in its first half, 19 in its
// second. Saving 18 goes page -> RAM 0x200, stage writes, erase, RAM -> page.
TEST(ControllerFramed, RomPageSaveKeepsTheOtherProgramOfThePair) {
  Console c;
  for (int i = 0; i < 0x40; ++i) c.mem().rom[0x7C40 + i] = std::uint8_t(0x90 + i % 16);
  for (int i = 0; i < 0x40; ++i) c.mem().rom[0x7C00 + i] = 0x11;
  c.send({0x09, 0x04, 0x00, 0x7C, 0x80});
  EXPECT_EQ(c.mem().ram[0x240], 0x90);
  for (int k = 0; k < 15; ++k)
    c.send({0x04, 0x09, std::uint8_t(0x00 + 4 * k), 0x02, 0x04, std::uint8_t(k), 0x22, 0x33, 0x44,
            0x80});
  c.send({0x0A, 0x04, 0x00, 0x7C, 0x80});
  EXPECT_EQ(c.mem().rom[0x7C40], 0xFF) << "erased";
  c.send({0x0B, 0x04, 0x00, 0x7C, 0x80});
  for (int k = 0; k < 15; ++k) EXPECT_EQ(c.mem().rom[0x7C00 + 4 * k], k);
  EXPECT_EQ(c.mem().rom[0x7C3C], 0x11) << "bytes past the stages stay as the page had them";
  for (int i = 0; i < 0x40; ++i) ASSERT_EQ(c.mem().rom[0x7C40 + i], 0x90 + i % 16) << i;
  EXPECT_EQ(c.mem().rom[0x7C80], 0x00) << "the next page is untouched";
  // Reading 19 back through the framed ROM read.
  const Bytes reply = c.send({0x0C, 0x05, 0x40, 0x7C, 0x02, 0x80});
  EXPECT_EQ(Bytes(reply.end() - 3, reply.end()), (Bytes{0x90, 0x91, 0x80}));
}

// ---- frames sent by the controller itself ----

struct RunningConsole : Console {
  RunningConsole() : Console(ControllerOptions{}) {}
  void start() {
    send({0x01, 0x05, 0x05, 0x04, 0xFF, 0x80});  // bit 2 of R5
    send({0x08, 0x03, 0x01, 0x80});              // key code 1
  }
};

TEST(ControllerFrames, PidFrameLayoutAndCadence) {
  RunningConsole c;
  for (int a = 0; a < 0x180; ++a) c.mem().ram[a] = std::uint8_t(a * 7 + 1);
  c.mem().ram[5] = 0;
  c.start();
  const qint64 started = c.now;
  EXPECT_EQ(c.controller->nextOutputTime(), started + 1000);
  EXPECT_TRUE(c.after(999).empty());
  const Bytes frame = c.after(1);
  ASSERT_EQ(frame.size(), 310u);
  for (int i = 3; i < 35; ++i) EXPECT_EQ(frame[i], c.mem().ram[i - 3]) << i;
  EXPECT_EQ(frame[35], c.mem().ram[0x60]);
  for (int i = 36; i < 310; ++i) EXPECT_EQ(frame[i], c.mem().ram[0x60 + i - 35]) << i;
  // One per cycle after that, until the run is stopped.
  EXPECT_EQ(c.controller->nextOutputTime(), started + 5000);
  EXPECT_EQ(c.after(4000).size(), 310u);
  c.send({0x01, 0x05, 0x05, 0x00, 0xFB, 0x80});
  EXPECT_FALSE(c.controller->nextOutputTime().has_value());
  EXPECT_TRUE(c.after(8000).empty());
}

TEST(ControllerFrames, FrameDueDuringACommandWaitsForItsAnswer) {
  RunningConsole c;
  c.start();
  c.now += 999;
  c.send({0x05, 0x05, 0x60, 0x00});  // framed RdRam, two bytes still to come
  const Bytes reply = c.after(5, {0x01, 0x80});
  ASSERT_EQ(reply.size(), 1u + 4u + 310u);
  EXPECT_EQ(Bytes(reply.begin(), reply.begin() + 6), (Bytes{0x01, 0x80, 0x80, 0x00, 0x80, 0xAA}));
}

TEST(ControllerFrames, FrameLengthFollowsTheOption) {
  ControllerOptions o;
  o.pidFrameLength = 40;
  o.cycleMs = 100;
  Console c(o);
  c.send({0x01, 0x05, 0x05, 0x04, 0xFF, 0x80});
  c.send({0x08, 0x03, 0x01, 0x80});
  EXPECT_EQ(c.after(1000).size(), 40u);
  EXPECT_EQ(c.after(100).size(), 40u);
}

// 0x40, 0x01, 0x40 switches the RAM output; P/B then starts and stops the stream.
Bytes ramOutSwitch(Console& c) {
  Bytes got = c.send({0x40});
  got = cat(got, c.after(100, {0x01}));
  got = cat(got, c.after(300));
  got = cat(got, c.after(100, {0x40}));
  return got;
}

TEST(ControllerFrames, RamOutputSwitchAndTelemetryStream) {
  Console c;
  for (int a = 0; a < 0x150; ++a) c.mem().ram[a] = std::uint8_t(a ^ 0x5A);
  EXPECT_EQ(ramOutSwitch(c), (Bytes{0x40, 0x80, 0x01, 0x80, 0x40, 0x80}));
  EXPECT_TRUE(c.controller->ramOutEnabled());
  EXPECT_TRUE(c.firmware->plainKeys.empty()) << "the 0x01 of the switch is no key";

  EXPECT_EQ(c.after(1000, {0x20}), (Bytes{0x20}));
  EXPECT_TRUE(c.controller->telemetryOn());
  EXPECT_TRUE(c.after(499).empty());
  const Bytes frame = c.after(1);
  ASSERT_EQ(frame.size(), 3u + 32u + 227u);
  for (int a = 0; a < 32; ++a) EXPECT_EQ(frame[3 + a], c.mem().ram[a]);
  for (int k = 0; k < 227; ++k) EXPECT_EQ(frame[35 + k], c.mem().ram[0x60 + k]);
  EXPECT_EQ(c.after(500).size(), 262u);
  EXPECT_EQ(c.after(10, {0x20}), (Bytes{0x20}));
  EXPECT_FALSE(c.controller->telemetryOn());
  EXPECT_TRUE(c.after(2000).empty());
  // Sent again, the switch turns the output off.
  EXPECT_EQ(ramOutSwitch(c).size(), 6u);
  EXPECT_FALSE(c.controller->ramOutEnabled());
}

TEST(ControllerFrames, KeyOneLongAfterASyncIsAKey) {
  Console c;
  c.send({0x40});
  c.after(2000, {0x01});
  EXPECT_TRUE(c.after(300).empty()) << "no 0x80 for a key code";
  EXPECT_EQ(c.firmware->plainKeys, (Bytes{0x01}));
  c.after(100, {0x40});
  EXPECT_FALSE(c.controller->ramOutEnabled());
}

// ---- faults ----

TEST(ControllerFaults, SilentControllerAnswersNothing) {
  Console c;
  Faults f;
  f.silent = true;
  c.controller->setFaults(f);
  EXPECT_TRUE(c.send({0x40, 0x03, 0x60, 0x00}).empty());
  EXPECT_FALSE(c.controller->nextOutputTime().has_value());
  c.controller->setFaults({});
  EXPECT_EQ(c.send({0x40}), (Bytes{0x40, 0x80})) << "nothing half-received is left over";
}

TEST(ControllerFaults, OutputFaultsHitTheCountedByte) {
  struct Case {
    const char* name;
    Faults faults;
    Bytes expected;
  };
  auto make = [](auto set) {
    Faults f;
    set(f);
    return f;
  };
  const Case cases[] = {
      // The address bytes that follow a refused code are no commands either.
      {"refused", make([](Faults& f) { f.refuseCommand = 0x03; }), {0x81, 0x81, 0x81}},
      {"address echo replaced",
       make([](Faults& f) {
         f.replaceAt = 1;
         f.replaceWith = 0x7F;
       }),
       {0x03, 0x7F, 0x00, 0x42, 0x80}},
      {"data byte dropped", make([](Faults& f) { f.dropAt = 3; }), {0x03, 0x60, 0x00, 0x80}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    Console c;
    c.mem().ram[0x60] = 0x42;
    c.send({0x40});  // counters start after what was sent before arming
    c.controller->setFaults(k.faults);
    EXPECT_EQ(c.send({0x03, 0x60, 0x00}), k.expected);
    // Each fault fires once.
    EXPECT_EQ(c.after(3000, {0x03, 0x60, 0x00}), (Bytes{0x03, 0x60, 0x00, 0x42, 0x80}));
  }
}

TEST(ControllerFaults, WrongCommandEchoDropsThePlainCommand) {
  Console c;
  Faults f;
  f.replaceAt = 0;
  f.replaceWith = 0x13;
  c.controller->setFaults(f);
  EXPECT_EQ(c.send({0x03}), (Bytes{0x13}));
  // The console drains and starts afresh; so does the controller.
  EXPECT_EQ(c.after(13, {0x40}), (Bytes{0x40, 0x80}));
}

TEST(ControllerFaults, DelayedByteAndEverythingAfterItComeLater) {
  Console c;
  Faults f;
  f.delayAt = 1;
  f.delayMs = 2500;
  c.controller->setFaults(f);
  EXPECT_EQ(c.send({0x40}), (Bytes{0x40}));
  EXPECT_EQ(c.controller->nextOutputTime(), c.now + 2500);
  EXPECT_TRUE(c.after(2499).empty());
  EXPECT_EQ(c.after(1), (Bytes{0x80}));
  EXPECT_EQ(c.send({0x40}), (Bytes{0x40, 0x80})) << "fires once";
}

TEST(ControllerFaults, ShortBlockCutsTheDataAndKeepsTheClosingByte) {
  Console c;
  for (int i = 0; i < 16; ++i) c.mem().ram[0x60 + i] = std::uint8_t(i + 1);
  Faults f;
  f.shortBlockBytes = 3;
  c.controller->setFaults(f);
  EXPECT_EQ(c.send({0x05, 0x05, 0x60, 0x00, 0x10, 0x80}),
            (Bytes{0x05, 0x05, 0x60, 0x00, 0x10, 0x80, 0x80, 0x01, 0x02, 0x03, 0x80}));
  EXPECT_EQ(c.send({0x05, 0x05, 0x60, 0x00, 0x02, 0x80}).size(), 5u + 2u + 2u + 1u);
}

TEST(ControllerFaults, ShortBlockCutsAFrameBody) {
  RunningConsole c;
  Faults f;
  f.shortBlockBytes = 20;
  c.controller->setFaults(f);
  c.start();
  EXPECT_EQ(c.after(1000).size(), 23u);
  EXPECT_EQ(c.after(4000).size(), 310u);
}

TEST(ControllerFaults, KeepSendingFillsTheLineWithoutEnd) {
  Console c;
  Faults f;
  f.keepSending = true;
  c.controller->setFaults(f);
  std::size_t total = 0;
  for (int i = 0; i < 20000; ++i) {
    ASSERT_TRUE(c.controller->nextOutputTime().has_value());
    c.now = std::max(c.now, *c.controller->nextOutputTime());
    total += c.takeDue().size();
  }
  EXPECT_GE(total, 20000u);
}

TEST(ControllerFaults, PortGoneIsWhatTheProbeReports) {
  Console c;
  EXPECT_FALSE(c.controller->lineGone());
  Faults f;
  f.portGone = true;
  c.controller->setFaults(f);
  EXPECT_TRUE(c.controller->lineGone());
}

TEST(ControllerLogs, ReceivedAndSentRecordTheLine) {
  Console c;
  c.send({0x40});
  c.send({0x10});
  EXPECT_EQ(c.controller->received(), (Bytes{0x40, 0x10}));
  EXPECT_EQ(c.controller->sent(), (Bytes{0x40, 0x80, 0x10}));
}

}  // namespace
}  // namespace calorix::sim
