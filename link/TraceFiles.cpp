// Every line reaches the disk before the operation that wrote it returns (the
// lines of one framed command together, when it ends), so nothing is lost when
// the console stops.
#include "link/TraceFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QTime>

#include <utility>

#include "core/Abort.h"
#include "core/Cp1251.h"
#include "link/TraceFormat.h"

namespace calorix {

namespace {

// The roll-over test counts the file in whole blocks of 128 bytes.
constexpr qint64 kRollBlock = 128;
constexpr qint64 kRollSize = 1000000;
// Names tried for files started within the same second.
constexpr int kMaxSameSecond = 9999;

QString twoDigits(int v) {
  return QString::number(v).rightJustified(2, QLatin1Char('0'));
}

QString nativePath(const QString& path) {
  return QDir::toNativeSeparators(path);
}

AbortAction writeError(const QFile& file) {
  return AbortAction(
      QString::fromUtf8("Не удалось записать в файл %1").arg(nativePath(file.fileName())));
}

QString createError(const QString& path) {
  return QString::fromUtf8("Не удалось создать файл %1").arg(nativePath(path));
}

}  // namespace

TraceFiles::TraceFiles(Clock& clock, const Settings& settings, QString dataRoot,
                       LogFileSystem& files)
    : clock_(clock), settings_(settings), files_(files), dataRoot_(std::move(dataRoot)) {}

TraceFiles::~TraceFiles() = default;

// ---- directories and files ------------------------------------------------

void TraceFiles::MakeLogDirs() {
  const QDate today = clock_.localNow().date();
  const QString root = settings_.dirAll;
  const QStringList dated{QString::number(today.year()).rightJustified(4, QLatin1Char('0')),
                          twoDigits(today.month()), twoDigits(today.day())};
  // One level at a time; a level that cannot be created is passed over (the
  // file that needs it then reports the error).
  const auto makeLevels = [&](const QString& sub) {
    QString stored = root + QLatin1Char('\\') + sub;
    // The root of a drive-letter path lives under the data root, which may
    // itself be missing on a fresh machine.
    QDir().mkpath(hostPath(root, dataRoot_));
    QDir().mkdir(hostPath(stored, dataRoot_));
    for (const QString& level : dated) {
      stored += QLatin1Char('\\') + level;
      QDir().mkdir(hostPath(stored, dataRoot_));
    }
    return hostPath(stored, dataRoot_);
  };
  dataDir_ = makeLevels(settings_.dirProtocol);
  protocolDir_ = makeLevels(protocolSubdir_);
}

QString TraceFiles::newLogFileName(const QString& dir) {
  MakeFileStamp();
  const QString base = QDir(dir).filePath(fileStamp_ + QStringLiteral(" Data"));
  QString path = base + QStringLiteral(".txt");
  // A second file started within the same second never empties the first.
  for (int n = 2; QFileInfo::exists(path) && n <= kMaxSameSecond; ++n)
    path = base + QStringLiteral(" (%1).txt").arg(n);
  return path;
}

// Starts a new file in dir, opened for appending; never opens an existing one.
bool TraceFiles::startLogFile(QFile& file, const QString& path) {
  file.setFileName(path);
  return files_.create(file);
}

void TraceFiles::closeChecked(QFile& file) {
  if (!file.isOpen()) return;
  if (!files_.close(file)) throw writeError(file);
}

void TraceFiles::failProtocol(const QString& message) {
  // What cannot be written cannot be flushed either: closed without a word.
  if (protocolFile_.isOpen()) files_.close(protocolFile_);
  tracingStopped_ = true;
  if (commandDepth_ > 0) {
    if (pendingError_.isEmpty()) pendingError_ = message;
    return;
  }
  throw AbortAction(message);
}

void TraceFiles::appendLine(QFile& file, const QString& line) {
  QByteArray bytes = cp1251::encode(line);
  bytes.append("\r\n");
  const bool protocol = &file == &protocolFile_;
  const bool batched = protocol && commandDepth_ > 0;
  if (files_.write(file, bytes) && (batched || files_.flush(file))) {
    if (protocol) protocolSize_ += bytes.size();
    return;
  }
  const QString message = writeError(file).message();
  if (protocol) return failProtocol(message);
  files_.close(file);
  throw AbortAction(message);
}

void TraceFiles::tracedCommand(const std::function<void()>& command) {
  ++commandDepth_;
  try {
    command();
  } catch (...) {
    --commandDepth_;
    // What is already thrown is the failure to report; the lines go out with it.
    if (commandDepth_ == 0 && protocolFile_.isOpen()) files_.flush(protocolFile_);
    throw;
  }
  if (--commandDepth_ > 0) return;
  if (protocolFile_.isOpen() && !files_.flush(protocolFile_))
    failProtocol(writeError(protocolFile_).message());
  if (!pendingError_.isEmpty()) throw AbortAction(std::exchange(pendingError_, QString()));
}

void TraceFiles::OpenProtocol() {
  protocolEnded_ = false;
  closeChecked(protocolFile_);
  const QString path = newLogFileName(protocolDir_);
  if (!startLogFile(protocolFile_, path)) return failProtocol(createError(path));
  tracingStopped_ = false;
  protocolSize_ = 0;
  appendLine(protocolFile_, trace::firstLine());
}

void TraceFiles::resumeTracing() {
  if (!tracingStopped_ || protocolEnded_ || protocolDir_.isEmpty()) return;
  OpenProtocol();
}

void TraceFiles::CloseProtocol() {
  // Closed for good: an exchange that still runs while the console closes
  // (a read-out that let the close in) starts no new file.
  protocolEnded_ = true;
  closeChecked(protocolFile_);
}

void TraceFiles::OpenDataLog() {
  // The callers do not always close the previous log first.
  closeChecked(dataLog_);
  const QString path = newLogFileName(dataDir_);
  if (!startLogFile(dataLog_, path)) throw AbortAction(createError(path));
}

void TraceFiles::CloseDataLog() {
  closeChecked(dataLog_);
}

void TraceFiles::WriteDataLog(const QString& line) {
  if (dataLog_.isOpen()) appendLine(dataLog_, line);
}

void TraceFiles::WriteDataLine(const std::array<QString, 8>& fields) {
  MakeTimeStamps();
  QString line = lineStamp_;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    QString text = fields[i];
    // EditPUV, EditDUV, EditIUV: the first decimal point becomes a comma.
    if (i >= 1 && i <= 3) {
      const qsizetype dot = text.indexOf(QLatin1Char('.'));
      if (dot >= 0) text[dot] = QLatin1Char(',');
    }
    line += QStringLiteral(" ; ") + text;
  }
  WriteDataLog(line);
}

