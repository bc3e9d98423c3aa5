#include "link/Transport.h"

namespace calorix {

namespace {
constexpr int kQueueBytes = 1024;
// A controller that keeps sending must not hold the console for ever.
constexpr int kMaxDrainReads = 9999;
}  // namespace

QString deviceForPort(qint32 number) {
  if (number < 1 || number > 16) return QString();
#ifdef Q_OS_WIN
  return QStringLiteral("\\\\.\\COM%1").arg(number);
#else
  return QStringLiteral("/dev/ttyS%1").arg(number - 1);
#endif
}

Transport::~Transport() {
  close();
}

bool Transport::open(const PortOpener& opener, const QString& device, const LineSettings& line,
                     const QStringList& reopenNames) {
  close();
  opener_ = opener;
  device_ = device;
  line_ = line;
  reopenNames_ = reopenNames;
  std::unique_ptr<Port> port;
  if (!device.isEmpty() && opener) port = opener(device);
  return setUp(std::move(port));
}

bool Transport::setUp(std::unique_ptr<Port> port) {
  if (!port) return false;
  port_ = std::move(port);
  lost_ = false;
  // A port that goes while it is being set up was never there: not told.
  settingUp_ = true;
  port_->setQueueSizes(kQueueBytes, kQueueBytes);
  port_->applyLine(line_);
  port_->setTimeouts(kNormalTimeouts);
  port_->purge();
  DrainPort();
  settingUp_ = false;
  // Nothing is known of the far end until it is asked.
  if (!lost_) setLineState(LineState::Answering);
  return !lost_;
}

bool Transport::reopen() {
  if (!lost_ || device_.isEmpty() || !opener_) return false;
  QStringList names = reopenNames_;
  names << device_;
  for (const QString& name : names) {
    std::unique_ptr<Port> port = opener_(name);
    // A device that opens but is gone already (a port in memory whose line
    // is still cut) is not back.
    if (!port || port->lost()) continue;
    port_.reset();
    if (setUp(std::move(port))) return true;
  }
  return false;
}

void Transport::close() {
  lost_ = false;
  if (!port_) return;
  port_->close();
  port_.reset();
}

void Transport::DrainPort() {
  if (isOpen()) {
    Timeouts drain = port_->timeouts();
    drain.readInterval = kDrainReadInterval;
    drain.readPerByte = kDrainReadPerByte;
    drain.readConstant = kDrainReadConstant;
    port_->setTimeouts(drain);
  }
  for (int reads = 0; reads < kMaxDrainReads; ++reads)
    if (read(drained_) == 0) break;
  if (isOpen()) port_->setTimeouts(kNormalTimeouts);
}

void Transport::PurgePort() {
  if (isOpen()) port_->purge();
}

bool Transport::RawWrite(std::span<const std::uint8_t> bytes) {
  transferCount_ = std::uint32_t(bytes.size());
  transferDone_ = 0;
  if (!isOpen()) {
    setLineState(LineState::NoPort);
    return false;
  }
  const bool written = port_->write(bytes.data(), transferCount_, transferDone_);
  if (!written) checkLost();
  return written;
}

std::uint32_t Transport::RawRead(std::span<std::uint8_t> into) {
  const std::uint32_t got = read(into);
  if (!isOpen())
    setLineState(LineState::NoPort);
  else if (got > 0)
    setLineState(LineState::Answering);
  else if (!into.empty())
    setLineState(LineState::Silent);
  return got;
}

std::uint32_t Transport::read(std::span<std::uint8_t> into) {
  transferCount_ = std::uint32_t(into.size());
  transferDone_ = 0;
  if (!isOpen()) return 0;
  transferDone_ = port_->read(into.data(), transferCount_);
  if (transferDone_ < transferCount_) checkLost();
  return transferDone_;
}

void Transport::checkLine() {
  if (isOpen() && port_->hungUp()) letGo();
}

void Transport::checkLost() {
  if (isOpen() && port_->lost()) letGo();
}

void Transport::letGo() {
  // Closed at once: the device and its lock file are free while it is away.
  port_->close();
  lost_ = true;
  setLineState(LineState::NoPort);
  if (onLost_ && !settingUp_) onLost_();
}

void Transport::setLineState(LineState state) {
  if (state == lineState_) return;
  lineState_ = state;
  if (onLineState_) onLineState_(state);
}

}  // namespace calorix
