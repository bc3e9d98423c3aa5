#include "link/LogFileSystem.h"

namespace calorix {

bool LogFileSystem::create(QFile& file) {
  return file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::NewOnly);
}

bool LogFileSystem::write(QFile& file, const QByteArray& bytes) {
  return file.write(bytes) == bytes.size();
}

bool LogFileSystem::flush(QFile& file) {
  return file.flush();
}

bool LogFileSystem::close(QFile& file) {
  const bool flushed = file.flush();
  file.close();
  return flushed;
}

LogFileSystem& LogFileSystem::real() {
  static LogFileSystem files;
  return files;
}

}  // namespace calorix