// ---- stamps ---------------------------------------------------------------

void TraceFiles::MakeFileStamp() {
  fileStamp_ = trace::fileStamp(clock_.localNow().time());
}

void TraceFiles::MakeTimeStamps() {
  trace::Stamps stamps = trace::stampsAt(clock_.localNow().time());
  protStamp_ = std::move(stamps.prot);
  lineStamp_ = std::move(stamps.line);
}

// ---- protocol lines -------------------------------------------------------

void TraceFiles::WriteProtocol(const QString& text) {
  // A protocol file that could not be created has been reported already.
  if (!settings_.protocolOn || !protocolFile_.isOpen()) return;
  if (protocolSize_ / kRollBlock * kRollBlock >= kRollSize) {
    appendLine(protocolFile_, trace::breakOffLine());
    OpenProtocol();
    if (!protocolFile_.isOpen()) return;
    appendLine(protocolFile_, trace::continuedLine());
  }
  MakeTimeStamps();
  appendLine(protocolFile_, protStamp_ + text);
}

void TraceFiles::WriteProtocolDirect(const QString& text) {
  if (!protocolFile_.isOpen()) return;
  MakeTimeStamps();
  appendLine(protocolFile_, protStamp_ + text);
}

void TraceFiles::breakOffAfterError() {
  // No log folders were made (the command-line tool with the protocol off, or
  // a start-up that ended before them): there is no protocol to continue, and
  // a new file would land in the working directory.
  if (protocolEnded_ || tracingStopped_ || protocolDir_.isEmpty()) return;
  if (lineGone_ && std::exchange(brokenOffWhileGone_, true)) return;
  if (protocolFile_.isOpen()) appendLine(protocolFile_, trace::breakOffLine());
  OpenProtocol();
  if (protocolFile_.isOpen()) appendLine(protocolFile_, trace::continuedAfterErrorLine());
}

void TraceFiles::WriteNote(const QString& text) {
  protocolLine_ = text;
  WriteProtocol(protocolLine_);
}

void TraceFiles::traceWrite(std::uint8_t byte, bool written, const QString& label) {
  if (written) {
    protocolLine_ = trace::writeLine(byte);
    WriteProtocol(protocolLine_);
    return;
  }
  protocolLine_ = trace::writeFailedLine(byte);
  WriteProtocol(protocolLine_);
  protocolLine_ = trace::writeFailedLabelLine(byte, label);
  WriteProtocol(protocolLine_);
  breakOffAfterError();
}

void TraceFiles::traceRead(std::uint32_t asked, std::span<const std::uint8_t> got, qint64 tookMs) {
  protocolLine_ = trace::readLine(asked, std::uint32_t(got.size()), tookMs);
  WriteProtocol(protocolLine_);
  if (got.size() < asked) breakOffAfterError();
  if (!got.empty()) {
    protocolLine_ = trace::bytesLine(got);
    WriteProtocol(protocolLine_);
  }
}

}  // namespace calorix
