#include <gtest/gtest.h>

#include <QElapsedTimer>

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include "link/SerialPortBackend.h"

namespace calorix {
namespace {

// Real time: the other end of a pseudo-terminal, read and written directly.
struct Pty {
  Pty() {
    char name[128] = {};
    if (openpty(&master, &slave, name, nullptr, nullptr) == 0) {
      slaveName = QString::fromLocal8Bit(name);
      termios t{};
      tcgetattr(slave, &t);
      cfmakeraw(&t);
      tcsetattr(slave, TCSANOW, &t);
    }
  }
  ~Pty() {
    if (slave >= 0) ::close(slave);
    if (master >= 0) ::close(master);
  }
  int master = -1;
  int slave = -1;
  QString slaveName;
};

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

TEST(SerialPortBackend, NoDeviceNoPort) {
  EXPECT_EQ(serialPortOpener()(QString()), nullptr);
  EXPECT_EQ(serialPortOpener()("/dev/calorix-no-such-device"), nullptr);
}

}  // namespace
}  // namespace calorix
