#include "tools/TFormDopParam.h"

namespace calorix {

TFormDopParam::TFormDopParam(WindowContext& context, QWidget* parent) : QWidget(parent), ctx_(context) {
  setObjectName("TFormDopParam");
  setWindowTitle("FormDopParam");
}

}  // namespace calorix
