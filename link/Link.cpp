// The facade: the units wired together, and the raw port operations that
// belong to no command layer (the service buttons' raw byte, the telemetry
// stream's blocks).
#include "link/Link.h"

#include <algorithm>

namespace calorix {

namespace {

Clock& fallbackClock() {
  static RealClock clock;
  return clock;
}

LinkConfig withClock(LinkConfig config) {
  if (!config.clock) config.clock = &fallbackClock();
  return config;
}

}  // namespace

Link::Link(LinkConfig config)
    : config_(withClock(std::move(config))),
      ini_(std::make_unique<IniFile>(config_.iniPath, config_.settingsReadOnly)),
      trace_(*config_.clock, settings_, config_.dataRoot,
             config_.files ? *config_.files : LogFileSystem::real()),
      plain_(transport_, *config_.clock, state_, hooks),
      framed_(transport_, trace_, *config_.clock, state_) {
  transport_.setOnLost([this] {
    // The first failure that found the loss breaks the protocol off; the rest
    // of the outage goes on in the new file.
    trace_.setLineGone(true);
    if (hooks.showControlStatus) hooks.showControlStatus(QStringLiteral("Err"));
    if (hooks.portLost)
      hooks.portLost(QString::fromUtf8("Порт %1 потерян: адаптер отключён или линия оборвана. "
                                       "Программа открывает его снова, как только он вернётся; "
                                       "до тех пор обмен с контроллером невозможен.")
                         .arg(device_));
  });
  transport_.setOnLineState([this](LineState state) {
    if (hooks.lineStateChanged) hooks.lineStateChanged(state);
  });
}

bool Link::watchLine() {
  if (busy_ > 0) return false;
  transport_.checkLine();
  if (!transport_.lost() || !transport_.reopen()) return false;
  // As the port's open leaves them.
  state_.status.code = 0;
  state_.FlagLinkBreak = 0;
  trace_.setLineGone(false);
  if (hooks.showControlStatus) hooks.showControlStatus(QString());
  if (hooks.portBack)
    hooks.portBack(
        QString::fromUtf8("Порт %1 снова открыт: обмен с контроллером возобновлён.").arg(device_));
  return true;
}

Link::~Link() = default;

bool Link::WrRawByte(std::uint8_t byte) {
  const std::array<std::uint8_t, 1> bytes{byte};
  if (!transport_.RawWrite(bytes)) {
    state_.setWriteFailed();
    return false;
  }
  state_.status.code = 0;
  return true;
}

Link::View Link::RdRaw(std::uint32_t count) {
  count = std::min<std::uint32_t>(count, rawBuf_.size());
  const std::uint32_t n = transport_.RawRead(std::span(rawBuf_).first(count));
  return View(rawBuf_).first(n);
}

Link::View Link::RdStreamBlock(std::uint32_t count) {
  const View got = RdRaw(count);
  // Nothing at all is a pause in the stream; part of a block means it is lost.
  if (!got.empty() && got.size() < count) state_.status = {1, status_text::noAnswer()};
  return got;
}

void Link::RdPidFrame() {
  framed_.RdPidFrame(std::uint32_t(std::max(0, settings_.dataPid)));
}

}  // namespace calorix
