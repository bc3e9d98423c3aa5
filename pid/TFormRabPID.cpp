#include "pid/TFormRabPID.h"

namespace calorix {

TFormRabPID::TFormRabPID(WindowContext& context, QWidget* parent) : QWidget(parent), ctx_(context) {
  setObjectName("TFormRabPID");
  setWindowTitle("FormRabPID");
}

}  // namespace calorix
