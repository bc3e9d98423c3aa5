#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTemporaryDir>

#include <chrono>
#include <ctime>
#include <thread>

#include <fcntl.h>
#include <unistd.h>

#include "core/ControllerMap.h"
#include "link/Link.h"
#include "link/SerialPortBackend.h"
#include "tests/support/Pty.h"

namespace calorix {
namespace {

// Real time: the other end of a pseudo-terminal, read and written directly.
using testing::Pty;

TEST(SerialPortBackend, BytesCrossAPseudoTerminalBothWays) {
  Pty pty;
  ASSERT_FALSE(pty.slaveName.isEmpty());
  auto port = serialPortOpener()(pty.slaveName);
  ASSERT_NE(port, nullptr);
  port->applyLine(LineSettings{});
  port->setTimeouts(Timeouts{200, 10, 300, 30, 1000});

  const std::uint8_t out[3] = {0x40, 0x81, 0xFF};
  std::uint32_t done = 0;
  ASSERT_TRUE(port->write(out, 3, done));
  EXPECT_EQ(done, 3u);
  std::uint8_t seen[8] = {};
  ssize_t got = 0;
  for (int tries = 0; tries < 200 && got < 3; ++tries) {
    const ssize_t n = ::read(pty.master, seen + got, size_t(3 - got));
    if (n > 0) got += n;
  }
  ASSERT_EQ(got, 3);
  EXPECT_EQ(std::vector<std::uint8_t>(seen, seen + 3), std::vector<std::uint8_t>(out, out + 3));

  const std::uint8_t back[2] = {0x12, 0x34};
  ASSERT_EQ(::write(pty.master, back, 2), 2);
  std::uint8_t in[2] = {};
  EXPECT_EQ(port->read(in, 2), 2u);
  EXPECT_EQ(in[0], 0x12);
  EXPECT_EQ(in[1], 0x34);
}

TEST(SerialPortBackend, ASilentReadReturnsAfterItsTotalTimeOut) {
  Pty pty;
  ASSERT_FALSE(pty.slaveName.isEmpty());
  auto port = serialPortOpener()(pty.slaveName);
  ASSERT_NE(port, nullptr);
  port->setTimeouts(Timeouts{1800, 30, 400, 30, 1000});
  QElapsedTimer timer;
  timer.start();
  std::uint8_t b = 0;
  EXPECT_EQ(port->read(&b, 1), 0u);
  EXPECT_GE(timer.elapsed(), 430 * 9 / 10);
  EXPECT_LT(timer.elapsed(), 5000);
}

// Closes the pty's other end after ms, on a thread of its own, while the
// test waits in a read: the line hangs up mid-exchange.
struct HangUp {
  HangUp(Pty& pty, int ms)
      : pty_(pty), thread_([&pty, ms] {
          std::this_thread::sleep_for(std::chrono::milliseconds(ms));
          ::close(pty.master);
        }) {}
  ~HangUp() {
    if (thread_.joinable()) wait();
  }
  void wait() {
    thread_.join();
    pty_.master = -1;
  }
  Pty& pty_;
  std::thread thread_;
};

// The far end goes away in the middle of a read (a USB adapter pulled, the
// pty's other end closed): that read ends, the port says it is lost, and
// every later transfer fails at once without spinning.
TEST(SerialPortBackend, AHungUpLineEndsTheReadAndEveryLaterTransferFailsAtOnce) {
  Pty pty;
  ASSERT_FALSE(pty.slaveName.isEmpty());
  auto port = serialPortOpener()(pty.slaveName);
  ASSERT_NE(port, nullptr);
  port->setTimeouts(Timeouts{1800, 30, 6000, 30, 6000});
  HangUp hangUp(pty, 300);
  QElapsedTimer wall;
  wall.start();
  const std::clock_t cpuBefore = std::clock();
  std::uint8_t b = 0;
  EXPECT_EQ(port->read(&b, 1), 0u);
  hangUp.wait();
  EXPECT_LT(wall.elapsed(), 3000) << "the read waited for its time-out";
  EXPECT_TRUE(port->lost());

  wall.restart();
  for (int i = 0; i < 20; ++i) {
    std::uint32_t done = 1;
    EXPECT_FALSE(port->write(&b, 1, done));
    EXPECT_EQ(done, 0u);
    EXPECT_EQ(port->read(&b, 1), 0u);
  }
  EXPECT_LT(wall.elapsed(), 1000);
  const double cpuSeconds = double(std::clock() - cpuBefore) / CLOCKS_PER_SEC;
  EXPECT_LT(cpuSeconds, 1.5) << "the hang-up was spun on";
}

// The link over that port: the exchange that meets the hang-up ends, the
// user is told once, and every later exchange fails at once with status 255.
TEST(SerialPortBackend, ALinkWhosePortIsLostFailsEveryExchangeWith255AndTellsOnce) {
  Pty pty;
  ASSERT_FALSE(pty.slaveName.isEmpty());
  QTemporaryDir dir;
  LinkConfig config;
  config.iniPath = dir.filePath("ZaroZ.ini");
  config.dataRoot = dir.filePath("data");
  config.portDeviceOverride = pty.slaveName;
  config.openPort = serialPortOpener();
  Link link(std::move(config));
  QStringList told;
  link.hooks.portLost = [&](const QString& text) { told << text; };
  link.LoadSettings();
  ASSERT_TRUE(link.portOpen());

  HangUp hangUp(pty, 300);
  QElapsedTimer wall;
  wall.start();
  link.SyncCmd();  // waits for the echo when the line goes
  hangUp.wait();
  EXPECT_LT(wall.elapsed(), 3000);
  EXPECT_TRUE(link.portLost());
  for (int i = 0; i < 5; ++i) {
    link.SyncCmd();
    EXPECT_EQ(link.status().code, 255);
    link.SendPanelKey(ctl::panelKey::kProg);
    EXPECT_EQ(link.status().code, 255);
    EXPECT_TRUE(link.RdRaw(4).empty());
  }
  EXPECT_LT(wall.elapsed(), 4000);
  ASSERT_EQ(told.size(), 1);
  EXPECT_TRUE(told[0].contains(pty.slaveName)) << told[0].toStdString();
}

TEST(SerialPortBackend, NoDeviceNoPort) {
  EXPECT_EQ(serialPortOpener()(QString()), nullptr);
  EXPECT_EQ(serialPortOpener()("/dev/calorix-no-such-device"), nullptr);
}

}  // namespace
}  // namespace calorix
