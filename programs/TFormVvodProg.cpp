#include "programs/TFormVvodProg.h"

namespace calorix {

TFormVvodProg::TFormVvodProg(WindowContext& context, QWidget* parent) : QWidget(parent), ctx_(context) {
  setObjectName("TFormVvodProg");
  setWindowTitle("Data");
}

}  // namespace calorix
