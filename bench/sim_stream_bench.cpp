// The telemetry stream at line rate (one 262-byte frame every 25 ms, what
// 115200 baud with 11 bits a character carries), measured twice:
//   - the emulator's own cost per frame with the furnace model, under the
//     virtual clock through the in-memory port (no waiting);
//   - over a real pseudo-terminal served by PtyServer in real time, read with
//     the console's three reads per frame: frames a second, how late each
//     comes against its cadence, and whether every frame came whole.
#include <QtGlobal>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "core/Clock.h"
#include "core/ControllerMap.h"
#include "link/MemoryPort.h"
#include "link/Transport.h"
#include "sim/Controller.h"
#include "sim/FurnaceFirmware.h"
#include "sim/PtyServer.h"

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>
#endif

using namespace calorix;
using Steady = std::chrono::steady_clock;

namespace {

constexpr double kLineCharsPerS = 115200.0 / 11.0;
namespace sf = ctl::streamFrame;

std::unique_ptr<sim::Controller> streamingController() {
  sim::ControllerOptions o;
  o.telemetryPeriodMs = sim::kLineRateTelemetryMs;
  return std::make_unique<sim::Controller>(o, sim::makeFurnaceFirmware(60.0));
}

// The RAM output switch and P/B through any byte pipe: write one byte, read n.
template <class Exchange, class Pause>
bool switchStreamOn(Exchange exchange, Pause pause) {
  for (std::uint8_t step : {ctl::plain::kSync, ctl::plain::kRamOutStep, ctl::plain::kSync}) {
    if (exchange(step, 1).size() != 1) return false;
    pause(100);
    if (exchange(std::nullopt, 1) != std::vector<std::uint8_t>{ctl::plain::kDone}) return false;
  }
  return exchange(ctl::plainKey::kPB, 1).size() == 1;
}

void inMemory(int frames) {
  auto controller = streamingController();
  VirtualClock clock;
  MemoryPort port(*controller, clock);
  port.setTimeouts(kNormalTimeouts);
  auto exchange = [&](std::optional<std::uint8_t> out, std::uint32_t n) {
    std::uint32_t done = 0;
    if (out) port.write(&*out, 1, done);
    std::vector<std::uint8_t> got(n);
    got.resize(port.read(got.data(), n));
    return got;
  };
  if (!switchStreamOn(exchange, [&](qint64 ms) { clock.advance(ms); })) {
    std::printf("in memory: the stream did not start\n");
    return;
  }
  std::vector<std::uint8_t> buf(sf::kBytes);
  int whole = 0;
  const auto t0 = Steady::now();
  for (int k = 0; k < frames; ++k) {
    std::uint32_t got = 0;
    for (int n : {sf::kHeaderBytes, sf::kRegisterBytes, sf::kRamBytes})
      got += port.read(buf.data() + got, std::uint32_t(n));
    whole += got == std::uint32_t(sf::kBytes);
  }
  const double us = std::chrono::duration<double, std::micro>(Steady::now() - t0).count();
  std::printf(
      "in memory, virtual clock: %d frames (%d whole), host %.1f us per frame "
      "against %.1f us on the wire\n",
      frames, whole, us / frames, sf::kBytes * 1e6 / kLineCharsPerS);
}

#ifdef Q_OS_UNIX
void overPty(double seconds) {
  auto controller = streamingController();
  sim::PtyServer server;
  QString error;
  if (!server.start(*controller, {}, &error)) {
    std::printf("pty: %s\n", qPrintable(error));
    return;
  }
  const int fd = ::open(server.slavePath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
  termios t{};
  tcgetattr(fd, &t);
  cfmakeraw(&t);
  tcsetattr(fd, TCSANOW, &t);
  // Reads n bytes or gives up after 2 s, as the console's time-outs would.
  auto readN = [fd](std::uint8_t* out, int n) {
    int got = 0;
    const auto deadline = Steady::now() + std::chrono::seconds(2);
    while (got < n && Steady::now() < deadline) {
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, 20) <= 0) continue;
      const ssize_t r = ::read(fd, out + got, std::size_t(n - got));
      if (r > 0) got += int(r);
    }
    return got;
  };
  auto exchange = [&](std::optional<std::uint8_t> out, std::uint32_t n) {
    if (out && ::write(fd, &*out, 1) != 1) return std::vector<std::uint8_t>{};
    std::vector<std::uint8_t> got(n);
    got.resize(std::size_t(readN(got.data(), int(n))));
    return got;
  };
  if (!switchStreamOn(exchange, [](qint64 ms) {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
      })) {
    std::printf("pty: the stream did not start\n");
    ::close(fd);
    return;
  }
  std::vector<std::uint8_t> frame(sf::kBytes);
  std::vector<double> arrivals;
  int whole = 0, aligned = 0;
  const auto t0 = Steady::now();
  while (std::chrono::duration<double>(Steady::now() - t0).count() < seconds) {
    int got = 0;
    for (int n : {sf::kHeaderBytes, sf::kRegisterBytes, sf::kRamBytes})
      got += readN(frame.data() + got, n);
    arrivals.push_back(std::chrono::duration<double, std::milli>(Steady::now() - t0).count());
    whole += got == sf::kBytes;
    aligned += frame[0] == 0xAA && frame[1] == 0x55 && frame[2] == 0x00;
  }
  ::close(fd);
  server.stop();
  double maxGap = 0, sumGap = 0;
  for (std::size_t i = 1; i < arrivals.size(); ++i) {
    const double gap = arrivals[i] - arrivals[i - 1];
    maxGap = std::max(maxGap, gap);
    sumGap += gap;
  }
  const double span = arrivals.empty() ? 0 : arrivals.back() / 1000.0;
  const std::size_t n = arrivals.size();
  std::printf(
      "over a pty, real clock: %zu frames in %.2f s (%.1f a second, %zu due), %d whole, "
      "%d with their header in place\n",
      n, span, span > 0 ? n / span : 0.0,
      std::size_t(span * 1000 / double(sim::kLineRateTelemetryMs)), whole, aligned);
  std::printf(
      "  %.0f bytes a second against %.0f on the line; frame to frame %.2f ms mean, "
      "%.2f ms at most (cadence %lld ms)\n",
      span > 0 ? n * sf::kBytes / span : 0.0, kLineCharsPerS, n > 1 ? sumGap / double(n - 1) : 0.0,
      maxGap, static_cast<long long>(sim::kLineRateTelemetryMs));
}
#endif

}  // namespace

int main() {
  inMemory(20000);
#ifdef Q_OS_UNIX
  overPty(5.0);
#endif
  return 0;
}
