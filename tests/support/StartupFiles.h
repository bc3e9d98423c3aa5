#pragma once
// What a start of the console leaves on disk: the access markers in ZaroZ.ini
// and the protocol file under the data root.
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QString>
#include <QStringList>

#include <array>

#include "core/Cp1251.h"
#include "link/IniFile.h"

namespace calorix::testing {

using Triple = std::array<qint32, 3>;

inline Triple codesInFile(const QString& path) {
  IniFile ini(path);
  ini.reload();
  Triple t{};
  for (int i = 0; i < 3; ++i)
    t[i] = ini.readInt(QStringLiteral("Vid prog"), QStringLiteral("CodeProg%1").arg(i + 1), 0);
  return t;
}

// The first protocol file (RS485\...\* Data.txt) below dataRoot.
inline QString protocolFileOf(const QString& dataRoot) {
  QDirIterator it(dataRoot, {QStringLiteral("*Data.txt")}, QDir::Files,
                  QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QString path = it.next();
    if (path.contains(QStringLiteral("/RS485/"))) return path;
  }
  return QString();
}

// The lines of a log the console wrote (Windows-1251, CR LF), without the
// empty piece after the last line end; none when the file cannot be read.
inline QStringList logFileLines(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  QStringList lines = cp1251::decode(file.readAll()).split(QStringLiteral("\r\n"));
  if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
  return lines;
}

}  // namespace calorix::testing
