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

bool Transport::open(const PortOpener& opener, const QString& device, const LineSettings& line) {
  close();
  lostReported_ = false;
  if (!device.isEmpty() && opener) port_ = opener(device);
  if (port_) {
    port_->setQueueSizes(kQueueBytes, kQueueBytes);
    port_->applyLine(line);
    port_->setTimeouts(kNormalTimeouts);
    port_->purge();
  }
  DrainPort();
  return isOpen();
}

void Transport::close() {
  if (!port_) return;
  port_->close();
  port_.reset();
}

void Transport::DrainPort() {
  if (port_) {
    Timeouts drain = port_->timeouts();
    drain.readInterval = kDrainReadInterval;
    drain.readPerByte = kDrainReadPerByte;
    drain.readConstant = kDrainReadConstant;
    port_->setTimeouts(drain);
  }
  for (int reads = 0; reads < kMaxDrainReads; ++reads)
    if (RawRead(drained_) == 0) break;
  if (port_) port_->setTimeouts(kNormalTimeouts);
}

void Transport::PurgePort() {
  if (port_) port_->purge();
}

bool Transport::RawWrite(std::span<const std::uint8_t> bytes) {
  transferCount_ = std::uint32_t(bytes.size());
  transferDone_ = 0;
  if (!port_) return false;
  const bool written = port_->write(bytes.data(), transferCount_, transferDone_);
  if (!written) checkLost();
  return written;
}

std::uint32_t Transport::RawRead(std::span<std::uint8_t> into) {
  transferCount_ = std::uint32_t(into.size());
  transferDone_ = 0;
  if (!port_) return 0;
  transferDone_ = port_->read(into.data(), transferCount_);
  if (transferDone_ < transferCount_) checkLost();
  return transferDone_;
}

void Transport::checkLost() {
  const bool lostNow = port_ && port_->lost();
  if (lostNow && !lostReported_ && onLost_) onLost_();
  lostReported_ = lostNow;
}

}  // namespace calorix
