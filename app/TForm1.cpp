#include "app/TForm1.h"

#include <QCloseEvent>
#include <QLineEdit>
#include <QShowEvent>
#include <QTimer>

#include <exception>
#include <functional>

#include "core/Abort.h"
#include "link/Action.h"
#include "link/Settings.h"
#include "ui/OuterSize.h"

namespace calorix {

namespace {
// The designed client area; view modes outside 1..4 keep it.
constexpr int kDesignedOuterWidth = 736;
constexpr int kDesignedOuterHeight = 405;
}  // namespace

TForm1::TForm1(WindowContext& context, RunState& runState, PasswordPrompt passwordPrompt)
    : ctx_(context), passwordPrompt_(std::move(passwordPrompt)) {
  setObjectName(QStringLiteral("TForm1"));
  setWindowTitle(QStringLiteral("Calorix"));
  setOuterSize(*this, kDesignedOuterWidth, kDesignedOuterHeight);
  // The controls exist before LoadSettings so that Edit_Contrl can show a
  // failed port open.
  parts_ = new MainWindowParts(this, ctx_, runState);
  ctx_.link.hooks.lineStateChanged = [this](LineState state) { showLineState(state); };
  create();
}

TForm1::~TForm1() = default;

void TForm1::create() {
  // LinkPaused, PollState and the link-light periods start as PanelMirror
  // builds them; the run flags (PuskFlag, PidRunActive, PidStopRequest,
  // WorkCounter, RamOutEnabled, StopHeatRequest) start at 0 in the run state
  // the run owners were given.
  if (auto* edit37 = findChild<QLineEdit*>(QStringLiteral("Edit37"))) edit37->clear();

  try {
    ctx_.link.LoadSettings();
    setWindowTitle(QStringLiteral("Calorix") + ctx_.link.titleSuffix());
  } catch (const AbortAction& failed) {
    // A settings file that cannot be written or a log file that cannot be
    // created: the rest of the loading and the title are skipped, the window
    // still comes up with what was read.
    ctx_.messages.show(failed.message());
  }
  titleBase_ = windowTitle();

  if (auto* timer1 = findChild<QTimer*>(QStringLiteral("Timer1"))) {
    timer1->setInterval(50);
    timer1->stop();
  }
  mirror().setLinkLightYellow();

  codes_ = ctx_.link.settings().codes;
  applyViewMode();

  // The first read of the panel waits for the first show (firstReadOut): a
  // silent controller then costs its time-outs with the console on screen.
  mirror().startBlinking();
}

void TForm1::firstReadOut() {
  if (firstReadDone_ || closedDone_) return;
  firstReadDone_ = true;
  // What the window shows is on screen before the first exchange blocks.
  repaint();
  const bool ran = runAction(ctx_.link, ctx_.messages, [this] { mirror().RdInd_IndPanel(); });
  if (!ran) {
    firstReadDone_ = false;
    QTimer::singleShot(kBusyRetryMs, this, [this] { firstReadOut(); });
  }
}

void TForm1::showLineState(LineState state) {
  QString note;
  QString tip;
  if (state == LineState::Silent) {
    note = QString::fromUtf8("нет ответа контроллера");
    tip = QString::fromUtf8("Контроллер не отвечает: панель не показывает его состояние");
  } else if (state == LineState::NoPort) {
    note = QString::fromUtf8("порт не открыт");
    tip = QString::fromUtf8("Порт не открыт: панель не показывает состояние контроллера");
  }
  // Until the title is built (the port opens before it) the note waits.
  if (!titleBase_.isEmpty())
    setWindowTitle(note.isEmpty() ? titleBase_ : titleBase_ + QStringLiteral("   [%1]").arg(note));
  mirror().setLineNote(tip);
}

void TForm1::layoutSwitch(bool obnovit, bool dannyePechi, bool rabotaSPidom, int outerWidth,
                          int outerHeight) {
  mirror().button33()->setEnabled(obnovit);
  mirror().button32()->setEnabled(dannyePechi);
  mirror().button30()->setEnabled(rabotaSPidom);
  setOuterSize(*this, outerWidth, outerHeight);
}

void TForm1::applyViewMode() {
  switch (ctx_.link.settings().vidProg) {
    case 1:
      relock();
      layoutSwitch(false, false, false, 736, 405);
      break;
    case 2:
      relock();
      layoutSwitch(false, true, false, 736, 405);
      break;
    case 3:
      layoutSwitch(false, true, true, 736, 405);
      break;
    case 4:
      layoutSwitch(true, true, true, 1180, 953);
      break;
    default:
      // No layout: the designed size with every button enabled.
      break;
  }
}

void TForm1::relock() {
  if (codes_ != kUnlockedCodes) return;
  codes_ = kLockedCodes;
  writeCodes(codes_);
}

void TForm1::writeCodes(const std::array<qint32, 3>& codes) {
  try {
    IniFile& ini = ctx_.link.ini();
    const QString section = QStringLiteral("Vid prog");
    ini.writeInt(section, QStringLiteral("CodeProg1"), codes[0]);
    ini.writeInt(section, QStringLiteral("CodeProg2"), codes[1]);
    ini.writeInt(section, QStringLiteral("CodeProg3"), codes[2]);
  } catch (const AbortAction& failed) {
    ctx_.messages.show(failed.message());
  }
}

void TForm1::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (firstShowDone_ || event->spontaneous()) return;
  firstShowDone_ = true;
  mirror().setBarHeights(19);
  emit firstShown();
  applyAccessLock();
  if (showHidden_ && ctx_.link.settings().vidProg == 4 && codes_ == kUnlockedCodes)
    parts_->service().showHiddenControls();
  QMetaObject::invokeMethod(this, &TForm1::firstReadOut, Qt::QueuedConnection);
}

