#include "programs/TFormDataDide.h"

namespace calorix {

TFormDataDide::TFormDataDide(WindowContext& context, QWidget* parent) : QWidget(parent), ctx_(context) {
  setObjectName("TFormDataDide");
  setWindowTitle("DataDide");
}

}  // namespace calorix
