#pragma once
// The service area of the main window, right of and below the panel area
// (seen when the window is enlarged, view mode 4): link status, PID
// coefficients, set temperature, the thermocouple channel, memory reads, raw
// bytes, the plain key buttons, ВЫКЛ НАГРЕВ and the buttons that show other
// windows. Hidden controls exist and work; the window as designed never shows
// them.
#include <QLineEdit>
#include <QObject>
#include <QPushButton>
#include <QString>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>
#include <vector>

#include "panel/Widgets.h"
#include "ui/MouseButton.h"
#include "ui/StreamView.h"
#include "ui/WindowContext.h"

namespace calorix {

class PanelMirror;

class ServiceArea : public QObject {
  Q_OBJECT
 public:
  // Builds the controls as children of form and installs the link hooks
  // (Edit_Contrl, Edit1 / Edit2). The mirror serves Чтение состояния and the
  // link pause buttons.
  ServiceArea(QWidget* form, WindowContext& context, PanelMirror& mirror);
  ~ServiceArea() override;

  // The stream owner's keys: "P/B" with RamOutEnabled 1 runs the telemetry
  // stream (under the exchange guard; with RamOutEnabled 0 P/B only sends its
  // key code), ВЫКЛ НАГРЕВ asks it to stop, Button7 switches the RAM output.
  void setStreamKeys(StreamKeys keys) { stream_ = std::move(keys); }
  // What the stream changes here: Shape_Sp, P/B, Edit_NumIzm, the value
  // fields and ВЫКЛ НАГРЕВ's caption.
  StreamView streamView();

  // Shows the controls the window carries hidden as designed (Button7, the
  // memory reads, the link pause buttons, Чтение состояния, the buttons of
  // the additional parameters and the RAM inspector); Shape_Sp keeps showing
  // only while the RAM output is on.
  void showHiddenControls();

  // The buttons that show another window (Button17, Button18 on a click,
  // Button25, Button26 on a press) run open; false for any other name.
  bool connectWindowButton(const QString& name, std::function<void()> open);

 private:
  void build();
  void connectActions();
  QLineEdit* field(const QString& name, QRect at, const QString& text = QString());
  bool guarded(const std::function<void()>& action);
  QLineEdit* valueField(const QString& name) const;

  // The number typed into edit as the word encode makes of it; empty, with
  // its message shown, when it is no number or cannot be encoded.
  std::optional<qint32> typedWord(QLineEdit* edit, std::optional<qint32> (*encode)(double));

  // The last typed read brought every byte whole.
  bool readWhole() const;
  // True, with the message shown, when a field still shows what a failed
  // read left.
  bool refuseUnread(std::initializer_list<QLineEdit*> edits);
  void readCoefficients();
  void writeCoefficients();
  void readSetTemperature();
  void writeSetTemperature();
  void readThermocouple();
  void readRamBytes();
  void readTyped(int width);
  void showLastReadBytes();
  void rawByteWrite();
  void rawByteRead();
  void ramOutKey();
  void pbKey();
  void stopHeat();

  QWidget* form_;
  WindowContext& ctx_;
  Link& link_;
  const RunState& run_;
  PanelMirror& mirror_;
  StreamKeys stream_;

  QLineEdit* Edit_Contrl = nullptr;
  QLineEdit* dwordHighHalf_ = nullptr;
  QLineEdit* dwordLowHalf_ = nullptr;
  QLineEdit* EditPK = nullptr;
  QLineEdit* EditDK = nullptr;
  QLineEdit* EditIK = nullptr;
  QLineEdit* EditZadTemp = nullptr;
  QLineEdit* Edit3201U = nullptr;
  QLineEdit* Edit3201UKorr = nullptr;
  QLineEdit* EditTT = nullptr;
  QLineEdit* EditTD = nullptr;
  QLineEdit* EditTTKorr = nullptr;
  QLineEdit* EditAdrRdByte = nullptr;
  QLineEdit* EditNumRdByte = nullptr;
  QLineEdit* EditByteRD = nullptr;
  QLineEdit* byteValue_ = nullptr;
  QLineEdit* byteWordAddress_ = nullptr;
  QLineEdit* wordValue_ = nullptr;
  QLineEdit* dwordValue_ = nullptr;
  QLineEdit* dwordAddress_ = nullptr;
  QLineEdit* EditB[4] = {};
  QLineEdit* rawByteToSend_ = nullptr;
  QLineEdit* rawByteReceived_ = nullptr;
  panel::Circle* Shape_Sp = nullptr;
  QPushButton* heatOffButton_ = nullptr;
  QPushButton* pbButton_ = nullptr;
  QLineEdit* Edit_NumIzm = nullptr;
  std::vector<QPushButton*> hiddenAsDesigned_;
};

}  // namespace calorix
