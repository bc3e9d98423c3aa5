#include "pid/RunLog.h"

namespace calorix {

void RunLog::open() {
  path_.clear();
  link_.OpenDataLog();
  path_ = link_.dataLogPath();
}

bool RunLog::isOpen() const {
  return !path_.isEmpty() && link_.dataLogOpen() && link_.dataLogPath() == path_;
}

void RunLog::write(const QString& line) {
  if (isOpen()) report_.step([&] { link_.WriteDataLog(line); });
}

void RunLog::writeTelemetry(const std::array<QString, 8>& texts) {
  if (isOpen()) report_.step([&] { link_.WriteDataLine(texts); });
}

void RunLog::close() {
  const bool own = isOpen();
  path_.clear();
  if (own) report_.step([&] { link_.CloseDataLog(); });
}

}  // namespace calorix
