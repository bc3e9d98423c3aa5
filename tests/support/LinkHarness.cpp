#include "tests/support/LinkHarness.h"

#include <QDir>
#include <QFile>

#include "core/ControllerMap.h"
#include "core/Cp1251.h"

namespace calorix::testing {

LinkHarness::LinkHarness() : LinkHarness(LinkHarnessOptions{}) {}

LinkHarness::LinkHarness(LinkHarnessOptions options) {
  auto firmware = std::move(options.firmware);
  if (!firmware) firmware = std::make_unique<sim::PassiveFirmware>();
  controller_ = std::make_unique<sim::Controller>(options.controller, std::move(firmware));

  LinkConfig config;
  config.iniPath = iniPath();
  config.dataRoot = dataRoot();
  config.portDeviceOverride = options.portDeviceOverride;
  config.clock = &clock_;
  config.files = options.files;
  // While the line is gone the device is absent: it does not open.
  config.openPort = [this, open = memoryPortOpener(*controller_, clock_, [this](MemoryPort& port) {
                             port.goneProbe = [this] { return controller_->faults().portGone; };
                             port_ = &port;
                           })](const QString& device) -> std::unique_ptr<Port> {
    if (controller_->faults().portGone) return nullptr;
    return open(device);
  };
  link_ = std::make_unique<Link>(std::move(config));
  link_->hooks.showControlStatus = [this](const QString& text) { controlStatus << text; };
  link_->hooks.notice = [this](const QString& text) { notices << text; };
  link_->hooks.showDWordHalves = [this](quint16 high, quint16 low) {
    dwordHalves.emplace_back(high, low);
  };
}

LinkHarness::~LinkHarness() = default;

QString LinkHarness::iniPath() const {
  return dir_.filePath("ZaroZ.ini");
}

QString LinkHarness::dataRoot() const {
  return dir_.filePath("data");
}

void LinkHarness::writeIni(const QString& iniText) {
  QFile file(iniPath());
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return;
  file.write(cp1251::encode(iniText));
}

QString LinkHarness::iniText() const {
  QFile file(iniPath());
  if (!file.open(QIODevice::ReadOnly)) return QString();
  return cp1251::decode(file.readAll());
}

void LinkHarness::breakLink() {
  MemoryPort* open = port();
  if (open) open->setWritesFail(true);
  link_->SendPanelKey(ctl::panelKey::kRelease);
  if (open) open->setWritesFail(false);
}

void LinkHarness::start(const QString& iniText) {
  if (!iniText.isEmpty()) writeIni(iniText);
  link_->LoadSettings();
}

}  // namespace calorix::testing
