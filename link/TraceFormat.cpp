#include "link/TraceFormat.h"

#include <QRegularExpression>
#include <QStringList>

#include <algorithm>

namespace calorix::trace {

namespace {

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

// Seconds, ":", milliseconds: "00:05", "00:15", "01:150".
QString durationText(qint64 ms) {
  const qint64 msPart = ms % 1000;
  const QString msText = msPart < 10 ? twoDigits(int(msPart)) : QString::number(msPart);
  return twoDigits(int(ms / 1000)) + QLatin1Char(':') + msText;
}

std::uint8_t hexByte(const QString& text) {
  return std::uint8_t(text.toUInt(nullptr, 16));
}

const QString& writeHead() {
  static const QString text = QString::fromUtf8("WriteFile 1 код ");
  return text;
}

const QString& writeFailedTail() {
  static const QString text = QString::fromUtf8(" ошибка 255 - не записалось в буфер порта");
  return text;
}

const QString& labelHead() {
  static const QString text = QString::fromUtf8(" ошибка - неизвестная переменная ");
  return text;
}

}  // namespace

QString firstLine() {
  return QString::fromUtf8("Данные работы RS485   ");
}

QString breakOffLine() {
  return QString::fromUtf8("Разрыв файла протокола");
}

QString continuedLine() {
  return QString::fromUtf8("Продолжение файла протокола");
}

QString continuedAfterErrorLine() {
  return QString::fromUtf8("Продолжение файла протокола после ошибки");
}

Stamps stampsAt(QTime t) {
  char s[12] = {0, 0, ':', 0, 0, ':', 0, 0, ':', 0, 0, ' '};
  putTwoDigits(s, t.hour());
  putTwoDigits(s + 3, t.minute());
  putTwoDigits(s + 6, t.second());
  const int ms = t.msec();
  putTwoDigits(s + 9, ms < 100 ? ms : ms / 10);
  Stamps out;
  out.prot = QString::fromLatin1(s, 12);
  s[8] = ' ';
  out.line = QString::fromLatin1(s, 9);
  return out;
}

QString fileStamp(QTime t) {
  return twoDigits(t.hour()) + QLatin1Char('_') + twoDigits(t.minute()) + QLatin1Char('_') +
         twoDigits(t.second());
}

QString writeLine(std::uint8_t byte) {
  static const QString kWritten = QString::fromUtf8(" записалось в буфер порта");
  return writeHead() + hex2(byte) + kWritten;
}

QString writeFailedLine(std::uint8_t byte) {
  return writeHead() + hex2(byte) + writeFailedTail();
}

QString writeFailedLabelLine(std::uint8_t byte, const QString& label) {
  return writeFailedLine(byte) + labelHead() + label;
}

QString readLine(std::uint32_t asked, std::uint32_t got, qint64 tookMs) {
  static const QString kReadHead = QString::fromUtf8("ReadFile %1 код из %2 за время ");
  static const QString kReadDone = QString::fromUtf8(" Чтение выполнено ");
  static const QString kReadShort = QString::fromUtf8(" Ошибка чтения - мало данных");
  return kReadHead.arg(got).arg(asked) + durationText(tookMs) + QLatin1Char(' ') +
         (got < asked ? kReadShort : kReadDone);
}

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

QString unheardNote(std::uint8_t code) {
  return QString::fromUtf8("Нет ответа на код команды %1: кадр не отправлен").arg(hex2(code));
}

TraceLine parseTraceLine(const QString& line) {
  static const QRegularExpression stamped(QStringLiteral("^(\\d\\d:\\d\\d:\\d\\d:\\d\\d) (.*)$"));
  static const QRegularExpression write(
      QString::fromUtf8("^WriteFile 1 код ([0-9A-F]{2}) записалось в буфер порта$"));
  static const QRegularExpression writeFailed(
      QString::fromUtf8("^WriteFile 1 код ([0-9A-F]{2}) ошибка 255 - не записалось в буфер порта"
                        "(?: ошибка - неизвестная переменная (.*))?$"));
  static const QRegularExpression read(
      QString::fromUtf8("^ReadFile (\\d+) код из (\\d+) за время (\\d+):(\\d+)  "
                        "(?:Чтение выполнено |Ошибка чтения - мало данных)$"));
  static const QRegularExpression bytes(QString::fromUtf8(
      "^(?:1 код|[234] кода|(первые) 4 кода) ((?:[0-9A-F]{2})(?: [0-9A-F]{2}){0,3})$"));

  TraceLine p;
  p.text = line;
  const auto s = stamped.match(line);
  if (!s.hasMatch()) return p;
  p.stamp = s.captured(1);
  const QString rest = s.captured(2);
  if (const auto m = write.match(rest); m.hasMatch()) {
    p.kind = TraceLine::Kind::Write;
    p.byte = hexByte(m.captured(1));
  } else if (const auto f = writeFailed.match(rest); f.hasMatch()) {
    p.kind = TraceLine::Kind::WriteFailed;
    p.byte = hexByte(f.captured(1));
    p.hasLabel = f.capturedStart(2) >= 0;
    p.label = f.captured(2);
  } else if (const auto r = read.match(rest); r.hasMatch()) {
    p.kind = TraceLine::Kind::Read;
    p.got = r.captured(1).toInt();
    p.asked = r.captured(2).toInt();
    p.duration = r.captured(3) + QLatin1Char(':') + r.captured(4);
    p.tookMs = r.captured(3).toLongLong() * 1000 + r.captured(4).toLongLong();
  } else if (const auto b = bytes.match(rest); b.hasMatch()) {
    p.kind = TraceLine::Kind::Bytes;
    p.more = b.capturedStart(1) >= 0;
    for (const QString& h : b.captured(2).split(QLatin1Char(' '))) p.bytes.push_back(hexByte(h));
  }
  return p;
}

}  // namespace calorix::trace
