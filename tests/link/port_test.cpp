#include <gtest/gtest.h>

#include <optional>

#include "core/Clock.h"
#include "link/Link.h"
#include "link/MemoryPort.h"
#include "tests/support/LinkHarness.h"

namespace calorix {
namespace {

// A far end that sends the given bytes at the given times, or keeps sending.
class FakePeer : public Peer {
 public:
  std::vector<std::pair<qint64, std::uint8_t>> out;  // (due, byte), in order
  bool endless = false;
  std::vector<std::uint8_t> heard;
  void receive(std::uint8_t b, qint64) override { heard.push_back(b); }
  void advanceTo(qint64) override {}
  std::optional<qint64> nextOutputTime() const override {
    if (endless) return 0;
    if (out.empty()) return std::nullopt;
    return out.front().first;
  }
  std::size_t take(std::uint8_t* dst, std::size_t max, qint64 now) override {
    std::size_t n = 0;
    while (n < max && endless) dst[n++] = 0x55;
    while (n < max && !out.empty() && out.front().first <= now) {
      dst[n++] = out.front().second;
      out.erase(out.begin());
    }
    return n;
  }
};

TEST(MemoryPort, ReadTimeOutsRunOnTheVirtualClock) {
  VirtualClock clock;
  FakePeer peer;
  MemoryPort port(peer, clock);
  port.setTimeouts(kNormalTimeouts);
  std::uint8_t buf[8];
  EXPECT_EQ(port.read(buf, 1), 0u);
  EXPECT_EQ(clock.nowMs(), 6030);  // a silent one-byte read

  peer.out = {{6100, 1}, {6200, 2}, {9000, 3}};  // stalls after two bytes
  EXPECT_EQ(port.read(buf, 3), 2u);
  EXPECT_EQ(clock.nowMs(), 6200 + 1800);  // the interval ended it
  EXPECT_EQ(port.read(buf, 1), 1u);
  EXPECT_EQ(buf[0], 3);

  peer.endless = true;
  EXPECT_EQ(port.read(buf, 8), 8u);  // a peer that keeps sending ends at the count
}

TEST(MemoryPort, WritesFailWhileTheLineIsGone) {
  VirtualClock clock;
  FakePeer peer;
  MemoryPort port(peer, clock);
  const std::uint8_t b[2] = {0x40, 0x41};
  std::uint32_t done = 9;
  EXPECT_TRUE(port.write(b, 2, done));
  EXPECT_EQ(done, 2u);
  port.setGone(true);
  EXPECT_FALSE(port.write(b, 2, done));
  EXPECT_EQ(done, 0u);
  EXPECT_EQ(peer.heard, (std::vector<std::uint8_t>{0x40, 0x41}));
}

struct FakeLink {
  explicit FakeLink(QString iniText = {}, QString override = {}) {
    h.writeIni(iniText);
    LinkConfig config;
    config.iniPath = h.iniPath();
    config.dataRoot = h.dataRoot();
    config.portDeviceOverride = override;
    config.clock = &clock;
    config.openPort = [this](const QString& device) -> std::unique_ptr<Port> {
      opened.push_back(device);
      if (device.isEmpty()) return nullptr;
      auto p = std::make_unique<MemoryPort>(peer, clock);
      port = p.get();
      return p;
    };
    link = std::make_unique<Link>(config);
    link->hooks.showControlStatus = [this](const QString& t) { control << t; };
  }
  testing::LinkHarness h;  // for its temporary directory
  VirtualClock clock;
  FakePeer peer;
  MemoryPort* port = nullptr;
  std::vector<QString> opened;
  QStringList control;
  std::unique_ptr<Link> link;
};

TEST(OpenPort, DrainStopsAtTheFirstEmptyReadAndRestoresTheNormalSet) {
  FakeLink f;
  f.peer.out = {{1, 1}, {2, 2}, {3, 3}};  // after the purge
  f.link->OpenPort();
  ASSERT_NE(f.port, nullptr);
  EXPECT_EQ(f.port->readCount(), 4);  // three bytes, then the empty read
  EXPECT_EQ(f.port->timeouts(), kNormalTimeouts);
  ASSERT_GE(f.port->timeoutHistory().size(), 2u);
  const Timeouts drain = f.port->timeoutHistory()[f.port->timeoutHistory().size() - 2];
  EXPECT_EQ(drain, (Timeouts{10, 3, 10, 30, 6000}));
  EXPECT_EQ(f.port->inputQueue(), 1024);
  EXPECT_EQ(f.clock.nowMs(), 3 + 13);  // the empty drain read

  f.peer.endless = true;
  f.link->DrainPort();
  EXPECT_EQ(f.port->readCount(), 4 + 9999);
}

TEST(OpenPort, UnusablePortNumbersFailWithErrAndKeepTheirText) {
  for (const char* number : {"17", "-1"}) {
    FakeLink f(QStringLiteral("[Com port]\r\nNumPort=%1\r\n").arg(number));
    f.link->OpenPort();
    EXPECT_FALSE(f.link->portOpen());
    EXPECT_EQ(f.control, QStringList{"Err"});
    EXPECT_EQ(f.link->settings().portText, number);
    EXPECT_TRUE(f.link->deviceName().isEmpty());
    EXPECT_FALSE(f.link->WrRawByte(0x40));
    EXPECT_EQ(f.link->status().code, 255);
    EXPECT_TRUE(f.link->RdRaw(1).empty());
  }
}

TEST(OpenPort, LineSettingsAndDeviceOverride) {
  FakeLink f("[Com port]\r\nNumPort=16\r\nBaudRate=9600\r\nStopBits=3\r\n", "/dev/pts/7");
  f.link->OpenPort();
  EXPECT_EQ(f.opened, std::vector<QString>{"/dev/pts/7"});
  ASSERT_NE(f.port, nullptr);
  EXPECT_EQ(f.port->line().baudRate, 9600);
  EXPECT_EQ(f.port->line().stopBits, 1);  // the driver's setting stays
  EXPECT_EQ(f.link->settings().portText, "16");

  FakeLink plain("[Com port]\r\nNumPort=16\r\n");
  plain.link->OpenPort();
  EXPECT_EQ(plain.opened, std::vector<QString>{"/dev/ttyS15"});
}

}  // namespace
}  // namespace calorix
