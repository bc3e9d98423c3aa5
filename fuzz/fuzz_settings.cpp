// The settings file: any bytes read as a settings file; writing one entry
// (a new one, or one the file has) keeps every other entry's value, and the
// written entry reads back as written, also after the file is read again.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <vector>

#include "core/Abort.h"
#include "core/Cp1251.h"
#include "fuzz/FuzzInput.h"
#include "link/IniFile.h"

using namespace calorix;

namespace {

struct Entry {
  QString section, key, value;
};

// Every section/key pair the text names, read through the file's own rules.
std::vector<Entry> entriesOf(const IniFile& ini, const QByteArray& bytes) {
  const bool utf8 = bytes.startsWith("\xEF\xBB\xBF");
  // Decoded as the reader decodes it: a name read from the file can always be
  // written back to it.
  QString text = utf8 ? QString::fromUtf8(bytes.mid(3)) : cp1251::decode(bytes);
  std::vector<Entry> found;
  QString section;
  bool inSection = false;
  for (const QString& raw : text.split(u'\n')) {
    const QString line = raw.trimmed();
    if (line.startsWith(u'[') && line.contains(u']')) {
      section = line.mid(1, line.indexOf(u']') - 1).trimmed();
      inSection = true;
      continue;
    }
    if (!inSection || line.startsWith(u';') || !raw.contains(u'=')) continue;
    const QString key = raw.left(raw.indexOf(u'=')).trimmed();
    found.push_back({section, key, ini.readString(section, key, QStringLiteral("\x01missing"))});
  }
  return found;
}

QString valueFrom(fuzz::Input& in) {
  static const char kChars[] = "abcXYZ019 _-.\\:";
  QString v;
  const int n = in.byte() % 12;
  for (int i = 0; i < n; ++i) v += QChar(kChars[in.byte() % (sizeof kChars - 1)]);
  return v.trimmed();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("ZaroZ.ini"));
  fuzz::Input in(data, size);
  const bool rewriteExisting = in.byte() & 1;
  const QString value = valueFrom(in);
  const QByteArray bytes = in.rest();
  {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return 0;
    f.write(bytes);
  }
  IniFile ini(path);
  const std::vector<Entry> before = entriesOf(ini, bytes);

  QString section = QStringLiteral("Fuzz"), key = QStringLiteral("Value");
  if (rewriteExisting && !before.empty()) {
    const Entry& e = before[bytes.size() % before.size()];
    // A name with blanks at its ends, a "=" or a line break cannot be
    // written as it reads: such names are not the writer's to keep.
    if (e.key.isEmpty() || e.section.contains(u']') || e.key.contains(u'\r') ||
        e.section.contains(u'\r') || e.key.startsWith(u';') || e.key.startsWith(u'['))
      return 0;
    section = e.section;
    key = e.key;
  }
  try {
    ini.writeString(section, key, value);
  } catch (const AbortAction&) {
    return 0;  // the disk said no; nothing to compare
  }
  FUZZ_CHECK(ini.readString(section, key, QStringLiteral("\x01missing")) == value,
             "the written entry reads back");
  IniFile again(path);
  FUZZ_CHECK(again.readString(section, key, QStringLiteral("\x01missing")) == value,
             "the written entry reads back from the file");
  for (const Entry& e : before) {
    if (e.section.compare(section, Qt::CaseInsensitive) == 0 &&
        e.key.compare(key, Qt::CaseInsensitive) == 0)
      continue;
    FUZZ_CHECK(again.readString(e.section, e.key, QStringLiteral("\x01missing")) == e.value,
               "every other entry keeps its value");
  }
  return 0;
}
