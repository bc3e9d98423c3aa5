#pragma once
// Persistence of the emulated controller's four memories between runs of the
// simulator (--state FILE). Our own small binary format: a magic and version
// header, each memory as a tagged, sized block, and a CRC-32 over all of it.
#include <QString>

#include "sim/Memory.h"

namespace calorix::sim {

// Writes all four memories to path through a temporary file and a rename, so a
// crash never leaves a half-written state. On failure returns false and says
// why in *error (when given).
bool saveState(const ControllerMemory& memory, const QString& path, QString* error);

// Loads the memories from path. A missing file is not an error: true, memory
// untouched. A file that is corrupt, truncated or of another version is an
// error: false with a clear message, and memory is left exactly as it was.
bool loadState(ControllerMemory& memory, const QString& path, QString* error);

}  // namespace calorix::sim
