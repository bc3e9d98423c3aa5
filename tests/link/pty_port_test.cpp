#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
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

// The line hangs up and the device comes back under the same name, as
// another pseudo-terminal: the port and its lock are let go while it is away
// (another program may open it meanwhile), and the link opens it again once
// it is back, by the same path or through its stable name.
TEST(SerialPortBackend, AHungUpLineIsLetGoAndOpenedAgainWhenTheDeviceIsBack) {
  for (const bool throughStableName : {false, true}) {
    SCOPED_TRACE(throughStableName ? "stable name" : "same path");
    QTemporaryDir dir;
    const QString byId = dir.filePath("by-id");
    ASSERT_TRUE(QDir().mkpath(byId));
    const QString name =
        throughStableName ? byId + "/usb-Maker_RS485_A1-if00-port0" : dir.filePath("ttyCTL");
    Pty first;
    ASSERT_TRUE(QFile::link(first.slaveName, name));
    LinkConfig config;
    config.iniPath = dir.filePath("ZaroZ.ini");
    config.dataRoot = dir.filePath("data");
    config.portDeviceOverride = throughStableName ? first.slaveName : name;
    config.stableNamesDir = byId;
    config.openPort = serialPortOpener();
    Link link(std::move(config));
    QStringList lost, back;
    link.hooks.portLost = [&](const QString& text) { lost << text; };
    link.hooks.portBack = [&](const QString& text) { back << text; };
    link.LoadSettings();
    ASSERT_TRUE(link.portOpen());

    HangUp hangUp(first, 200);
    link.SyncCmd();
    hangUp.wait();
    ASSERT_TRUE(link.portLost());
    EXPECT_EQ(lost.size(), 1);
    EXPECT_FALSE(link.watchLine());

    Pty second;
    ASSERT_TRUE(QFile::remove(name));
    ASSERT_TRUE(QFile::link(second.slaveName, name));
    {
      auto other = serialPortOpener()(name);
      ASSERT_NE(other, nullptr) << "the lost port still holds the device or its lock";
      EXPECT_FALSE(link.watchLine()) << "opened while another program has it";
      other->close();
    }
    EXPECT_TRUE(link.watchLine());
    EXPECT_EQ(back.size(), 1);
    EXPECT_EQ(lost.size(), 1);

    ASSERT_TRUE(link.WrRawByte(0x40));
    std::uint8_t seen = 0;
    for (int tries = 0; tries < 200 && ::read(second.master, &seen, 1) != 1; ++tries) {
    }
    EXPECT_EQ(seen, 0x40);
    const std::uint8_t answer = 0x12;
    ASSERT_EQ(::write(second.master, &answer, 1), 1);
    const Link::View got = link.RdRaw(1);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0], 0x12);
  }
}

TEST(SerialPortBackend, NoDeviceNoPort) {
  EXPECT_EQ(serialPortOpener()(QString()), nullptr);
  EXPECT_EQ(serialPortOpener()("/dev/calorix-no-such-device"), nullptr);
}

}  // namespace
}  // namespace calorix
