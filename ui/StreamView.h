#pragma once
// What the telemetry stream of the P/B key (pid/) changes on the main
// window's service area (panel/), without either including the other: the
// service area provides this view and app/ hands it to the stream.
#include <QColor>
#include <QString>

#include <functional>

namespace calorix {

struct StreamView {
  std::function<void(const QColor&)> setLampColor;         // Shape_Sp
  std::function<void(bool)> setPbEnabled;                  // Button6 "P/B"
  std::function<void(const QString&)> setMeasurementText;  // Edit_NumIzm
  // The value fields of the service area by designed name (EditTempDat,
  // Edit23 .. Edit25, EditTempTP, EditPK .. EditPN).
  std::function<void(const QString& name, const QString& text)> setField;
  std::function<QString(const QString& name)> fieldText;
  // ВЫКЛ НАГРЕВ's caption back to the system window-text colour.
  std::function<void()> restoreStopCaption;
};

}  // namespace calorix
