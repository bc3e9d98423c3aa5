// The emulator over a real pseudo-terminal, opened with plain termios.
#include "sim/PtyServer.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <QFileInfo>
#include <QTemporaryDir>

#include <chrono>
#include <vector>

namespace calorix::sim {
namespace {

int openRaw(const QString& path) {
  const int fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
  if (fd < 0) return fd;
  termios t{};
  tcgetattr(fd, &t);
  cfmakeraw(&t);
  tcsetattr(fd, TCSANOW, &t);
  return fd;
}

// Reads until n bytes have come or two seconds have passed.
std::vector<std::uint8_t> readBytes(int fd, std::size_t n) {
  std::vector<std::uint8_t> got;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  while (got.size() < n && std::chrono::steady_clock::now() < deadline) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 50) <= 0) continue;
    std::uint8_t b[64];
    const ssize_t r = ::read(fd, b, sizeof b);
    if (r > 0) got.insert(got.end(), b, b + r);
  }
  return got;
}

std::vector<std::uint8_t> sync(int fd) {
  const std::uint8_t b = 0x40;
  EXPECT_EQ(::write(fd, &b, 1), 1);
  return readBytes(fd, 2);
}

TEST(PtyServer, AnswersSyncAndSurvivesTheConsoleReopening) {
  Controller controller;
  PtyServer server;
  QTemporaryDir dir;
  const QString link = dir.filePath("ttyCalorix");
  QString error;
  ASSERT_TRUE(server.start(controller, link, &error)) << error.toStdString();
  EXPECT_EQ(QFileInfo(link).symLinkTarget(), server.slavePath());

  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    const int fd = openRaw(round == 0 ? server.slavePath() : link);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(sync(fd), (std::vector<std::uint8_t>{0x40, 0x80}));
    ::close(fd);
  }
  std::size_t seen = 0;
  server.inspect([&](Controller& c) { seen = c.received().size(); });
  EXPECT_EQ(seen, 2u);
  server.stop();
  EXPECT_FALSE(QFileInfo::exists(link)) << "the link goes with the server";
}

}  // namespace
}  // namespace calorix::sim
