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

void closeChecked(QFile& file) {
  if (!file.isOpen()) return;
  const bool flushed = file.flush();
  file.close();
  if (!flushed) throw writeError(file);
}

}  // namespace

TraceFiles::TraceFiles(Clock& clock, const Settings& settings, QString dataRoot)
    : clock_(clock), settings_(settings), dataRoot_(std::move(dataRoot)) {}

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
static void startLogFile(QFile& file, const QString& path) {
  file.setFileName(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::NewOnly))
    throw AbortAction(QString::fromUtf8("Не удалось создать файл %1").arg(nativePath(path)));
}

void TraceFiles::appendLine(QFile& file, const QString& line) {
  QByteArray bytes = cp1251::encode(line);
  bytes.append("\r\n");
  const bool batched = &file == &protocolFile_ && commandDepth_ > 0;
  if (file.write(bytes) != bytes.size() || (!batched && !file.flush())) throw writeError(file);
  if (&file == &protocolFile_) protocolSize_ += bytes.size();
}

void TraceFiles::tracedCommand(const std::function<void()>& command) {
  ++commandDepth_;
  try {
    command();
  } catch (...) {
    --commandDepth_;
    // What is already thrown is the failure to report; the lines go out with it.
    if (commandDepth_ == 0 && protocolFile_.isOpen()) protocolFile_.flush();
    throw;
  }
  if (--commandDepth_ == 0 && protocolFile_.isOpen() && !protocolFile_.flush())
    throw writeError(protocolFile_);
}

void TraceFiles::OpenProtocol() {
  protocolEnded_ = false;
  closeChecked(protocolFile_);
  startLogFile(protocolFile_, newLogFileName(protocolDir_));
  protocolSize_ = 0;
  appendLine(protocolFile_, trace::firstLine());
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
  startLogFile(dataLog_, newLogFileName(dataDir_));
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
  if (protocolEnded_ || protocolDir_.isEmpty()) return;
  if (lineGone_ && std::exchange(brokenOffWhileGone_, true)) return;
  if (protocolFile_.isOpen()) appendLine(protocolFile_, trace::breakOffLine());
  OpenProtocol();
  appendLine(protocolFile_, trace::continuedAfterErrorLine());
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
