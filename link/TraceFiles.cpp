// Every line reaches the disk before the operation that wrote it returns (the
// lines of one framed command together, when it ends), so nothing is lost when
// the console stops.
#include "link/TraceFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QTime>

#include <algorithm>
#include <utility>

#include "core/Abort.h"
#include "core/Cp1251.h"

namespace calorix {

namespace {

// The roll-over test counts the file in whole blocks of 128 bytes.
constexpr qint64 kRollBlock = 128;
constexpr qint64 kRollSize = 1000000;
// Names tried for files started within the same second.
constexpr int kMaxSameSecond = 9999;

// Stamps and hex bytes are made for every trace line: built from characters,
// not through QString::arg.
void putTwoDigits(char* at, int v) {
  at[0] = char('0' + v / 10 % 10);
  at[1] = char('0' + v % 10);
}

QString twoDigits(int v) {
  if (v < 0 || v > 99) return QString::number(v);
  char s[2];
  putTwoDigits(s, v);
  return QString::fromLatin1(s, 2);
}

QString hex2(std::uint8_t b) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  const char s[2] = {kHex[b >> 4], kHex[b & 0x0F]};
  return QString::fromLatin1(s, 2);
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

// Seconds, ":", milliseconds: "00:05", "00:15", "01:150".
QString durationText(qint64 ms) {
  const qint64 msPart = ms % 1000;
  const QString msText = msPart < 10 ? twoDigits(int(msPart)) : QString::number(msPart);
  return twoDigits(int(ms / 1000)) + QLatin1Char(':') + msText;
}

// The received bytes as the protocol's second line shows them.
QString bytesLine(std::span<const std::uint8_t> bytes) {
  const std::size_t n = bytes.size();
  QString head;
  if (n == 1)
    head = QString::fromUtf8("1 код ");
  else if (n <= 4)
    head = QString::fromUtf8("%1 кода ").arg(uint(n));
  else
    head = QString::fromUtf8("первые 4 кода ");
  QStringList hex;
  for (std::uint8_t b : bytes.first(std::min<std::size_t>(n, 4))) hex << hex2(b);
  return head + hex.join(QLatin1Char(' '));
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
  appendLine(protocolFile_, QString::fromUtf8("Данные работы RS485   "));
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
  const QTime t = clock_.localNow().time();
  fileStamp_ = twoDigits(t.hour()) + QLatin1Char('_') + twoDigits(t.minute()) + QLatin1Char('_') +
               twoDigits(t.second());
}

void TraceFiles::MakeTimeStamps() {
  const QTime t = clock_.localNow().time();
  // "HH:MM:SS:hh ": hundredths from the milliseconds, 7 -> 07, 45 -> 45, 456 -> 45.
  char s[12] = {0, 0, ':', 0, 0, ':', 0, 0, ':', 0, 0, ' '};
  putTwoDigits(s, t.hour());
  putTwoDigits(s + 3, t.minute());
  putTwoDigits(s + 6, t.second());
  const int ms = t.msec();
  putTwoDigits(s + 9, ms < 100 ? ms : ms / 10);
  protStamp_ = QString::fromLatin1(s, 12);
  s[8] = ' ';
  lineStamp_ = QString::fromLatin1(s, 9);
}

// ---- protocol lines -------------------------------------------------------

void TraceFiles::WriteProtocol(const QString& text) {
  // A protocol file that could not be created has been reported already.
  if (!settings_.protocolOn || !protocolFile_.isOpen()) return;
  if (protocolSize_ / kRollBlock * kRollBlock >= kRollSize) {
    appendLine(protocolFile_, QString::fromUtf8("Разрыв файла протокола"));
    OpenProtocol();
    if (!protocolFile_.isOpen()) return;
    appendLine(protocolFile_, QString::fromUtf8("Продолжение файла протокола"));
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
  if (protocolFile_.isOpen())
    appendLine(protocolFile_, QString::fromUtf8("Разрыв файла протокола"));
  OpenProtocol();
  if (protocolFile_.isOpen())
    appendLine(protocolFile_, QString::fromUtf8("Продолжение файла протокола после ошибки"));
}

void TraceFiles::WriteNote(const QString& text) {
  protocolLine_ = text;
  WriteProtocol(protocolLine_);
}

void TraceFiles::traceWrite(std::uint8_t byte, bool written, const QString& label) {
  static const QString kWriteHead = QString::fromUtf8("WriteFile 1 код ");
  static const QString kWritten = QString::fromUtf8(" записалось в буфер порта");
  protocolLine_ = kWriteHead + hex2(byte);
  if (written) {
    protocolLine_ += kWritten;
    WriteProtocol(protocolLine_);
    return;
  }
  protocolLine_ += QString::fromUtf8(" ошибка 255 - не записалось в буфер порта");
  WriteProtocol(protocolLine_);
  protocolLine_ += QString::fromUtf8(" ошибка - неизвестная переменная ") + label;
  WriteProtocol(protocolLine_);
  breakOffAfterError();
}

void TraceFiles::traceRead(std::uint32_t asked, std::span<const std::uint8_t> got, qint64 tookMs) {
  static const QString kReadHead = QString::fromUtf8("ReadFile %1 код из %2 за время ");
  static const QString kReadDone = QString::fromUtf8(" Чтение выполнено ");
  protocolLine_ =
      kReadHead.arg(uint(got.size())).arg(asked) + durationText(tookMs) + QLatin1Char(' ');
  if (got.size() < asked) {
    protocolLine_ += QString::fromUtf8(" Ошибка чтения - мало данных");
    WriteProtocol(protocolLine_);
    breakOffAfterError();
  } else {
    protocolLine_ += kReadDone;
    WriteProtocol(protocolLine_);
  }
  if (!got.empty()) {
    protocolLine_ = bytesLine(got);
    WriteProtocol(protocolLine_);
  }
}

}  // namespace calorix
