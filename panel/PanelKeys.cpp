// The keys of the mirrored panel: the encoder and the Прог., Ступ., Парам.
// keys, "<" and ">", Обновить, and the Пуск/Стоп key, whose press goes to the
// Пуск run's owner.
#include "core/ControllerMap.h"
#include "link/Action.h"
#include "panel/PanelMirror.h"

namespace calorix {

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
  connect(keyPuskStop->top(), &panel::Circle::mousePressed, this, [this] {
    if (puskStopKey_) puskStopKey_();
  });
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

}  // namespace calorix
