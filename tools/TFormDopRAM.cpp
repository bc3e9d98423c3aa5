#include "tools/TFormDopRAM.h"

namespace calorix {

TFormDopRAM::TFormDopRAM(WindowContext& context, QWidget* parent) : QWidget(parent), ctx_(context) {
  setObjectName("TFormDopRAM");
  setWindowTitle("FormDopRAM");
}

}  // namespace calorix
