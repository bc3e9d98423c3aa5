#pragma once
// The link as the command line opens it: the console's settings read and left
// as they are (no defaults written back), the port of --port-device or of
// NumPort, and a protocol file only while WriteRs485 switches it on, so that a
// nightly verify does not leave an empty protocol behind every night.
#include <QString>

#include <memory>

#include "cli/Cli.h"
#include "core/Clock.h"
#include "link/Link.h"

namespace calorix::cli {

struct CliLinkBase {
  PortOpener openPort;
  Clock* clock = nullptr;  // null: the real clock
  QString dataRoot;        // where drive letters of stored paths live
  QString executableDir;   // where ZaroZ.ini is looked for without --ini
};

// The link with its settings loaded and its port open, or null with the
// reason in *error (the settings could not be read, the port did not open).
std::unique_ptr<Link> openCliLink(const GlobalOptions& options, const CliLinkBase& base,
                                  QString* error);

}  // namespace calorix::cli
