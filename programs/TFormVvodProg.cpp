#include "programs/TFormVvodProg.h"

namespace calorix {

TFormVvodProg::TFormVvodProg(WindowContext& context, QWidget* parent) : QWidget(parent), ctx_(context) {
  setObjectName("TFormVvodProg");
  setWindowTitle("Data");
}

void TFormVvodProg::InitProgGrid() {}

}  // namespace calorix
