#include "link/SerialPortBackend.h"

#include <QElapsedTimer>
#include <QSerialPort>

#include <algorithm>

#ifdef Q_OS_UNIX
#include <poll.h>
#endif

namespace calorix {

namespace {

class SerialPortBackend : public Port {
 public:
  explicit SerialPortBackend(const QString& device) {
    port_.setPortName(device);
    // A time-out is no failure of the line; a lost device is.
    QObject::connect(&port_, &QSerialPort::errorOccurred, [this](QSerialPort::SerialPortError e) {
      if (e == QSerialPort::ResourceError) lost_ = true;
      if (e == QSerialPort::TimeoutError) port_.clearError();
    });
  }
  bool open() {
    if (!port_.open(QIODevice::ReadWrite)) return false;
    port_.setParity(QSerialPort::NoParity);
    port_.setFlowControl(QSerialPort::NoFlowControl);
    return true;
  }

  // Qt keeps its own unbounded buffer; the driver queues are its own business.
  void setQueueSizes(int, int) override {}
  void applyLine(const LineSettings& line) override {
    port_.setBaudRate(line.baudRate);
    if (line.byteSize >= 5 && line.byteSize <= 8)
      port_.setDataBits(QSerialPort::DataBits(line.byteSize));
    if (line.stopBits == 1) port_.setStopBits(QSerialPort::OneStop);
    if (line.stopBits == 2) port_.setStopBits(QSerialPort::TwoStop);
    port_.setParity(QSerialPort::NoParity);
    port_.setFlowControl(QSerialPort::NoFlowControl);
  }
  Timeouts timeouts() const override { return timeouts_; }
  void setTimeouts(const Timeouts& t) override { timeouts_ = t; }
  void purge() override { port_.clear(); }

  bool write(const std::uint8_t* data, std::uint32_t n, std::uint32_t& done) override {
    done = 0;
    if (lost_ || !port_.isOpen() || hungUp()) return false;
    const qint64 written = port_.write(reinterpret_cast<const char*>(data), n);
    if (written < 0) return false;
    const int total = int(qint64(timeouts_.writePerByte) * n + timeouts_.writeConstant);
    port_.waitForBytesWritten(total > 0 ? total : -1);
    if (lost_) return false;
    done = std::uint32_t(written);
    return done == n;
  }

  std::uint32_t read(std::uint8_t* data, std::uint32_t n) override {
    if (n == 0 || lost_ || !port_.isOpen()) return 0;
    const qint64 total = qint64(timeouts_.readPerByte) * n + timeouts_.readConstant;
    QElapsedTimer clock;
    clock.start();
    qint64 lastByteAt = -1;
    std::uint32_t got = 0;
    for (;;) {
      // What Qt has buffered comes first.
      const qint64 chunk = port_.read(reinterpret_cast<char*>(data + got), n - got);
      if (chunk > 0) {
        got += std::uint32_t(chunk);
        lastByteAt = clock.elapsed();
      }
      if (got == n || lost_) return got;
      if (chunk <= 0 && hungUp()) return got;
      qint64 wait = -1;  // no bound at all
      if (total > 0) wait = total - clock.elapsed();
      if (timeouts_.readInterval != 0 && lastByteAt >= 0) {
        const qint64 gapLeft = lastByteAt + timeouts_.readInterval - clock.elapsed();
        wait = wait < 0 ? gapLeft : std::min(wait, gapLeft);
      }
      if (wait == 0 || (wait < 0 && (total > 0 || lastByteAt >= 0))) return got;
      if (!port_.waitForReadyRead(wait < 0 ? -1 : int(wait)) && port_.bytesAvailable() == 0) {
        if (lost_) return got;
        // waitForReadyRead ended without bytes: the time left decides.
        if (total > 0 && clock.elapsed() >= total) return got;
        if (timeouts_.readInterval != 0 && lastByteAt >= 0 &&
            clock.elapsed() - lastByteAt >= timeouts_.readInterval)
          return got;
      }
    }
  }

  // Closing lets the device and its lock file go (the command-line tool may
  // then open it).
  void close() override { port_.close(); }
  bool lost() const override { return lost_; }

  // A device that goes away (an adapter pulled, a pty whose other end
  // closed) reads as ready for ever and brings nothing: without this check
  // the read loop would spin until its time-out, and every read after it.
  // The line hung up: marks this port lost for good; the link lets it go and
  // opens the device anew when it is back.
  bool hungUp() override {
    if (lost_) return true;
#ifdef Q_OS_UNIX
    if (!port_.isOpen()) return false;
    pollfd p{int(port_.handle()), POLLIN, 0};
    if (::poll(&p, 1, 0) <= 0 || !(p.revents & (POLLHUP | POLLERR | POLLNVAL))) return lost_;
    // Bytes that arrived before the hang-up are still read.
    if (p.revents & POLLIN) port_.waitForReadyRead(0);
    if (port_.bytesAvailable() == 0) lost_ = true;
#endif
    return lost_;
  }

 private:
  QSerialPort port_;
  Timeouts timeouts_{};
  bool lost_ = false;
};

}  // namespace

PortOpener serialPortOpener() {
  return [](const QString& device) -> std::unique_ptr<Port> {
    if (device.isEmpty()) return nullptr;
    auto port = std::make_unique<SerialPortBackend>(device);
    if (!port->open()) return nullptr;
    return port;
  };
}

}  // namespace calorix
