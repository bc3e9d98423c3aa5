#include "panel/MainPanel.h"

namespace calorix {

struct MainPanel::Impl {
  QPushButton* b33 = nullptr;
  QPushButton* b32 = nullptr;
  QPushButton* b30 = nullptr;
};

MainPanel::MainPanel(QWidget* form, WindowContext& context) : QObject(form), impl_(new Impl) {
  (void)context;
  impl_->b33 = new QPushButton(QString::fromUtf8("Обновить"), form);
  impl_->b32 = new QPushButton(QString::fromUtf8("Данные печи"), form);
  impl_->b30 = new QPushButton(QString::fromUtf8("Работа с ПИДом"), form);
}

MainPanel::~MainPanel() { delete impl_; }

void MainPanel::setWindows(const SecondaryWindows&) {}
void MainPanel::RdInd_IndPanel() {}
QString MainPanel::programDisplayText() const { return QString(); }
void MainPanel::setLinkLightYellow() {}
void MainPanel::setBarHeights(int) {}
void MainPanel::startBlinking() {}
QPushButton* MainPanel::button33() const { return impl_->b33; }
QPushButton* MainPanel::button32() const { return impl_->b32; }
QPushButton* MainPanel::button30() const { return impl_->b30; }

}  // namespace calorix
