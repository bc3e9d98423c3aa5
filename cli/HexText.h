#pragma once
// How the command line writes addresses and bytes: "0x7C00", "3F 06 5B".
#include <QString>
#include <QStringList>

#include <cstdint>
#include <span>

#include "core/NumberText.h"

namespace calorix::cli {

// Four upper-case hexadecimal digits after "0x".
inline QString hexAddress(int address) {
  return QStringLiteral("0x") + QString::number(address, 16).toUpper().rightJustified(4, u'0');
}

// Two digits a byte, one blank between.
inline QString hexBytes(std::span<const std::uint8_t> bytes) {
  QStringList parts;
  for (std::uint8_t b : bytes) parts << hex2(b);
  return parts.join(QLatin1Char(' '));
}

}  // namespace calorix::cli
