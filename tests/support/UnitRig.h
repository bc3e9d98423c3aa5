#pragma once
// The link's units on their own, wired as Link wires them: the transport on an
// in-memory port to a ScriptPeer under the virtual clock, the trace files in a
// temporary directory, and the framed layer over both. For tests of a unit's
// own interface (a traced transfer, the frame buffer) below the facade.
#include <QFile>
#include <QTemporaryDir>

#include "link/FramedCommands.h"
#include "link/LinkState.h"
#include "link/MemoryPort.h"
#include "link/Settings.h"
#include "link/TraceFiles.h"
#include "link/Transport.h"
#include "tests/support/ScriptPeer.h"

namespace calorix::testing {

class UnitRig {
 public:
  explicit UnitRig(bool protocolOn = true)
      : trace(clock, settings, dir_.filePath("data")), framed(transport, trace, clock, state) {
    settings.dirAll = dir_.filePath("logs");
    settings.protocolOn = protocolOn;
    transport.open(memoryPortOpener(peer, clock, [this](MemoryPort& p) { port = &p; }),
                   QStringLiteral("memory"), LineSettings{});
    trace.MakeLogDirs();
    trace.OpenProtocol();
  }

  QByteArray fileBytes(const QString& path) const {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }

 private:
  QTemporaryDir dir_;

 public:
  VirtualClock clock;
  ScriptPeer peer;
  MemoryPort* port = nullptr;
  Settings settings;
  LinkState state;
  Transport transport;
  TraceFiles trace;
  FramedCommands framed;
};

}  // namespace calorix::testing
