#include "cli/CliLink.h"

#include <QFileInfo>

#include "core/Abort.h"
#include "link/Settings.h"

namespace calorix::cli {

std::unique_ptr<Link> openCliLink(const GlobalOptions& options, const CliLinkBase& base,
                                  QString* error) {
  LinkConfig config;
  config.iniPath = options.iniPath.isEmpty() ? defaultIniPath(base.executableDir)
                                             : QFileInfo(options.iniPath).absoluteFilePath();
  config.dataRoot = base.dataRoot;
  config.portDeviceOverride = options.portDevice;
  config.openPort = base.openPort;
  config.clock = base.clock;
  config.settingsReadOnly = true;
  config.protocolOnlyWhenOn = true;
  if (!options.iniPath.isEmpty() && !QFileInfo::exists(config.iniPath)) {
    if (error) *error = QStringLiteral("the settings file %1 does not exist").arg(config.iniPath);
    return nullptr;
  }
  auto link = std::make_unique<Link>(std::move(config));
  try {
    link->LoadSettings();
  } catch (const AbortAction& failed) {
    // The log folders or the protocol file could not be made.
    if (error) *error = failed.message();
    return nullptr;
  }
  if (link->portOpen()) return link;
  if (error) {
    const Settings& s = link->settings();
    if (!options.portDevice.isEmpty())
      *error = QStringLiteral("cannot open the port %1").arg(options.portDevice);
    else if (!s.portDevice.isEmpty())
      *error = QStringLiteral("cannot open the port %1 (Device in %2); give --port-device PATH")
                   .arg(s.portDevice, link->ini().path());
    else if (link->deviceName().isEmpty())
      *error = QStringLiteral("NumPort %1 in %2 names no port (1..16); give --port-device PATH")
                   .arg(s.numPort)
                   .arg(link->ini().path());
    else
      *error = QStringLiteral("cannot open the port %1 (NumPort %2 in %3); give --port-device PATH")
                   .arg(link->deviceName())
                   .arg(s.numPort)
                   .arg(link->ini().path());
  }
  return nullptr;
}

}  // namespace calorix::cli