void TForm1::applyAccessLock() {
  const int mode = ctx_.link.settings().vidProg;
  if (mode != 3 && mode != 4) return;
  if (codes_ == kUnlockedCodes) return;
  passwordAsked_ = true;
  const QString typed = passwordPrompt_ ? passwordPrompt_() : QString();
  // Character for character, case-sensitive, no trimming.
  if (typed != kAccessPassword) {
    layoutSwitch(false, false, false, 730, 401);
    return;
  }
  codes_ = kUnlockedCodes;
  writeCodes(codes_);
}

void TForm1::closeEvent(QCloseEvent* event) {
  // A telemetry stream reads the port from inside its handler: it ends first
  // (after its frame, or when its waiting read times out), then the window
  // closes, once the handler has returned.
  TelemetryStream& stream = parts_->telemetry();
  if (stream.running()) {
    if (!closeAfterStream_)
      connect(&stream, &TelemetryStream::ended, this, &QWidget::close,
              Qt::ConnectionType(Qt::QueuedConnection | Qt::SingleShotConnection));
    closeAfterStream_ = true;
    stream.requestEnd();
    event->ignore();
    return;
  }
  // The close box during a heating run: the controller runs its program on
  // by itself, so the operator says whether it is stopped first. A close by
  // a signal, the session or the program itself (never spontaneous) closes
  // at once, the run left to the controller, as before.
  if (event->spontaneous() && !closedDone_ && !closeAfterRun_ && ctx_.run.PidRunActive == 1 &&
      ctx_.messages.askOkCancel(kCloseDuringRunText) && !parts_->stopRunNow()) {
    // The line is busy: the stop follows as soon as it is free, then the close.
    closeAfterRun_ = true;
    connect(parts_, &MainWindowParts::runEnded, this, &QWidget::close,
            Qt::ConnectionType(Qt::QueuedConnection | Qt::SingleShotConnection));
    event->ignore();
    return;
  }
  QWidget::closeEvent(event);
  event->accept();
  if (closedDone_) return;
  closedDone_ = true;
  // Every step runs whatever the one before it did, and nothing escapes a
  // close handler: a file that cannot be written at close (a full disk) is
  // reported once, and the port and the other file are closed all the same.
  QStringList errors;
  const auto step = [&errors](const std::function<void()>& close) {
    try {
      close();
    } catch (const AbortAction& failed) {
      errors << failed.message();
    } catch (const std::exception& failed) {
      errors << QString::fromLocal8Bit(failed.what());
    }
  };
  step([this] { parts_->stopRunTimers(); });
  step([this] { ctx_.link.ClosePort(); });
  step([this] { ctx_.link.CloseDataLog(); });
  step([this] { ctx_.link.CloseProtocol(); });
  if (!errors.isEmpty()) ctx_.messages.show(errors.join(QLatin1Char('\n')));
  emit closed();
}

}  // namespace calorix
