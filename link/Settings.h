#pragma once
// The values that LoadSettings and OpenPort take from ZaroZ.ini, kept for the
// whole run.
#include <QString>

#include <array>

#include "core/ControllerMap.h"

namespace calorix {

inline constexpr std::array<qint32, 3> kLockedCodes{28316457, 6143872, 3870615};
inline constexpr std::array<qint32, 3> kUnlockedCodes{61829374, 80471593, 57206148};
inline constexpr qint32 kDefaultDataPid = ctl::pidFrame::kDefaultLength;

struct Settings {
  qint32 numPort = 2;
  qint32 baudRate = 115200;
  qint32 byteSize = 8;
  qint32 stopBits = 2;
  QString portText = "2";  // decimal text of numPort, for the title
  // "Device" in "Com port" as stored (empty when the entry is missing): the
  // device the operator chose, in place of the one NumPort names.
  QString portDevice;
  qint32 vidProg = 1;
  std::array<qint32, 3> codes = kLockedCodes;
  qint32 dataPid = kDefaultDataPid;  // as used; the file keeps what it holds
  QString dirAll = QString::fromUtf8("C:\\Данные Pidа");
  QString dirProtocol = QString::fromUtf8("Протоколы");
  bool protocolOn = false;  // "WriteRs485" reads exactly "Enabled"
};

// Where a stored path such as "C:\Данные Pidа" lives on this machine: a drive
// letter maps to a folder under dataRoot (C: -> dataRoot/drive_c), an empty
// dataRoot meaning ~/.local/share/calorix; backslashes are separators.
QString hostPath(const QString& stored, const QString& dataRoot);

// ZaroZ.ini beside the executable, where the console keeps it. When no file is
// there and that folder cannot or should not take one (an installed program
// under /usr or /opt), the user's own ~/.config/calorix/ZaroZ.ini instead;
// its folder is made.
QString defaultIniPath(const QString& executableDir);

}  // namespace calorix
