#pragma once
// What a start of the console leaves on disk: the access markers in ZaroZ.ini
// and the protocol file under the data root.
#include <QDir>
#include <QDirIterator>
#include <QString>

#include <array>

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

}  // namespace calorix::testing
