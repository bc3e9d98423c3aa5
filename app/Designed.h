#pragma once
// Every named control keeps its designed name as its object name and as its
// accessible description (the automation id AT-SPI and UI Automation expose);
// its accessible name is the text of its label or caption, so screen readers
// and UI tests find it.
#include <QString>
#include <QWidget>

namespace calorix {

template <class W>
W* designed(W* widget, const QString& name, const QString& label = QString()) {
  widget->setObjectName(name);
  widget->setAccessibleDescription(name);
  widget->setAccessibleName(label.isEmpty() ? name : label);
  return widget;
}

}  // namespace calorix
