#include "sim/PtyServer.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <vector>

#include "core/Clock.h"
#include "sim/FurnaceFirmware.h"
#include "sim/StateFile.h"

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace calorix::sim {

namespace {
void setError(QString* error, const QString& text) {
  if (error) *error = text;
}
}  // namespace

PtyServer::~PtyServer() {
  stop();
}

#ifdef Q_OS_UNIX

bool PtyServer::start(Controller& controller, const QString& linkPath, QString* error) {
  if (running_) {
    setError(error, QStringLiteral("pty server already running"));
    return false;
  }
  char name[256] = {};
  termios raw{};
  cfmakeraw(&raw);
  raw.c_cflag |= CS8 | CREAD | CLOCAL;
  if (openpty(&master_, &slave_, name, &raw, nullptr) != 0) {
    setError(error,
             QStringLiteral("openpty: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
    return false;
  }
  fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
  slavePath_ = QString::fromLocal8Bit(name);
  if (!linkPath.isEmpty()) {
    QFile::remove(linkPath);  // a stale link of an earlier run
    if (!QFile::link(slavePath_, linkPath)) {
      setError(error, QStringLiteral("cannot make the link %1").arg(linkPath));
      ::close(master_);
      ::close(slave_);
      master_ = slave_ = -1;
      return false;
    }
    linkPath_ = linkPath;
  }
  controller_ = &controller;
  running_ = true;
  thread_ = std::thread([this] { loop(); });
  return true;
}

void PtyServer::loop() {
  const RealClock& clock = clock_;
  std::vector<std::uint8_t> pending;  // taken from the controller, not yet written
  std::uint8_t buf[512];
  while (running_) {
    pollfd p{master_, POLLIN, 0};
    ::poll(&p, 1, 2);
    std::lock_guard<std::mutex> lock(mutex_);
    for (;;) {
      const ssize_t n = ::read(master_, buf, sizeof buf);
      if (n <= 0) break;  // EAGAIN, or EIO while no one holds the slave: keep serving
      const qint64 now = clock.nowMs();
      for (ssize_t i = 0; i < n; ++i) controller_->receive(buf[i], now);
    }
    const qint64 now = clock.nowMs();
    controller_->advanceTo(now);
    if (pending.empty()) {
      pending.resize(sizeof buf);
      pending.resize(controller_->take(pending.data(), pending.size(), now));
    }
    if (!pending.empty()) {
      const ssize_t w = ::write(master_, pending.data(), pending.size());
      if (w > 0) pending.erase(pending.begin(), pending.begin() + w);
    }
  }
}

void PtyServer::stop() {
  if (running_.exchange(false) && thread_.joinable()) thread_.join();
  if (thread_.joinable()) thread_.join();
  if (master_ >= 0) ::close(master_);
  if (slave_ >= 0) ::close(slave_);
  master_ = slave_ = -1;
  if (!linkPath_.isEmpty()) QFile::remove(linkPath_);
  linkPath_.clear();
}

#else

bool PtyServer::start(Controller&, const QString&, QString* error) {
  setError(error, QStringLiteral("pseudo-terminals are not available on this platform"));
  return false;
}
void PtyServer::loop() {}
void PtyServer::stop() {}

#endif

void PtyServer::inspect(const std::function<void(Controller&)>& f) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (controller_) f(*controller_);
}

InProcessSimulator::InProcessSimulator(const SimulatorOptions& options) : options_(options) {
  ControllerOptions co;
  co.cycleMs = options.cycleMs;
  co.telemetryPeriodMs = options.telemetryPeriodMs;
  FurnaceFirmwareOptions fo;
  fo.simSpeed = options.simSpeed;
  fo.furnace = options.furnace;
  controller_ = std::make_unique<Controller>(co, makeFurnaceFirmware(fo));
}

InProcessSimulator::~InProcessSimulator() {
  server_.stop();
}

bool InProcessSimulator::saveState(QString* error) {
  if (options_.statePath.isEmpty()) return true;
  bool ok = false;
  server_.inspect(
      [&](Controller& c) { ok = sim::saveState(c.memory(), options_.statePath, error); });
  return ok;
}

std::unique_ptr<InProcessSimulator> startInProcessSimulator(const SimulatorOptions& options,
                                                            QString* error) {
  if (options.telemetryPeriodMs < kLineRateTelemetryMs) {
    setError(error,
             QStringLiteral("telemetry period %1 ms is faster than the line (at least %2 ms)")
                 .arg(options.telemetryPeriodMs)
                 .arg(kLineRateTelemetryMs));
    return nullptr;
  }
  auto sim = std::make_unique<InProcessSimulator>(options);
  if (!options.statePath.isEmpty() && QFile::exists(options.statePath) &&
      !loadState(sim->controller_->memory(), options.statePath, error))
    return nullptr;
  if (!sim->server_.start(*sim->controller_, {}, error)) return nullptr;
  return sim;
}

}  // namespace calorix::sim
