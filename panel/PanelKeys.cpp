// The keys of the mirrored panel: the encoder and the Прог., Ступ., Парам.
// keys, "<" and ">", Обновить, and the Пуск/Стоп key that starts and stops a
// Пуск run.
#include <QCoreApplication>

#include "core/ControllerMap.h"
#include "link/Action.h"
#include "panel/PanelMirror.h"

namespace calorix {

namespace {
void letEventsRun() {
  QCoreApplication::processEvents();
}
}  // namespace

void PanelMirror::connectKeys() {
  namespace key = ctl::panelKey;
  struct KeyCode {
    panel::DrawnKey* key;
    std::uint8_t code;
  };
  for (KeyCode k : {KeyCode{keyEncoder, key::kEncoder}, KeyCode{keyProg, key::kProg},
                    KeyCode{keyStup, key::kStup}, KeyCode{keyParam, key::kParam}}) {
    connect(k.key->top(), &panel::Circle::mousePressed, this,
            [this, k] { pressKey(k.key, k.code); });
    connect(k.key->top(), &panel::Circle::mouseReleased, this, [this, k] { releaseKey(k.key); });
  }
  connect(Button21, &ui::MouseButton::mousePressed, this, [this] { pressArrow(key::kLeft); });
  connect(Button22, &ui::MouseButton::mousePressed, this, [this] { pressArrow(key::kRight); });
  for (ui::MouseButton* b : {Button21, Button22})
    connect(b, &ui::MouseButton::mouseReleased, this, [this] { releaseArrow(); });
  connect(keyPuskStop->top(), &panel::Circle::mousePressed, this, [this] { pressPuskStop(); });
  connect(keyPuskStop->top(), &panel::Circle::mouseReleased, this,
          [this] { keyPuskStop->showAtRest(); });
  connect(Button33, &ui::MouseButton::mousePressed, this,
          [this] { guarded([this] { RdInd_IndPanel(); }); });
}

void PanelMirror::pressKey(panel::DrawnKey* key, std::uint8_t code) {
  guarded([&] {
    key->showPressed();
    const bool stage = code == ctl::panelKey::kStup;
    if (stage) note(QString::fromUtf8("посылка кода вкл ступени"));
    link_.SendPanelKey(code);
    if (stage) note(QString::fromUtf8("конец посылки кода вкл ступени"));
  });
}

void PanelMirror::releaseKey(panel::DrawnKey* key) {
  key->showAtRest();
  guarded([this] { RdInd_IndPanel(); });
}

void PanelMirror::pressArrow(std::uint8_t code) {
  guarded([&] {
    link_.SendPanelKey(code);
    link_.SendPanelKey(ctl::panelKey::kRelease);
  });
}

void PanelMirror::releaseArrow() {
  guarded([this] {
    link_.clock().sleepMs(100);
    RdInd_IndPanel();
  });
}

void PanelMirror::setPanelColor(const QColor& color) {
  QPalette p = Panel1->palette();
  p.setColor(QPalette::Window, color);
  Panel1->setPalette(p);
}

QColor PanelMirror::panelColor() const {
  return Panel1->palette().color(QPalette::Window);
}

// ---- Пуск/Стоп -------------------------------------------------------------

void PanelMirror::pressPuskStop() {
  guarded([this] {
    if (run_.PuskFlag == 1)
      requestStop();
    else
      startRun();
  });
}

void PanelMirror::requestStop() {
  if (puskTimer_.stopReadForPolz) puskTimer_.stopReadForPolz();
  setPanelColor(colors::kStop);
  keyPuskStop->showPressed();
  letEventsRun();
  run_.PuskFlag = 0;
  run_.PidStopRequest = 1;
  link_.clock().sleepMs(50);
}

void PanelMirror::startRun() {
  using namespace ctl;
  if (run_.PidRunActive == 1 && run_.Owner == RunOwner::PidWindow) {
    // Two timers on the same run flags would take each other's frames and
    // stop each other's run: the PID window's run must end first.
    ctx_.messages.show(kPuskRefusedText);
    return;
  }
  run_.WorkCounter = 0;
  run_.WorkLineDue = 1;
  setPanelColor(colors::kPusk);
  run_.PuskFlag = 1;
  try {
    link_.OpenDataLog();
  } catch (...) {
    // Without a work log nothing has been started: the key stays a Пуск key.
    run_.PuskFlag = 0;
    run_.WorkLineDue = 0;
    setPanelColor(colors::kActiveBorder);
    throw;
  }
  link_.SetRegBits(reg::kRun, reg::kRunPidFrames, reg::kKeepAnd);
  link_.SendPanelKey(panelKey::kPuskStop);
  keyPuskStop->showPressed();
  letEventsRun();
  run_.PidRunActive = 1;
  run_.Owner = RunOwner::Pusk;
  run_.PidStopRequest = 0;
  link_.clock().sleepMs(50);
  link_.RdPidFrame();
  Edit37->setText(QString::number(run_.WorkCounter));
  try {
    link_.WriteDataLog(QString::fromUtf8("Данные работы "));
    link_.WriteDataLog(QString::fromUtf8(
        "  1 номер ;  2 время   ;  3 программа  ;  4 ступень  ;  5 температура  ;"));
    if (puskTimer_.writeRunLine) puskTimer_.writeRunLine();
  } catch (const AbortAction& failed) {
    // The controller runs already: the timer must still come, or the run
    // could never be stopped from here.
    ctx_.messages.show(failed.message());
  }
  if (puskTimer_.arm) puskTimer_.arm();
}

}  // namespace calorix
