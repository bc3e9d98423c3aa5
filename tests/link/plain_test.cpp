// The plain echoed commands, byte for byte as the controller saw them, over
// the in-memory port and the virtual clock.
#include <gtest/gtest.h>

#include <functional>
#include <ostream>

#include <vector>

#include "link/Link.h"
#include "tests/support/LinkHarness.h"
#include "tests/support/ScriptPeer.h"

namespace calorix {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::LinkHarness;
using testing::ScriptLink;

bool isDrainSet(const Timeouts& t) {
  return t.readInterval == kDrainReadInterval && t.readPerByte == kDrainReadPerByte &&
         t.readConstant == kDrainReadConstant;
}

int drainsSince(MemoryPort& port, std::size_t from) {
  int n = 0;
  const auto& history = port.timeoutHistory();
  for (std::size_t i = from; i < history.size(); ++i) n += isDrainSet(history[i]) ? 1 : 0;
  return n;
}

class PlainOnEmulator : public ::testing::Test {
 protected:
  void SetUp() override {
    h.start();
    ASSERT_NE(h.port(), nullptr);
    h.ctrl().clearLogs();
    timeoutsBefore = h.port()->timeoutHistory().size();
  }
  Link& link() { return h.link(); }
  Bytes received() { return h.ctrl().received(); }

