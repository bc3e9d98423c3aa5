#pragma once
// How the link's two files, the exchange protocol and the data log, reach the
// disk: every create, write, flush and close of them goes through one
// LogFileSystem. The console uses the real one; a test hands in its own to
// make any of these fail on demand, as a full disk or a pulled stick does.
#include <QByteArray>
#include <QFile>

namespace calorix {

class LogFileSystem {
 public:
  virtual ~LogFileSystem() = default;
  // Creates the file under its name, open for appending; never opens one
  // that exists.
  virtual bool create(QFile& file);
  // All of bytes taken (they may wait in the file's buffer).
  virtual bool write(QFile& file, const QByteArray& bytes);
  virtual bool flush(QFile& file);
  // Flushes and closes; false when the flush failed (closed all the same).
  virtual bool close(QFile& file);

  static LogFileSystem& real();
};

}  // namespace calorix
