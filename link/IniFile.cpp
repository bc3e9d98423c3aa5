#include "link/IniFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <optional>

#include "core/Abort.h"
#include "core/Cp1251.h"

namespace calorix {

namespace {

const QByteArray kUtf8Mark("\xEF\xBB\xBF");

// "[name]" with blanks allowed around the name; anything after "]" ignored.
std::optional<QString> sectionName(const QString& line) {
  const QString t = line.trimmed();
  if (!t.startsWith(u'[')) return std::nullopt;
  const qsizetype close = t.indexOf(u']');
  if (close < 0) return std::nullopt;
  return t.mid(1, close - 1).trimmed();
}

bool isComment(const QString& line) {
  return line.trimmed().startsWith(u';');
}

// The key of a "key = value" line, or nothing for other lines.
std::optional<QString> keyOf(const QString& line) {
  if (isComment(line) || sectionName(line)) return std::nullopt;
  const qsizetype eq = line.indexOf(u'=');
  if (eq < 0) return std::nullopt;
  return line.left(eq).trimmed();
}

QString valueOf(const QString& line) {
  QString v = line.mid(line.indexOf(u'=') + 1).trimmed();
  // One pair of matching quotes around a value is quoting, not text.
  if (v.size() >= 2 && (v.front() == u'"' || v.front() == u'\'') && v.back() == v.front())
    v = v.mid(1, v.size() - 2);
  return v;
}

bool sameName(const QString& a, const QString& b) {
  return a.compare(b, Qt::CaseInsensitive) == 0;
}

// A whole decimal number in the signed 32-bit range.
std::optional<qint32> wholeNumber(const QString& text) {
  if (text.isEmpty()) return std::nullopt;
  qsizetype i = 0;
  bool negative = false;
  if (text[0] == u'+' || text[0] == u'-') {
    negative = text[0] == u'-';
    ++i;
  }
  if (i == text.size()) return std::nullopt;
  qint64 value = 0;
  for (; i < text.size(); ++i) {
    const char16_t c = text[i].unicode();
    if (c < u'0' || c > u'9') return std::nullopt;
    value = value * 10 + (c - u'0');
    if (value > qint64(1) << 31) return std::nullopt;
  }
  if (negative) value = -value;
  if (value > 2147483647LL || value < -2147483648LL) return std::nullopt;
  return qint32(value);
}

struct SectionSpan {
  qsizetype header = -1;     // line of "[name]"
  qsizetype lastEntry = -1;  // last key line of the section, or the header
  qsizetype end = -1;        // first line after the section
};

SectionSpan findSection(const QStringList& lines, const QString& section) {
  SectionSpan span;
  for (qsizetype i = 0; i < lines.size(); ++i) {
    const auto name = sectionName(lines[i]);
    if (!name) {
      if (span.header >= 0 && keyOf(lines[i])) span.lastEntry = i;
      continue;
    }
    if (span.header >= 0) {
      span.end = i;
      return span;
    }
    if (sameName(*name, section)) span.header = span.lastEntry = i;
  }
  if (span.header >= 0) span.end = lines.size();
  return span;
}

qsizetype findKey(const QStringList& lines, const SectionSpan& span, const QString& key) {
  for (qsizetype i = span.header + 1; i < span.end; ++i) {
    const auto k = keyOf(lines[i]);
    if (k && sameName(*k, key)) return i;
  }
  return -1;
}

}  // namespace

IniFile::IniFile(QString path, bool readOnly) : path_(std::move(path)), readOnly_(readOnly) {
  reload();
}

void IniFile::reload() {
  lines_.clear();
  utf8_ = false;
  unreadable_ = false;
  // A directory in the file's place holds no settings: it reads as a missing
  // file, and writing the defaults then fails on it.
  const QFileInfo info(path_);
  if (!info.exists() || info.isDir()) return;
  QFile file(path_);
  if (!file.open(QIODevice::ReadOnly)) {
    unreadable_ = true;
    return;
  }
  QByteArray bytes = file.readAll();
  if (file.error() != QFileDevice::NoError) {
    unreadable_ = true;
    return;
  }
  QString text;
  if (bytes.startsWith(kUtf8Mark)) {
    utf8_ = true;
    text = QString::fromUtf8(bytes.mid(kUtf8Mark.size()));
  } else {
    text = cp1251::decode(bytes);
  }
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  lines_ = text.split(u'\n');
  // The line end of the last line is not a line of its own.
  if (!lines_.isEmpty() && lines_.back().isEmpty()) lines_.removeLast();
}

QString IniFile::fullName() const {
  return QDir::toNativeSeparators(QFileInfo(path_).absoluteFilePath());
}

void IniFile::requireReadable() const {
  if (unreadable_) throw AbortAction(QStringLiteral("Unable to read %1").arg(fullName()));
}

QString IniFile::readString(const QString& section, const QString& key, const QString& def) const {
  const SectionSpan span = findSection(lines_, section);
  if (span.header < 0) return def;
  const qsizetype at = findKey(lines_, span, key);
  return at < 0 ? def : valueOf(lines_[at]);
}

qint32 IniFile::readInt(const QString& section, const QString& key, qint32 def) const {
  const SectionSpan span = findSection(lines_, section);
  if (span.header < 0) return def;
  const qsizetype at = findKey(lines_, span, key);
  if (at < 0) return def;
  return wholeNumber(valueOf(lines_[at])).value_or(def);
}

void IniFile::writeString(const QString& section, const QString& key, const QString& value) {
  QStringList lines = lines_;
  const QString entry = key + u'=' + value;
  const SectionSpan span = findSection(lines, section);
  if (span.header < 0) {
    if (!lines.isEmpty() && !lines.back().trimmed().isEmpty()) lines.append(QString());
    lines.append(u'[' + section + u']');
    lines.append(entry);
  } else if (const qsizetype at = findKey(lines, span, key); at >= 0) {
    lines[at] = entry;
  } else {
    lines.insert(span.lastEntry + 1, entry);
  }
  // Memory follows the file only once the file has it.
  const QStringList previous = lines_;
  lines_ = lines;
  try {
    save();
  } catch (...) {
    lines_ = previous;
    throw;
  }
}

void IniFile::writeInt(const QString& section, const QString& key, qint32 value) {
  writeString(section, key, QString::number(value));
}

void IniFile::save() {
  if (readOnly_) return;
  const QFileInfo info(path_);
  auto fail = [&] { throw AbortAction(QStringLiteral("Unable to write to %1").arg(fullName())); };
  // A file we may not write, or could not read, must not be replaced: the
  // rename would otherwise slip past its protection or drop what it holds.
  if (unreadable_ || (info.exists() && (!info.isWritable() || !info.isReadable()))) fail();

  QByteArray bytes;
  if (utf8_) bytes = kUtf8Mark;
  for (const QString& line : lines_)
    bytes += (utf8_ ? line.toUtf8() : cp1251::encode(line)) + "\r\n";
  QSaveFile file(path_);
  if (!file.open(QIODevice::WriteOnly)) fail();
  if (file.write(bytes) != bytes.size()) {
    file.cancelWriting();
    fail();
  }
  if (!file.commit()) fail();
}

qint32 readIntSetting(IniFile& ini, const QString& section, const QString& key,
                      const QString& writeSection, const QString& writeKey, qint32 def) {
  const qint32 value = ini.readInt(section, key, 0);
  if (value != 0) return value;
  ini.writeInt(writeSection, writeKey, def);
  return def;
}

QString readStringSetting(IniFile& ini, const QString& section, const QString& key,
                          const QString& sentinel, const QString& def) {
  const QString value = ini.readString(section, key, sentinel);
  if (value != sentinel) return value;
  ini.writeString(section, key, def);
  return def;
}

}  // namespace calorix
