#include "panel/PanelStyle.h"

#include <QFontDatabase>

namespace calorix::panel {

QFont pixelFont(const QStringList& families, int pixels, bool bold, QFont::StyleHint hint) {
  QFont f;
  f.setFamilies(families);
  f.setStyleHint(hint);
  f.setPixelSize(pixels);
  f.setBold(bold);
  // The designed faces are narrow; where they are missing, the wide fallback
  // is condensed so that captions fit their designed places.
  if (!QFontDatabase::hasFamily(families.front())) f.setStretch(QFont::Condensed);
  return f;
}

void fill(QWidget* w, QPalette::ColorRole role, const QColor& color) {
  QPalette p = w->palette();
  p.setColor(role, color);
  w->setPalette(p);
  if (role == QPalette::Window) w->setAutoFillBackground(true);
}

QLabel* label(QWidget* parent, const QString& text, QPoint at) {
  auto* l = new QLabel(text, parent);
  l->setFont(pixelFont({QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans")}, 12, true));
  l->move(at);
  l->adjustSize();
  return l;
}

ui::MouseButton* button(QWidget* parent, const QString& name, const QString& caption, QRect at) {
  ui::MouseButton* b = ui::pressButton(caption, name, parent);
  b->setGeometry(at);
  return b;
}

}  // namespace calorix::panel
