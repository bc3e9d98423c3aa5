// What the controls of the service area and the bottom row do.
#include <QCoreApplication>

#include <cmath>

#include "app/Designed.h"
#include "core/NumberText.h"
#include "core/Parse.h"
#include "panel/MainPanelImpl.h"
#include "panel/ServiceDecode.h"
#include "pid/TFormRabPID.h"
#include "programs/TFormDataDide.h"
#include "programs/TFormVvodProg.h"
#include "tools/TFormDopParam.h"
#include "tools/TFormDopRAM.h"
#include "tools/TFormIzmKoef.h"

namespace calorix {

namespace {

template <class W>
W* child(QWidget* form, const char* name) {
  return form->findChild<W*>(QString::fromLatin1(name));
}

panel::MouseButton* mouseButton(QWidget* form, const char* name) {
  return child<panel::MouseButton>(form, name);
}

quint16 addressIn(QLineEdit* edit) {
  return quint16(ParseIntText(edit->text()));
}

}  // namespace

void MainPanel::Impl::connectService() {
  auto onPress = [&](const char* name, std::function<void()> action) {
    QObject::connect(mouseButton(form, name), &panel::MouseButton::mousePressed, &owner,
                     std::move(action));
  };
  auto onRelease = [&](const char* name, std::function<void()> action) {
    QObject::connect(mouseButton(form, name), &panel::MouseButton::mouseReleased, &owner,
                     std::move(action));
  };
  auto onClick = [&](const char* name, std::function<void()> action) {
    QObject::connect(mouseButton(form, name), &QPushButton::clicked, &owner, std::move(action));
  };
  auto exchange = [this](void (Impl::*step)()) {
    return [this, step] { guarded([this, step] { (this->*step)(); }); };
  };
  auto readPanel = [this] { guarded([this] { RdInd_IndPanel(); }); };

  onPress("Button33", readPanel);
  onPress("Button29", readPanel);
  onPress("Button30", [this] { showWindow(static_cast<QWidget*>(windows.rabPid)); });
  onPress("Button32", [this] { showWindow(static_cast<QWidget*>(windows.dataDide)); });
  onPress("Button25", [this] { showWindow(static_cast<QWidget*>(windows.dopParam)); });
  onPress("Button26", [this] { showWindow(static_cast<QWidget*>(windows.dopRam)); });
  onClick("Button17", [this] {
    if (!windows.vvodProg) return;
    showWindow(windows.vvodProg);
    windows.vvodProg->InitProgGrid();
  });
  onClick("Button18", [this] { showWindow(static_cast<QWidget*>(windows.izmKoef)); });

  onClick("Button12", exchange(&Impl::readCoefficients));
  onClick("Button16", exchange(&Impl::writeCoefficients));
  onClick("Button13", exchange(&Impl::readSetTemperature));
  onClick("Button14", exchange(&Impl::writeSetTemperature));
  onClick("Button15", exchange(&Impl::readThermocouple));
  onPress("Button24", exchange(&Impl::readRamBytes));
  onClick("Button8", [this] { guarded([this] { readTyped(1); }); });
  onClick("Button9", [this] { guarded([this] { readTyped(2); }); });
  onClick("Button10", [this] { guarded([this] { readTyped(4); }); });
  onClick("Button19", exchange(&Impl::rawByteWrite));
  onClick("Button20", exchange(&Impl::rawByteRead));
  // Must work while the stream holds the link: no exchange, no guard.
  QObject::connect(Button11, &QPushButton::clicked, &owner, [this] { stopHeat(); });
  onRelease("Button6", [this] { pbKey(); });
  onRelease("Button7", exchange(&Impl::ramOutKey));

  const std::pair<const char*, std::uint8_t> keys[] = {{"Button1", 0x01},
                                                       {"Button2", 0x02},
                                                       {"Button3", 0x04},
                                                       {"Button4", 0x08},
                                                       {"Button5", 0x10}};
  for (const auto& [name, code] : keys) {
    const std::uint8_t c = code;
    onRelease(name, [this, c] { guarded([this, c] { link.SendKeyCode(c); }); });
  }

  onPress("Button27", [this] { LinkPaused = 1; });
  onPress("Button28", [this] {
    LinkPaused = 0;
    Timer1->start();
  });
  // Button23 has no action.
}

void MainPanel::Impl::showWindow(QWidget* window) {
  if (!window) return;
  window->show();
  window->raise();
  window->activateWindow();
}

// ---- coefficients and set temperature --------------------------------------

void MainPanel::Impl::readCoefficients() {
  std::uint8_t flags = 0;
  link.RdByte(0x0003, flags);
  struct Coef {
    quint16 addr;
    QLineEdit* edit;
    std::uint8_t signBit;
  };
  // P, then D, then I, as the controller's tool reads them.
  for (const Coef& c :
       {Coef{0x0090, EditPK, 0x08}, Coef{0x0098, EditDK, 0x20}, Coef{0x0094, EditIK, 0x10}}) {
    qint32 raw = 0;
    link.RdDWord(c.addr, raw);
    c.edit->setText(panel::coefficientText((flags & c.signBit) != 0, raw));
  }
}

void MainPanel::Impl::writeCoefficients() {
  for (const auto& [edit, addr] :
       {std::pair{EditPK, quint16(0x0090)}, std::pair{EditDK, quint16(0x0098)},
        std::pair{EditIK, quint16(0x0094)}}) {
    QString text = edit->text();
    double value = 0;
    if (!ParseEditNumber(text, value, ctx.messages)) return;
    const std::optional<qint32> raw = panel::fixed1616(value);
    if (!raw) {
      ctx.messages.show(panel::outOfRangeText(edit->text()));
      return;
    }
    link.WrDWord(addr, *raw);
  }
}

void MainPanel::Impl::readSetTemperature() {
  qint32 value = 0;
  link.RdDWord(0x00DC, value);
  EditZadTemp->setText(QString::number(value));
}

void MainPanel::Impl::writeSetTemperature() {
  QString text = EditZadTemp->text();
  double value = 0;
  if (!ParseEditNumber(text, value, ctx.messages)) return;
  const std::optional<qint32> raw = panel::wholeNumber(value);
  if (!raw) {
    ctx.messages.show(panel::outOfRangeText(EditZadTemp->text()));
    return;
  }
  link.WrDWord(0x00DC, *raw);
}

// ---- thermocouple channel -------------------------------------------------

void MainPanel::Impl::readThermocouple() {
  quint16 word = 0;
  qint32 dword = 0;
  link.RdWord(0x0072, word);
  Edit3201U->setText(QString::number(word & 0x0FFF));
  link.RdWord(0x007E, word);
  Edit3201UKorr->setText(QString::number(word));
  link.RdDWord(0x00C0, dword);
  EditTT->setText(panel::temperature256Text(dword));
  link.RdWord(0x0070, word);
  EditTD->setText(panel::sensorTemperatureText(std::uint8_t(word >> 8), std::uint8_t(word)));
  link.RdDWord(0x00C4, dword);
  EditTTKorr->setText(panel::temperature256Text(dword));
}

// ---- memory reads -----------------------------------------------------------

void MainPanel::Impl::readRamBytes() {
  const quint16 address = addressIn(EditAdrRdByte);
  const std::uint8_t count = std::uint8_t(ParseIntText(EditNumRdByte->text()));
  link.RdRam(address, count);
  EditByteRD->setText(panel::ramBytesText(EditByteRD->text(), link.ReadBuf().data(), count));
}

void MainPanel::Impl::readTyped(int width) {
  if (width == 1) {
    std::uint8_t v = 0;
    link.RdByte(addressIn(Edit18), v);
    Edit17->setText(QString::number(v));
  } else if (width == 2) {
    quint16 v = 0;
    link.RdWord(addressIn(Edit18), v);
    Edit19->setText(QString::number(v));
  } else {
    qint32 v = 0;
    link.RdDWord(addressIn(Edit22), v);
    Edit21->setText(QString::number(v));
  }
  showLastReadBytes();
}

void MainPanel::Impl::showLastReadBytes() {
  for (int i = 0; i < 4; ++i) EditB[i]->setText(panel::readByteText(link.LastReadBytes()[i]));
}

// ---- raw bytes ----------------------------------------------------------------

void MainPanel::Impl::rawByteWrite() {
  link.WrRawByte(std::uint8_t(ParseIntText(Edit26->text())));
}

void MainPanel::Impl::rawByteRead() {
  const Link::View read = link.RdRaw(1);
  Edit27->setText(QString::number(read.empty() ? 0 : read[0]));
}

// ---- keys of the service area ------------------------------------------------

void MainPanel::Impl::ramOutKey() {
  link.SendRamOutKey();
  run.RamOutEnabled = std::uint8_t(1 - run.RamOutEnabled);
  Shape_Sp->setVisible(run.RamOutEnabled == 1);
}

void MainPanel::Impl::pbKey() {
  guarded([this] {
    if (run.RamOutEnabled == 0)
      link.SendKeyCode(0x20);
    else if (telemetryStream)
      telemetryStream();  // it sends the key code itself and reads the frames
  });
}

void MainPanel::Impl::stopHeat() {
  run.StopHeatRequest = 1;
  QPalette p = Button11->palette();
  p.setColor(QPalette::ButtonText, QColor(255, 0, 0));
  Button11->setPalette(p);
  QCoreApplication::processEvents();
}

}  // namespace calorix
