#pragma once
// The exchange trace (protocol file) and the data log: the dated directories,
// file names from the time of day, the stamps, WriteProtocol with its roll-over
// and the break-off after an error, and the lines that every traced transfer
// leaves, as link/TraceFormat words them. Both files are Windows-1251 with
// CR LF. It touches no port: the framed layer moves the bytes and hands the
// outcome here.
//
// A file that cannot be created or written throws AbortAction, which ends the
// action in progress, and is closed at once: a data log then takes no more
// lines, and the tracing stops (no protocol line, no break-off file) until
// resumeTracing starts a new protocol file. A protocol that fails in the
// middle of a framed command is reported when the command ends, so that the
// frame always goes out whole. Every file operation goes through the
// LogFileSystem given.
#include <QFile>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <span>

#include "core/Clock.h"
#include "link/LogFileSystem.h"
#include "link/Settings.h"

namespace calorix {

class TraceFiles {
 public:
  // settings: DirAll, DirProtocol and the protocol switch, read when used.
  // dataRoot: where drive letters of stored paths live on this machine.
  TraceFiles(Clock& clock, const Settings& settings, QString dataRoot,
             LogFileSystem& files = LogFileSystem::real());
  ~TraceFiles();
  TraceFiles(const TraceFiles&) = delete;
  TraceFiles& operator=(const TraceFiles&) = delete;

  // Builds the data and protocol directory paths from the date of this moment
  // and creates every missing level.
  void MakeLogDirs();
  void OpenProtocol();
  void CloseProtocol();
  // A protocol that failed: a new file, and the tracing goes on (AbortAction,
  // and still stopped, when that fails too). Nothing while it runs.
  void resumeTracing();
  bool tracingStopped() const { return tracingStopped_; }
  // One stamped line, only while the protocol switch is on; rolls the file
  // over from 1,000,064 bytes on.
  void WriteProtocol(const QString& text);
  // A stamped line straight into the protocol file, whatever the switch says.
  void WriteProtocolDirect(const QString& text);
  // ProtocolLine := text, then WriteProtocol(ProtocolLine): a note of a window.
  void WriteNote(const QString& text);

  void OpenDataLog();
  void CloseDataLog();
  bool dataLogOpen() const { return dataLog_.isOpen(); }
  // One line (CR LF added) appended to the data log; nothing when it is closed.
  void WriteDataLog(const QString& line);
  // The telemetry line: LineStamp, then " ; " before each of the eight texts
  // (EditTempTP, EditPUV, EditDUV, EditIUV, EditAllUV, EditTecErr, EditSumErr,
  // EditPN); the first "." of texts 2..4 becomes ",".
  void WriteDataLine(const std::array<QString, 8>& fields);

  void MakeFileStamp();
  void MakeTimeStamps();

  // ---- the file side of the traced transfers ------------------------------
  // A one-byte write: the success line, or the failure line, the line with
  // the label and the break-off.
  void traceWrite(std::uint8_t byte, bool written, const QString& label);
  // A read of `asked` bytes that brought `got` within tookMs (under 10 s): the
  // result line (a short read breaks the file off), then the bytes line.
  void traceRead(std::uint32_t asked, std::span<const std::uint8_t> got, qint64 tookMs);
  // While the line is gone (a lost port) the file is broken off once, for
  // the failure that found it; the failures after it go on in that file.
  void setLineGone(bool gone) {
    lineGone_ = gone;
    brokenOffWhileGone_ = false;
  }
  // Runs one framed command. Its trace lines collect in the file buffer and
  // reach the disk together when it ends, returned or thrown: one write per
  // command instead of one per line.
  void tracedCommand(const std::function<void()>& command);

  const QString& ProtocolLine() const { return protocolLine_; }
  const QString& LineStamp() const { return lineStamp_; }  // "HH:MM:SS "
  const QString& ProtStamp() const { return protStamp_; }  // "HH:MM:SS:hh "
  const QString& FileStamp() const { return fileStamp_; }  // "HH_MM_SS"
  QString dataDir() const { return dataDir_; }
  QString protocolDir() const { return protocolDir_; }
  QString protocolPath() const { return protocolFile_.fileName(); }
  QString dataLogPath() const { return dataLog_.fileName(); }

 private:
  void breakOffAfterError();
  QString newLogFileName(const QString& dir);
  bool startLogFile(QFile& file, const QString& path);
  void appendLine(QFile& file, const QString& line);
  void closeChecked(QFile& file);
  // The protocol file cannot go on: closed, the tracing stopped, the message
  // thrown now or, inside a framed command, when the command ends.
  void failProtocol(const QString& message);

  Clock& clock_;
  const Settings& settings_;
  LogFileSystem& files_;
  QString dataRoot_;
  // The protocol sub-directory of the root.
  const QString protocolSubdir_ = QStringLiteral("RS485");
  QString dataDir_;
  QString protocolDir_;
  QFile protocolFile_;
  QFile dataLog_;
  // Kept here: asking the open file its size would flush it and stat it.
  qint64 protocolSize_ = 0;
  // CloseProtocol ran: no break-off opens a file again.
  bool protocolEnded_ = false;
  // The protocol failed: no line and no break-off until resumeTracing.
  bool tracingStopped_ = false;
  // A protocol failure inside a framed command, thrown when it ends.
  QString pendingError_;
  bool lineGone_ = false;
  bool brokenOffWhileGone_ = false;
  int commandDepth_ = 0;
  QString protocolLine_;
  QString lineStamp_;
  QString protStamp_;
  QString fileStamp_;
};

}  // namespace calorix
