// ports: the serial ports of this machine, as the console's chooser lists them.
#include "cli/Command.h"

namespace calorix::cli {

int portsCommand(CommandContext& ctx) {
  const std::vector<PortEntry> ports = ctx.env.listPorts ? ctx.env.listPorts() : listPorts();
  if (!ctx.options.json) ctx.env.out(portListText(ports));
  ctx.result[QStringLiteral("ports")] = portListJson(ports);
  return kExitOk;
}

}  // namespace calorix::cli
