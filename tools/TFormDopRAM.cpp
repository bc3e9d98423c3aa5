#include "tools/TFormDopRAM.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "core/ControllerMap.h"
#include "core/NumberText.h"
#include "core/Parse.h"
#include "link/Action.h"
#include "ui/Designed.h"
#include "ui/MouseButton.h"
#include "ui/ReadIntegrity.h"

namespace calorix {

namespace {

using ui::pressButton;

// The first indication bytes and the most of a ROM dump shown.
constexpr int kShownBytes = 8;

QString hexPair(std::uint8_t a, std::uint8_t b) {
  return hex2(a) + " " + hex2(b);
}

}  // namespace

TFormDopRAM::TFormDopRAM(WindowContext& context, QWidget* parent) : QWidget(parent), ctx_(context) {
  setObjectName("TFormDopRAM");
  setWindowTitle("FormDopRAM");
  auto* layout = new QVBoxLayout(this);

  // Indication bytes.
  const QString indicationCaption = QString::fromUtf8("Информация на индикаторах $60-$6D");
  auto* indication = new QGroupBox(indicationCaption, this);
  auto* indicationGrid = new QGridLayout(indication);
  auto* readIndicationButton =
      pressButton(QString::fromUtf8("Чтение всех параметров"), "Button6", indication);
  digits01_ = designed(new QLineEdit(indication), "EditDigit01", indicationCaption + " 0-1");
  digits23_ = designed(new QLineEdit(indication), "EditDigit23", indicationCaption + " 2-3");
  digits4567_ = designed(new QLineEdit(indication), "EditDigit4567", indicationCaption + " 4-7");
  indicationGrid->addWidget(readIndicationButton, 0, 0);
  indicationGrid->addWidget(digits01_, 0, 1);
  indicationGrid->addWidget(digits23_, 0, 2);
  indicationGrid->addWidget(digits4567_, 0, 3);
  layout->addWidget(indication);

  // Register bits: columns from bit 7 on the left to bit 0 on the right.
  auto* bits = new QGroupBox(QString::fromUtf8("Изменение бита в регистре"), this);
  auto* bitsGrid = new QGridLayout(bits);
  registerBox_ = designed(new QComboBox(bits), "ComboBoxR", QString::fromUtf8("Регистр"));
  for (int reg = 0; reg < ctl::ram::kRegisterCount; ++reg)
    registerBox_->addItem(QString("R%1").arg(reg));
  registerBox_->setEditable(false);
  registerBox_->setCurrentIndex(0);
  bitsGrid->addWidget(registerBox_, 0, 0, 3, 1);
  bitsGrid->addWidget(
      new QLabel("   7           6            5          4           3            2             "
                 "1          0",
                 bits),
      0, 1, 1, 8);
  for (int k = 0; k < 8; ++k) {
    const int column = 8 - k;  // bit 7 in column 1, bit 0 in column 8
    const QString bitName = QString::fromUtf8("Бит %1").arg(k);
    // Announced by its caption, the bit number, like every check box.
    bitShown_[k] =
        designed(new QCheckBox(QString::number(k), bits), QString("CheckBox%1").arg(k + 1));
    bitChoice_[k] = designed(new QComboBox(bits), QString("ComboBox%1").arg(k),
                             bitName + " " + QString::fromUtf8("запись"));
    bitChoice_[k]->addItems({"x", "1", "0"});
    bitChoice_[k]->setEditable(false);
    bitChoice_[k]->setCurrentIndex(0);
    bitsGrid->addWidget(bitShown_[k], 1, column);
    bitsGrid->addWidget(bitChoice_[k], 2, column);
  }
  auto* readRegisterButton = pressButton(QString::fromUtf8("Чтение"), "Button2", bits);
  auto* changeRegisterButton = pressButton(QString::fromUtf8("Запись"), "Button1", bits);
  bitsGrid->addWidget(readRegisterButton, 1, 9);
  bitsGrid->addWidget(changeRegisterButton, 2, 9);
  layout->addWidget(bits);

  // ROM dump. The fields start with "$" so a hexadecimal number can be typed
  // straight after it.
  auto* rom = new QGroupBox(QString::fromUtf8("Чтение ROM"), this);
  auto* romGrid = new QGridLayout(rom);
  auto* addressLabel = new QLabel(QString::fromUtf8("Адрес чтения"), rom);
  auto* countLabel = new QLabel(QString::fromUtf8("Кол-во байт"), rom);
  auto* bytesLabel = new QLabel(QString::fromUtf8("Данные"), rom);
  romAddress_ = labelled(addressLabel, designed(new QLineEdit("$", rom), "EditAdrRdByte"));
  romCount_ = labelled(countLabel, designed(new QLineEdit("$", rom), "EditNumRdByte"));
  romBytes_ = labelled(bytesLabel, designed(new QLineEdit("$", rom), "EditByteRD"));
  auto* dumpButton = pressButton(QString::fromUtf8("Чтение ПЗУ"), "Button4", rom);
  romGrid->addWidget(addressLabel, 0, 0);
  romGrid->addWidget(countLabel, 0, 1);
  romGrid->addWidget(bytesLabel, 0, 2);
  romGrid->addWidget(romAddress_, 1, 0);
  romGrid->addWidget(romCount_, 1, 1);
  romGrid->addWidget(romBytes_, 1, 2);
  romGrid->addWidget(dumpButton, 1, 3);
  romBytes_->setMinimumWidth(220);
  layout->addWidget(rom);

  const auto act = [this](void (TFormDopRAM::*step)()) {
    return [this, step] {
      runAction(ctx_.link, ctx_.messages, [&] {
        if (!ui::refusedDuringRun(ctx_)) (this->*step)();
      });
    };
  };
  connect(readIndicationButton, &ui::MouseButton::mousePressed, this,
          act(&TFormDopRAM::readIndication));
  connect(readRegisterButton, &ui::MouseButton::mousePressed, this,
          act(&TFormDopRAM::readRegister));
  connect(changeRegisterButton, &ui::MouseButton::mousePressed, this,
          act(&TFormDopRAM::changeRegister));
  connect(dumpButton, &ui::MouseButton::mousePressed, this, act(&TFormDopRAM::dumpRom));
}

void TFormDopRAM::readIndication() {
  Link& link = ctx_.link;
  const Link::View b = link.RdRam(ctl::ram::kIndication, kShownBytes);
  digits01_->setText(hexPair(b[0], b[1]));
  digits23_->setText(hexPair(b[2], b[3]));
  digits4567_->setText(hexPair(b[4], b[5]) + " " + hexPair(b[6], b[7]));
}

void TFormDopRAM::readRegister() {
  Link& link = ctx_.link;
  const Link::View read =
      link.RdRam(ctl::Addr(ctl::ram::kRegisters + registerBox_->currentIndex()), 1);
  for (int k = 0; k < 8; ++k) bitShown_[k]->setChecked((read[0] >> k) & 1);
}

void TFormDopRAM::changeRegister() {
  std::uint8_t orMask = ctl::reg::kKeepOr;
  std::uint8_t andMask = ctl::reg::kKeepAnd;
  for (int k = 0; k < 8; ++k) {
    const QString choice = bitChoice_[k]->currentText();
    if (choice == "1") orMask |= std::uint8_t(1u << k);
    if (choice == "0") andMask &= std::uint8_t(~(1u << k));
  }
  ctx_.link.SetRegBits(std::uint8_t(registerBox_->currentIndex()), orMask, andMask);
}

void TFormDopRAM::dumpRom() {
  // The address is the number's low 16 bits and the count its low 8, as the
  // main window's RAM read takes them.
  const auto address = quint16(ParseIntText(romAddress_->text()));
  const auto count = std::uint8_t(ParseIntText(romCount_->text()));
  Link& link = ctx_.link;
  link.RdRom(address, count);
  if (count < 1) return;
  QString text = hex2(link.ReadBuf()[0]);
  for (int i = 1; i < std::min<int>(count, kShownBytes); ++i)
    text += " " + hex2(link.ReadBuf()[i]) + " ";
  romBytes_->setText(text);
}

}  // namespace calorix
