#pragma once
// A Link wired to the controller emulator through the in-memory port under the
// virtual clock, with ZaroZ.ini and the data root in a temporary directory.
// Nothing is loaded until start(); tests that exercise the settings file write
// their own text first.
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>
#include <utility>
#include <vector>

#include "core/Clock.h"
#include "link/Link.h"
#include "link/MemoryPort.h"
#include "sim/Controller.h"

namespace calorix::testing {

struct LinkHarnessOptions {
  sim::ControllerOptions controller{};
  // PassiveFirmware when null.
  std::unique_ptr<sim::Firmware> firmware;
  QString portDeviceOverride;
  // How the protocol and the data log reach the disk (not owned); the real
  // file system when null.
  LogFileSystem* files = nullptr;
};

class LinkHarness {
 public:
  LinkHarness();
  explicit LinkHarness(LinkHarnessOptions options);
  ~LinkHarness();
  LinkHarness(const LinkHarness&) = delete;
  LinkHarness& operator=(const LinkHarness&) = delete;

  // Writes iniText (as given, in Windows-1251) to ZaroZ.ini unless it is
  // empty, then runs LoadSettings. AbortAction from it passes through.
  void start(const QString& iniText = QString());
  // Breaks the link as a failed write does: a framed command whose first
  // write fails sets FlagLinkBreak (and status 255); the port stays open.
  // The protocol goes on in a new file; the controller hears nothing.
  void breakLink();
  // Writes ZaroZ.ini without loading (for tests that call LoadSettings).
  void writeIni(const QString& iniText);
  // ZaroZ.ini as it is on disk, decoded.
  QString iniText() const;

  sim::Controller& ctrl() { return *controller_; }
  Link& link() { return *link_; }
  VirtualClock& clock() { return clock_; }
  QString iniPath() const;
  QString dataRoot() const;
  // The port the link opened last (closed while it is lost); null before
  // OpenPort or when it failed.
  MemoryPort* port() { return link_->portOpen() || link_->portLost() ? port_ : nullptr; }

  // What the link showed through its hooks.
  QStringList controlStatus;
  QStringList notices;
  std::vector<std::pair<quint16, quint16>> dwordHalves;

 private:
  QTemporaryDir dir_;
  VirtualClock clock_;
  std::unique_ptr<sim::Controller> controller_;
  std::unique_ptr<Link> link_;
  MemoryPort* port_ = nullptr;
};

}  // namespace calorix::testing
