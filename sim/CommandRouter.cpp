#include "sim/CommandRouter.h"

#include "core/ControllerMap.h"

namespace calorix::sim {
namespace {

using namespace ctl;

bool isKeyCode(std::uint8_t b) {
  return b == plainKey::kIncrease || b == plainKey::kDecrease || b == plainKey::kStage ||
         b == plainKey::kBack || b == plainKey::kTTN || b == plainKey::kPB;
}
bool isKnownCode(std::uint8_t b) {
  return isKeyCode(b) || framed::find(b) || b == plain::kSync || b == plain::kWrByte ||
         b == plain::kRdByte;
}
// Key codes that act at once: no command shares them.
bool isUnambiguousKey(std::uint8_t b) {
  return b == plainKey::kTTN || b == plainKey::kPB;
}
// Codes that may still turn out to be something else when the next byte comes.
bool isUndecided(std::uint8_t b) {
  return b == framed::kSetRegBits || b == plain::kWrByte || b == plain::kWrBlock ||
         b == plain::kRdBlock || b == framed::kPanelKey;
}

}  // namespace

bool CommandRouter::keyCapablePending() const {
  return mode_ == Mode::Undecided && code_ != plain::kRdBlock;
}

std::optional<qint64> CommandRouter::nextDeadline() const {
  std::optional<qint64> t;
  if (keyCapablePending()) t = codeAt_ + options_.keyIdleMs;
  if (mode_ != Mode::Idle) {
    const qint64 abandon = lastRxAt_ + options_.commandAbandonMs;
    if (!t || abandon < *t) t = abandon;
  }
  return t;
}

void CommandRouter::settle(qint64 at) {
  if (keyCapablePending() && at >= codeAt_ + options_.keyIdleMs) {
    const std::uint8_t key = code_;
    reset();
    plain_.endLoneCode(key, at);
  } else if (mode_ != Mode::Idle && at >= lastRxAt_ + options_.commandAbandonMs) {
    reset();
  }
}

void CommandRouter::reset() {
  mode_ = Mode::Idle;
  bytes_.clear();
}

bool CommandRouter::receive(std::uint8_t byte, qint64 at) {
  bool answered = false;
  if (mode_ == Mode::Idle)
    start(byte, at);
  else
    answered = proceed(byte, at);
  lastRxAt_ = at;
  return answered;
}

void CommandRouter::start(std::uint8_t b, qint64 at) {
  const bool switchStep = plain_.continuesRamSwitch(b, at);
  if (!switchStep && b != plain::kSync) plain_.breakRamSwitch();
  if (output_.takeRefusal(b)) {
    plain_.breakRamSwitch();
    output_.put(plain::kRefused, at);
    return;
  }
  if (!isKnownCode(b)) {
    output_.put(plain::kRefused, at);  // not a command this controller knows
    return;
  }
  const bool echoed = output_.put(b, at) == LineOutput::Put::Sent;
  code_ = b;
  codeAt_ = at;
  bytes_.assign(1, b);
  if (b == plain::kSync) {
    reset();
    // A sync whose echo went wrong is given up by the console; so does the controller.
    if (echoed) plain_.answerSync(switchStep, at);
    return;
  }
  if (b == plain::kRdByte) {
    // A plain-only command whose echo went wrong is given up by the console.
    mode_ = echoed ? Mode::PlainRead : Mode::Idle;
    return;
  }
  if (isUnambiguousKey(b)) {
    reset();
    plain_.pressKey(b, at);
    return;
  }
  if (b == plain::kWrByte && !echoed) return;  // plain only, given up like the byte read
  mode_ = isUndecided(b) ? Mode::Undecided : Mode::Framed;
}

bool CommandRouter::proceed(std::uint8_t b, qint64 at) {
  bytes_.push_back(b);
  const bool answered = handOn(at);
  if (answered) reset();
  return answered;
}

bool CommandRouter::handOn(qint64 at) {
  switch (mode_) {
    case Mode::Undecided:
      return decide(at);
    case Mode::Framed:
      return framed_.frameByte(bytes_, at);
    case Mode::PlainRead:
      return plain_.readByte(bytes_, at);
    case Mode::PlainWrite:
      return plain_.writeByte(bytes_, at);
    case Mode::PlainBlock:
      return plain_.block(bytes_, at);
    case Mode::Idle:
      break;
  }
  return false;
}

// The second byte after an ambiguous code settles what the code was.
bool CommandRouter::decide(qint64 at) {
  plain_.breakRamSwitch();
  switch (code_) {
    case plain::kWrBlock:
    case plain::kRdBlock:
      mode_ = at - codeAt_ < options_.plainPauseMs ? Mode::Framed : Mode::PlainBlock;
      break;
    case plain::kWrByte:
      mode_ = Mode::PlainWrite;
      break;
    default:  // SetRegBits, the panel key command
      mode_ = Mode::Framed;
      break;
  }
  return handOn(at);
}

}  // namespace calorix::sim
