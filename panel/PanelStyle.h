#pragma once
// The look shared by the panel area and the service area of the main window:
// pixel-sized fonts with narrow fallbacks, the bold labels and the buttons at
// their designed places.
#include <QColor>
#include <QFont>
#include <QLabel>
#include <QPalette>
#include <QRect>
#include <QStringList>
#include <QWidget>

#include "ui/MouseButton.h"

namespace calorix::panel {

QFont pixelFont(const QStringList& families, int pixels, bool bold,
                QFont::StyleHint hint = QFont::SansSerif);
void fill(QWidget* w, QPalette::ColorRole role, const QColor& color);
// A bold 12-pixel label at its designed place.
QLabel* label(QWidget* parent, const QString& text, QPoint at);
// A press-acting button at its designed place, its caption as its accessible name.
ui::MouseButton* button(QWidget* parent, const QString& name, const QString& caption, QRect at);

}  // namespace calorix::panel
