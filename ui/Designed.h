#pragma once
// Every named control keeps its designed name as its object name and as its
// accessible description (the automation id AT-SPI and UI Automation expose).
// Its accessible name is what a person reads: a button's or check box's
// caption, a field's label. A label is tied to its field as its buddy, so the
// association can be checked and a mnemonic in the label reaches the field.
#include <QAbstractButton>
#include <QLabel>
#include <QString>
#include <QWidget>

#include <type_traits>

namespace calorix {

// The text as read aloud: mnemonic markers ("&") taken out, "&&" kept as "&".
inline QString readableText(const QString& text) {
  QString out;
  out.reserve(text.size());
  for (qsizetype i = 0; i < text.size(); ++i) {
    // "&x" reads as "x", "&&" as "&".
    if (text[i] == QLatin1Char('&') && ++i == text.size()) break;
    out += text[i];
  }
  return out;
}

// label: the accessible name. Empty: a button's caption, else the designed name.
template <class W>
W* designed(W* widget, const QString& name, const QString& label = QString()) {
  widget->setObjectName(name);
  widget->setAccessibleDescription(name);
  QString readable = label;
  if constexpr (std::is_base_of_v<QAbstractButton, W>) {
    if (readable.isEmpty()) readable = widget->text();
  }
  widget->setAccessibleName(readable.isEmpty() ? name : readableText(readable));
  return widget;
}

// Ties a label to its field: the field is the label's buddy and carries the
// label's text as its accessible name.
template <class W>
W* labelled(QLabel* label, W* field) {
  label->setBuddy(field);
  field->setAccessibleName(readableText(label->text()));
  return field;
}

}  // namespace calorix
