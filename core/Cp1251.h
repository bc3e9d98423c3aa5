#pragma once
// Windows-1251, the code page of every file the console reads or writes
// (ZaroZ.ini, the exchange protocol, the data logs). Our own table: Qt does not
// promise this codec on every build. Every one of the 256 bytes round-trips;
// the one byte the code page leaves unassigned (0x98) maps to U+0098.
#include <QByteArray>
#include <QString>

namespace calorix::cp1251 {

// A character with no byte in the code page becomes '?'.
QByteArray encode(const QString& text);
QString decode(const QByteArray& bytes);

}  // namespace calorix::cp1251
