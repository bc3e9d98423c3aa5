#include "tools/TFormIzmKoef.h"

namespace calorix {

TFormIzmKoef::TFormIzmKoef(WindowContext& context, QWidget* parent) : QWidget(parent), ctx_(context) {
  setObjectName("TFormIzmKoef");
  setWindowTitle("FormIzmKoef");
}

}  // namespace calorix