  LinkHarness h;
  std::size_t timeoutsBefore = 0;
};

TEST_F(PlainOnEmulator, SyncAnswersDoneAndPausesAfterIt) {
  const qint64 t0 = h.clock().nowMs();
  link().SyncCmd();
  EXPECT_EQ(link().status().code, 0);
  EXPECT_EQ(link().status().text, status_text::done());
  EXPECT_EQ(received(), (Bytes{0x40}));
  EXPECT_GE(h.clock().nowMs() - t0, 100);
  EXPECT_EQ(drainsSince(*h.port(), timeoutsBefore), 0);
}

TEST_F(PlainOnEmulator, AbsentControllerCostsOneTimeoutThenDrains) {
  h.ctrl().setFaults({.silent = true});
  const qint64 t0 = h.clock().nowMs();
  link().SyncCmd();
  EXPECT_EQ(link().status().code, 1);
  EXPECT_EQ(link().status().text, status_text::noAnswerBoards());
  // One silent one-byte read under the normal set, then the drain; no pause.
  const qint64 took = h.clock().nowMs() - t0;
  EXPECT_GE(took, 6030);
  EXPECT_LT(took, 6030 + 100);
  EXPECT_EQ(drainsSince(*h.port(), timeoutsBefore), 1);
  EXPECT_EQ(h.port()->timeouts(), kNormalTimeouts);
  EXPECT_EQ(received(), (Bytes{0x40}));
}

TEST_F(PlainOnEmulator, RefusedReadSendsNoAddress) {
  h.ctrl().setFaults({.refuseCommand = 0x03});
  std::uint8_t value = 0x5A;
  link().RdByteCmd(0x1234, value);
  EXPECT_EQ(link().status().code, 2);
  EXPECT_EQ(link().status().text, status_text::refused());
  EXPECT_EQ(received(), (Bytes{0x03}));
  EXPECT_EQ(value, 0x5A);
  EXPECT_EQ(drainsSince(*h.port(), timeoutsBefore), 1);
}

TEST_F(PlainOnEmulator, AnyAnswerToAnAddressByteIsAccepted) {
  h.ctrl().memory().ram[0x0234] = 0xC7;
  // Output 0 is the echo of 0x03, output 1 the answer to the address low byte.
  h.ctrl().setFaults({.replaceAt = 1, .replaceWith = 0x7F});
  std::uint8_t value = 0;
  link().RdByteCmd(0x0234, value);
  EXPECT_EQ(link().status().code, 0);
  EXPECT_EQ(value, 0xC7);
  EXPECT_EQ(received(), (Bytes{0x03, 0x34, 0x02}));
}

TEST_F(PlainOnEmulator, WrongEchoOfACommandByteIsUnknownError) {
  h.ctrl().setFaults({.replaceAt = 0, .replaceWith = 0x7F});
  link().WrByteCmd(0x0010, 0x99);
  EXPECT_EQ(link().status().code, 254);
  EXPECT_EQ(link().status().text, status_text::unknown());
  EXPECT_EQ(received(), (Bytes{0x02}));
  EXPECT_EQ(h.ctrl().memory().ram[0x0010], 0);
}

TEST_F(PlainOnEmulator, WordReadWrapsPastTheTopAddress) {
  h.ctrl().memory().ram[0xFFFF] = 0x34;
  h.ctrl().memory().ram[0x0000] = 0x12;
  quint16 value = 0;
  link().RdWord(0xFFFF, value);
  EXPECT_EQ(value, 0x1234);
  EXPECT_EQ(link().LastReadBytes(), (std::array<std::uint8_t, 4>{0x34, 0x12, 0, 0}));
  EXPECT_EQ(received(), (Bytes{0x40, 0x03, 0xFF, 0xFF, 0x03, 0x00, 0x00, 0x40}));
  EXPECT_EQ(link().status().code, 0);
}

struct DWordCase {
  qint32 value;
  std::array<std::uint8_t, 4> bytes;
  quint16 high;
  quint16 low;
};
// Test names show the case, not its bytes.
void PrintTo(const DWordCase& c, std::ostream* os) {
  *os << c.value;
}

class DWordRoundTrip : public PlainOnEmulator, public ::testing::WithParamInterface<DWordCase> {};

TEST_P(DWordRoundTrip, WritesLowByteFirstShowsHalvesAndReadsBack) {
  const DWordCase& c = GetParam();
  const quint16 addr = 0x0090;
  link().WrDWord(addr, c.value);
  EXPECT_EQ(link().status().code, 0);
  const Bytes expected{0x40, 0x02, 0x90, 0x00,       c.bytes[0], 0x02, 0x91, 0x00,       c.bytes[1],
                       0x02, 0x92, 0x00, c.bytes[2], 0x02,       0x93, 0x00, c.bytes[3], 0x40};
  EXPECT_EQ(received(), expected);
  ASSERT_EQ(h.dwordHalves.size(), 1u);
  EXPECT_EQ(h.dwordHalves[0], std::make_pair(c.high, c.low));

  qint32 back = 0;
  link().RdDWord(addr, back);
  EXPECT_EQ(back, c.value);
  EXPECT_EQ(link().LastReadBytes(), c.bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Values, DWordRoundTrip,
    ::testing::Values(DWordCase{-65536, {0x00, 0x00, 0xFF, 0xFF}, 65535, 0},
                      DWordCase{-1, {0xFF, 0xFF, 0xFF, 0xFF}, 65535, 65535},
                      DWordCase{0x12345678, {0x78, 0x56, 0x34, 0x12}, 0x1234, 0x5678},
                      DWordCase{qint32(0x80000000u), {0, 0, 0, 0x80}, 0x8000, 0}));

TEST_F(PlainOnEmulator, TypedReadRunsEveryStepAgainstASilentController) {
  h.ctrl().setFaults({.silent = true});
  qint32 value = 77;
  const qint64 t0 = h.clock().nowMs();
  link().RdDWord(0x0100, value);
  // Six steps, each ending at its first unanswered byte.
  EXPECT_EQ(received(), (Bytes{0x40, 0x03, 0x03, 0x03, 0x03, 0x40}));
  EXPECT_GE(h.clock().nowMs() - t0, 6 * 6030);
  EXPECT_EQ(link().status().code, 1);
  EXPECT_EQ(value, 0);
  EXPECT_EQ(link().LastReadBytes(), (std::array<std::uint8_t, 4>{}));
}

TEST_F(PlainOnEmulator, BlockWriteThenReadOfTheSameEightBytes) {
  const std::array<std::uint8_t, 8> bytes{1, 2, 3, 4, 5, 6, 7, 8};
  link().WrBlock(0x0070, bytes);
  EXPECT_EQ(link().status().code, 0);
  EXPECT_EQ(received(), (Bytes{0x04, 8, 0x70, 0x00, 1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(link().BlockBuf(), bytes);

  link().WrBlock(0x0078, std::array<std::uint8_t, 8>{});  // BlockBuf all 0 again
  ASSERT_EQ(link().BlockBuf(), (std::array<std::uint8_t, 8>{}));
  h.ctrl().clearLogs();
  const Link::View read = link().RdBlock(8, 0x0070);
  EXPECT_EQ(link().status().code, 0);
  EXPECT_EQ(received(), (Bytes{0x05, 8, 0x70, 0x00}));
  EXPECT_EQ(link().BlockBuf(), bytes);
  EXPECT_EQ(Bytes(read.begin(), read.end()), Bytes(bytes.begin(), bytes.end()));
}

TEST_F(PlainOnEmulator, ShortBlockReadKeepsTheRestOfTheBuffer) {
  h.ctrl().memory().blockMem[0x70] = 0x11;
  h.ctrl().memory().blockMem[0x71] = 0x22;
  // Bytes an earlier read left in the block buffer.
  for (int i = 0; i < 4; ++i) h.ctrl().memory().blockMem[0x100 + i] = 0xEE;
  link().RdBlock(4, 0x0100);
  h.ctrl().setFaults({.shortBlockBytes = 2});
  const Link::View read = link().RdBlock(4, 0x0070);
  EXPECT_EQ(link().BlockBuf()[0], 0x11);
  EXPECT_EQ(link().BlockBuf()[1], 0x22);
  EXPECT_EQ(link().BlockBuf()[3], 0xEE);
  EXPECT_NE(link().status().code, 0);
  // The view is the block as the read left it, the stale byte included.
  ASSERT_EQ(read.size(), 4u);
  EXPECT_EQ(read[3], 0xEE);
}

// How the last block command or byte read was answered: whole, in part
// (something came), or not at all; a controller that stops after the echo
// of a block command costs one time-out, not one per read of its answer.
TEST_F(PlainOnEmulator, TheAnswerOfABlockCommandOrByteReadIsWholePartialOrNone) {
  using Answer = Link::PlainAnswer;
  const auto rdBlock = [](Link& l) { l.RdBlock(8, 0x0070); };
  const auto wrBlock = [](Link& l) { l.WrBlock(0x0070, Bytes{1, 2, 3}); };
  const auto rdDWord = [](Link& l) {
    qint32 v = 0;
    l.RdDWord(0x0060, v);
  };
  const sim::Faults afterTheEcho{.muteAt = 1, .muteMs = 3600000};
  struct Case {
    const char* name;
    sim::Faults faults;
    std::function<void(Link&)> command;
    Answer answer;
    qint64 atMostMs;
  };
  const Case cases[] = {
      {"block read", {}, rdBlock, Answer::Whole, 300},
      {"block read, silent", {.silent = true}, rdBlock, Answer::None, 6100},
      {"block read, refused", {.refuseCommand = 0x05}, rdBlock, Answer::Partial, 300},
      {"block read, short", {.shortBlockBytes = 3}, rdBlock, Answer::Partial, 8000},
      {"block read, silent after the echo", afterTheEcho, rdBlock, Answer::Partial, 6300},
      {"block write", {}, wrBlock, Answer::Whole, 300},
      {"block write, silent", {.silent = true}, wrBlock, Answer::None, 6100},
      {"block write, echo short", {.shortBlockBytes = 1}, wrBlock, Answer::Partial, 8000},
      {"dword read", {}, rdDWord, Answer::Whole, 1000},
      {"dword read, silent", {.silent = true}, rdDWord, Answer::None, 6 * 6100},
      {"dword read, first byte refused", {.refuseCommand = 0x03}, rdDWord, Answer::Partial, 1000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    h.ctrl().setFaults(c.faults);
    const qint64 started = h.clock().nowMs();
    c.command(link());
    EXPECT_EQ(link().lastPlainAnswer(), c.answer);
    EXPECT_LE(h.clock().nowMs() - started, c.atMostMs);
    h.ctrl().setFaults({});
    h.clock().advance(10000);
    link().DrainPort();
  }
}

// The block is what the caller hands over, cut to 8 bytes; the view of a read
// is exactly its count bytes of the block buffer.
TEST_F(PlainOnEmulator, BlockBytesComeFromTheSpanAndReadViewsHaveTheirCount) {
  const std::array<std::uint8_t, 10> ten{9, 8, 7, 6, 5, 4, 3, 2, 1, 0};
  link().WrBlock(0x0080, std::span(ten).first(3));
  EXPECT_EQ(received(), (Bytes{0x04, 3, 0x80, 0x00, 9, 8, 7}));
  h.ctrl().clearLogs();
  h.ctrl().memory().blockMem[0x98] = 0x5A;
  link().WrBlock(0x0090, ten);
  EXPECT_EQ(received(), (Bytes{0x04, 8, 0x90, 0x00, 9, 8, 7, 6, 5, 4, 3, 2}));
  EXPECT_EQ(h.ctrl().memory().blockMem[0x97], 2);
  EXPECT_EQ(h.ctrl().memory().blockMem[0x98], 0x5A);
  for (const auto& [count, size] : {std::pair{1, 1u}, {3, 3u}, {8, 8u}, {12, 8u}}) {
    const Link::View read = link().RdBlock(std::uint8_t(count), 0x0090);
    EXPECT_EQ(read.size(), size) << count;
    EXPECT_EQ(read.data(), link().BlockBuf().data()) << count;
  }
}

TEST_F(PlainOnEmulator, KeyCodeShowsItsStatus) {
  link().SendKeyCode(0x10);
  EXPECT_EQ(received(), (Bytes{0x10}));
  EXPECT_EQ(link().status().code, 0);
  ASSERT_FALSE(h.controlStatus.isEmpty());
  EXPECT_EQ(h.controlStatus.last(), status_text::done());
}

TEST_F(PlainOnEmulator, RamOutKeyIsThreeCheckedSteps) {
  link().SendRamOutKey();
  EXPECT_EQ(received(), (Bytes{0x40, 0x01, 0x40}));
  EXPECT_EQ(link().status().code, 0);
  EXPECT_TRUE(h.ctrl().ramOutEnabled());
  EXPECT_EQ(h.controlStatus.last(), status_text::done());
}

TEST_F(PlainOnEmulator, RamOutKeyStopsAtTheFirstRefusedStep) {
  h.ctrl().setFaults({.refuseCommand = 0x01});
  link().SendRamOutKey();
  EXPECT_EQ(received(), (Bytes{0x40, 0x01}));
  EXPECT_EQ(link().status().code, 2);
  EXPECT_EQ(h.controlStatus.last(), status_text::refused());
}

TEST(PlainCommands, StatusCodeSurvivesUntilTheFirstWrite) {
  ScriptLink s;
  s.start();
  // A wrong echo leaves 254 with its text.
  s.peer().respond = [](std::uint8_t, std::size_t) { return Bytes{0x7F}; };
  s.link().SyncCmd();
  ASSERT_EQ(s.link().status().code, 254);
  ASSERT_EQ(s.link().status().text, status_text::unknown());
  s.peer().respond = [&](std::uint8_t, std::size_t) {
    // The controller hears the byte: the code was reset on the write, the
    // text at the start.
    EXPECT_EQ(s.link().status().code, 254);
    EXPECT_TRUE(s.link().status().text.isEmpty());
    return Bytes{0x40, 0x80};
  };
  s.link().SyncCmd();
  EXPECT_EQ(s.link().status().code, 0);
}

// A working controller for the byte reads, with one step that goes silent
// after its address: the data byte of that step never comes.
TEST(PlainCommands, MissingDataByteCountsAsZeroAndDoesNotDrain) {
  ScriptLink s;
  s.start();
  const std::array<std::uint8_t, 4> memory{0x11, 0x22, 0x33, 0x44};
  s.peer().respond = [&](std::uint8_t byte, std::size_t index) -> Bytes {
    if (byte == 0x40 && (index == 0 || index == 13)) return {0x40, 0x80};
    const std::size_t step = (index - 1) / 3;
    if ((index - 1) % 3 != 2) return {byte};  // 0x03 and the address low byte
    if (step == 2) return {byte};             // the third byte: no data, no 0x80
    return {byte, memory[step], 0x80};
  };
  const std::size_t before = s.port()->timeoutHistory().size();
  qint32 value = -1;
  s.link().RdDWord(0x0200, value);
  EXPECT_EQ(s.link().status().code, 0);
  EXPECT_EQ(s.link().status().text, status_text::done());
  EXPECT_EQ(value, 0x44002211);
  EXPECT_EQ(s.link().LastReadBytes(), (std::array<std::uint8_t, 4>{0x11, 0x22, 0x00, 0x44}));
  EXPECT_EQ(drainsSince(*s.port(), before), 0);
  EXPECT_EQ(s.peer().received.size(), 14u);
}

TEST(PlainCommands, MissingDataByteHasItsOwnText) {
  ScriptLink s;
  s.start();
  s.peer().respond = [](std::uint8_t byte, std::size_t) { return Bytes{byte}; };
  std::uint8_t value = 0x42;
  s.link().RdByteCmd(0x0001, value);
  EXPECT_EQ(s.link().status().code, 1);
  EXPECT_EQ(s.link().status().text, status_text::noAnswer());
  EXPECT_EQ(value, 0x42);
}

// With no port every command stops at its first write. Each runs on a fresh
// link, whose status is still {0, ""}.
TEST(PlainCommands, PortFailedAtStartEveryCommandEndsWith255) {
  std::uint8_t b = 0;
  quint16 w = 0;
  qint32 d = 0;
  const std::array<std::uint8_t, 8> block{};
  const std::vector<std::function<void(Link&)>> commands{
      [&](Link& l) { l.SyncCmd(); },        [&](Link& l) { l.RdByteCmd(1, b); },
      [&](Link& l) { l.WrByteCmd(1, 2); },  [&](Link& l) { l.RdByte(1, b); },
      [&](Link& l) { l.RdWord(1, w); },     [&](Link& l) { l.RdDWord(1, d); },
      [&](Link& l) { l.WrDWord(1, 5); },    [&](Link& l) { l.WrBlock(0x70, block); },
      [&](Link& l) { l.RdBlock(8, 0x70); }, [&](Link& l) { l.SendKeyCode(0x10); },
      [&](Link& l) { l.SendRamOutKey(); },
  };
  for (std::size_t i = 0; i < commands.size(); ++i) {
    LinkHarness h;
    h.start(QStringLiteral("[Com port]\r\nNumPort=17\r\n"));
    ASSERT_EQ(h.port(), nullptr);
    Link& link = h.link();
    ASSERT_TRUE(link.status().text.isEmpty());
    const qint64 t0 = h.clock().nowMs();
    commands[i](link);
    EXPECT_EQ(link.status().code, 255) << "command " << i;
    EXPECT_EQ(link.status().text, status_text::writeFailed()) << "command " << i;
    EXPECT_EQ(h.clock().nowMs(), t0) << "command " << i << " waited";
    EXPECT_TRUE(h.ctrl().received().empty()) << "command " << i;
    // The two keys show their status themselves.
    if (i + 2 >= commands.size()) {
      EXPECT_EQ(h.controlStatus.last(), status_text::writeFailed()) << "command " << i;
    }
  }
}

}  // namespace
}  // namespace calorix
